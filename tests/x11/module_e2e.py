#!/usr/bin/env python3
"""End-to-end checks of the xscreensaver module on its own Xvfb display:
layouts by screenshot in -window and -window-id modes, trails, resizes, signals,
bad options, the module under Debian's xscreensaver daemon, the settings
description (also as xscreensaver-settings reads it) and the .deb (also
through lintian).

    module_e2e.py MODULE --hold-window HELPER --transfer-check CHECKER --xml XML --build BUILD_DIR [--artifacts DIR]

Prints "ok NAME" or "FAIL NAME: reason" for each check and ends with
"N passed, N failed"; exits non-zero when a check failed.
"""

import argparse
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import Display, Image, Suite, _poll, expect, screenshot  # noqa: E402
import lifeworld  # noqa: E402
from saver_e2e import hexcolour, judge_picture  # noqa: E402

DEFAULT_COLOUR = 0x30FFFF
# Options for starting and placing the module, not settings of the saver:
# the settings dialog has no business with them.
INVOCATION = {"root", "window", "window-id", "display", "geometry", "no-shm", "help"}
# The daemon's preferences: the module alone, with a colour of its own, no
# fading, splash, locking or power saving, and no blanking by itself.
XSCREENSAVER_PREFS = """mode: one
selected: 0
timeout: 0:30:00
lock: False
fade: False
unfade: False
splash: False
dpmsEnabled: False
programs: {command}
"""
CONFIG_DIR = "/usr/share/xscreensaver/config"


class Module:
    """The module running on the display; stop() ends it with a signal."""

    def __init__(self, ctx, args, env=None):
        # A ThreadSanitizer build waits a second at exit while other threads
        # live; the timings checked here are the program's own.
        tsan = {"TSAN_OPTIONS": os.environ.get("TSAN_OPTIONS", "") + ":atexit_sleep_ms=0"}
        self.proc = subprocess.Popen([ctx.module, *args], env={**ctx.display.env(), **tsan, **(env or {})},
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

    def stop(self, sig=signal.SIGTERM):
        """(exit status, seconds it took, standard error)."""
        if self.proc.poll() is not None:
            expect(False, f"the module ended by itself with {self.proc.returncode}: "
                          f"{self.proc.stderr.read().strip()}")
        start = time.monotonic()
        self.proc.send_signal(sig)
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait(5)
        return self.proc.returncode, time.monotonic() - start, self.proc.stderr.read()


class HostWindow:
    """A plain white window of another client, for -window-id; with grab,
    the client holds a server grab from before its id is printed."""

    def __init__(self, ctx, width, height, grab=False):
        self.proc = subprocess.Popen([ctx.hold_window, str(width), str(height), *(["grab"] if grab else [])],
                                     env=ctx.display.env(), stdout=subprocess.PIPE, text=True)
        self.id = self.proc.stdout.readline().strip()
        expect(self.id.startswith("0x"), "the host window did not start")

    def close(self):
        self.proc.kill()
        self.proc.wait(5)


def shift(option_value, names):
    return names.index(option_value)


def expected_layout(args, width, height):
    """Geometry of the window's layout for the module's options."""
    zoom = shift(args[args.index("-zoom") + 1], ["1", "2", "4"]) if "-zoom" in args else 1
    world = (shift(args[args.index("-world-size") + 1], ["full", "half", "quarter"])
             if "-world-size" in args else 1)
    return lifeworld.geometry(width, height, zoom, world, int("-tiled" in args))


def shade_step(rgb, colour, length):
    """The s in 1..length-1 for which rgb is colour with each channel c
    scaled to c*s/length (within 1), or None."""
    channels = [(v >> k) & 255 for v in (rgb, colour) for k in (16, 8, 0)]
    for s in range(1, length):
        if all(abs(got * length - c * s) <= length for got, c in zip(channels[:3], channels[3:])):
            return s
    return None


def judge_trails(length):
    """A judge of screenshots with trails of that length: only black, the
    colour and shades of it, at least one shade, and with every shade taken
    for the colour, the layout as judge_picture sees it."""
    def judge(img, g, colour):
        counts = img.colours()
        steps = {c: shade_step(c, colour, length) for c in counts if c not in (0, colour)}
        others = sorted((c for c, s in steps.items() if s is None), key=lambda c: -counts[c])
        if others:
            return (f"{sum(counts[c] for c in others)} pixels neither black, {hexcolour(colour)} nor "
                    f"a shade of it: " + ", ".join(f"{hexcolour(c)} x{counts[c]}" for c in others[:3]))
        if not steps:
            return "no shade between black and the cell colour"
        lit = Image(img.width, img.height, [colour if v else 0 for v in img.px])
        return judge_picture(lit, g, colour)
    return judge


def wait_for_layout(ctx, name, args, width, height, colour, timeout=30, judge=judge_picture):
    """Screenshots of the window's area until one shows the layout."""
    g = expected_layout(args, width, height)
    end = time.monotonic() + timeout
    while True:
        img = screenshot(ctx.display).crop(0, 0, width, height)
        reason = judge(img, g, colour)
        if reason is None or time.monotonic() > end:
            break
        time.sleep(0.3)
    path = ctx.suite.save(img, name)
    expect(reason is None, f"{width}x{height}: {reason} (screenshot {path})")


def expect_quick_exit(module, sig=signal.SIGTERM):
    status, seconds, err = module.stop(sig)
    expect(status == 0 and seconds < 1.0,
           f"{signal.Signals(sig).name}: status {status} after {seconds:.2f} s; {err.strip()}")


def xdotool(ctx, *args):
    subprocess.run(["xdotool", *args], env=ctx.display.env(), check=True, capture_output=True)


def check_transfer(ctx):
    with ctx.suite.check("image transfers put every pixel in place, 1-bit and shades, MIT-SHM "
                         "and plain, at depths 24 and 16"):
        with Display(320, 200, depth=16) as shallow:
            for display in (ctx.display, shallow):
                out = subprocess.run([ctx.transfer_check], env=display.env(), capture_output=True,
                                     text=True, timeout=30)
                expect(out.returncode == 0, f"{out.stdout.strip()} {out.stderr.strip()}")


def checks_layouts(ctx):
    # (name, options, colour, window size, new size after a resize or None)
    own = [("window zoom 1 full world, resized", ["-zoom", "1", "-world-size", "full"],
            DEFAULT_COLOUR, (800, 600), (1000, 700)),
           ("window quarter world tiled 4x4", ["-world-size", "quarter", "-zoom", "1", "-tiled",
                                               "-color", "#FF8000"], 0xFF8000, (720, 400), None)]
    for name, args, colour, (w, h), resize in own:
        with ctx.suite.check(name):
            module = Module(ctx, ["-window", "-geometry", f"{w}x{h}", *args])
            try:
                wait_for_layout(ctx, name, args, w, h, colour)
                if resize:
                    xdotool(ctx, "search", "--sync", "--classname", "cellarium", "windowsize", "%@",
                            str(resize[0]), str(resize[1]))
                    wait_for_layout(ctx, name + " after", args, *resize, colour)
            finally:
                expect_quick_exit(module)

    hosted = [("window-id zoom 2 (defaults), resized", lambda wid: (["-window-id", wid], None), [],
               (640, 480), (900, 700)),
              ("XSCREENSAVER_WINDOW zoom 4 quarter world",
               lambda wid: (["-root"], {"XSCREENSAVER_WINDOW": wid}),
               ["-world-size", "quarter", "-zoom", "4"], (1000, 750), None)]
    for name, how, args, (w, h), resize in hosted:
        with ctx.suite.check(name):
            host = HostWindow(ctx, w, h)
            try:
                placement, env = how(host.id)
                module = Module(ctx, [*placement, *args], env)
                try:
                    wait_for_layout(ctx, name, args, w, h, DEFAULT_COLOUR)
                    if resize:
                        xdotool(ctx, "windowsize", host.id, str(resize[0]), str(resize[1]))
                        wait_for_layout(ctx, name + " after", args, *resize, DEFAULT_COLOUR)
                finally:
                    expect_quick_exit(module, signal.SIGINT if env else signal.SIGTERM)
            finally:
                host.close()


def check_trails(ctx):
    with ctx.suite.check("-trails 16 at 30 generations/s on the root: black, the cell colour "
                         "and shades of it scaled down, nothing else"):
        module = Module(ctx, ["-root", "-trails", "16", "-delay", "33333"])
        try:
            wait_for_layout(ctx, "trails 16", [], ctx.display.width, ctx.display.height,
                            DEFAULT_COLOUR, judge=judge_trails(16))
        finally:
            expect_quick_exit(module)


def check_signal_during_delay(ctx):
    with ctx.suite.check("SIGTERM during a 10 s delay ends it within a second"):
        module = Module(ctx, ["-root", "-delay", "10000000", "-fps"])
        time.sleep(1.5)
        expect_quick_exit(module)


def connected(pid):
    """True once the process has a socket open (its display connection)."""
    try:
        return any(os.readlink(f"/proc/{pid}/fd/{fd}").startswith("socket:")
                   for fd in os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return False


def checks_unanswering_server(ctx):
    """SIGTERM while the X server does not answer: the module must not wait
    for it (nor spin), whether the signal comes while it draws or while it
    is still opening the display."""
    server = ctx.display.proc.pid

    def stopped_before_start(started):
        os.kill(server, signal.SIGSTOP)
        started.append(Module(ctx, ["-root"]))
        expect(_poll(lambda: connected(started[0].proc.pid), 5), "the module never connected")

    def stopped_while_drawing(started):
        started.append(Module(ctx, ["-root"]))
        time.sleep(0.5)
        os.kill(server, signal.SIGSTOP)

    def grabbed_while_drawing(started):
        started.append(Module(ctx, ["-root"]))
        time.sleep(0.5)
        started.append(HostWindow(ctx, 10, 10, grab=True))

    for name, setup in (("the server stopped before it starts", stopped_before_start),
                        ("the server stopped while it draws", stopped_while_drawing),
                        ("another client grabs the server while it draws", grabbed_while_drawing)):
        with ctx.suite.check(f"SIGTERM ends it within a second, {name}"):
            started = []
            try:
                setup(started)
                time.sleep(0.3)  # let it block inside Xlib
                expect_quick_exit(started[0])
            finally:
                os.kill(server, signal.SIGCONT)
                for other in started[1:]:
                    other.close()
                if started and started[0].proc.poll() is None:
                    started[0].proc.kill()
                    started[0].proc.wait(5)


def check_server_dies(ctx):
    """The X server killed while the module draws: the module ends on its
    own with status 1 and says why, never by a signal (a crash), in any of
    several tries, each on a server of its own."""
    with ctx.suite.check("the X server killed while it draws: status 1, never a crash"):
        for attempt in range(8):
            with Display(640, 480) as doomed:
                proc = subprocess.Popen([ctx.module, "-root", "-fps"], env=doomed.env(),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                time.sleep(0.4 + 0.1 * attempt)
                doomed.proc.kill()
                doomed.proc.wait(5)
                # A killed server leaves its lock and socket behind.
                for stale in (f"/tmp/.X{doomed.number}-lock", f"/tmp/.X11-unix/X{doomed.number}"):
                    try:
                        os.remove(stale)
                    except FileNotFoundError:
                        pass
                try:
                    status = proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait(5)
                    status = None
                err = proc.stderr.read()
            expect(status == 1 and "lost the connection" in err,
                   f"try {attempt}: status {status}; {err.strip()[-300:]}")


def checks_bad_options(ctx):
    cases = [(["-zoom", "3"], None, "-zoom 3: must be one of 1|2|4"),
             (["-sparkle"], None, "unknown option -sparkle"),
             (["-color"], None, "-color needs a value"),
             (["-window-id", "0x3fffffff"], None, "no window 0x3fffffff"),
             (["-display", ":1234"], None, "cannot open display :1234"),
             (["-root"], {"XSCREENSAVER_WINDOW": "junk"}, "XSCREENSAVER_WINDOW=junk")]
    with ctx.suite.check("bad options and windows give a clear error and status 1"):
        for args, env, message in cases:
            out = subprocess.run([ctx.module, *args], env={**ctx.display.env(), **(env or {})},
                                 capture_output=True, text=True, timeout=10)
            expect(out.returncode == 1 and out.stderr.startswith("cellarium: ") and message in out.stderr,
                   f"{args}: status {out.returncode}, said {out.stderr.strip()!r}")


def as_user():
    """Prefix that runs a command as nobody when we are root: as root the
    daemon launches no module at all."""
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"] \
        if os.geteuid() == 0 else []


def running(program):
    """Processes (not zombies) whose command starts with program's path."""
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode(errors="replace")
            with open(f"/proc/{pid}/stat") as f:
                state = f.read().rsplit(")", 1)[1].split()[0]
        except (OSError, IndexError):
            continue
        if argv0 == program and state != "Z":
            pids.append(int(pid))
    return pids


class Daemon:
    """xscreensaver as an unprivileged user on the display, with a HOME in a
    scratch folder whose ~/.xscreensaver names a copy of the module (the
    build tree may be closed to that user) with args."""

    def __init__(self, ctx, scratch, args):
        os.chmod(scratch, 0o755)
        self.module = os.path.join(scratch, "cellarium")
        shutil.copy(ctx.module, self.module)
        os.chmod(self.module, 0o755)
        self.home = os.path.join(scratch, "home")
        os.mkdir(self.home)
        with open(os.path.join(self.home, ".xscreensaver"), "w") as f:
            f.write(XSCREENSAVER_PREFS.format(command=" ".join([self.module, *args])))
        if os.geteuid() == 0:
            for path in (self.home, os.path.join(self.home, ".xscreensaver")):
                shutil.chown(path, "nobody", "nogroup")
        self.env = {"DISPLAY": ctx.display.name, "HOME": self.home, "PATH": "/usr/bin:/bin",
                    "LANG": "C.UTF-8"}
        self.log_path = os.path.join(scratch, "xscreensaver.log")
        with open(self.log_path, "w") as log:
            self.proc = subprocess.Popen([*as_user(), "xscreensaver", "-verbose"], env=self.env,
                                         cwd=self.home, stdout=log, stderr=subprocess.STDOUT,
                                         stdin=subprocess.DEVNULL, start_new_session=True)

    def command(self, *args):
        return subprocess.run(["xscreensaver-command", *args], env=self.env, capture_output=True,
                              text=True, timeout=10).returncode == 0

    def log(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()[-600:].strip()

    def stop(self):
        if self.proc.poll() is None:
            self.command("-exit")
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait(5)
        for pid in running(self.module):
            os.kill(pid, signal.SIGKILL)


def check_daemon(ctx):
    with tempfile.TemporaryDirectory() as scratch:
        daemon = Daemon(ctx, scratch, ["-root", "-color", "#FF8000"])
        try:
            with ctx.suite.check("xscreensaver -activate starts the module, which draws the "
                                 "colour of ~/.xscreensaver; -deactivate ends it within 1 s"):
                expect(_poll(lambda: daemon.command("-time"), 10, 0.1),
                       f"the daemon does not answer: {daemon.log()}")
                expect(daemon.command("-activate"), "xscreensaver-command -activate failed")
                expect(_poll(lambda: running(daemon.module), 5),
                       f"no module 5 s after -activate: {daemon.log()}")
                wait_for_layout(ctx, "under the daemon", [], 1024, 768, 0xFF8000, timeout=10)
                start = time.monotonic()
                expect(daemon.command("-deactivate"), "xscreensaver-command -deactivate failed")
                gone = _poll(lambda: not running(daemon.module), 3, 0.02)
                seconds = time.monotonic() - start
                expect(gone and seconds <= 1.0, f"the module ran {seconds:.2f} s after -deactivate")
                expect(daemon.proc.poll() is None and daemon.command("-time"),
                       f"the daemon did not outlive -deactivate: {daemon.log()}")
            check_settings_reads_xml(ctx, daemon, scratch)
        finally:
            daemon.stop()


def check_settings_reads_xml(ctx, daemon, scratch):
    """xscreensaver-settings reads the descriptions only from CONFIG_DIR:
    in a mount namespace of its own, that folder holds cellarium.xml alone.
    Its --debug log names each file it reads and each fault it finds."""
    name = "xscreensaver-settings reads cellarium.xml without a fault and maps -color onto it"
    if os.geteuid() != 0:
        print(f"skip {name}: binding {CONFIG_DIR} over needs root")
        return
    with ctx.suite.check(name):
        config = os.path.join(scratch, "config")
        os.mkdir(config)
        shutil.copy(ctx.xml, os.path.join(config, "cellarium.xml"))
        os.chmod(config, 0o755)
        log_path = os.path.join(scratch, "settings.log")
        with open(log_path, "w") as log:
            proc = subprocess.Popen(
                ["unshare", "--mount", "sh", "-c", f'mount --bind "$0" {CONFIG_DIR} && exec "$@"',
                 config, *as_user(), "xscreensaver-settings", "--debug"],
                env=daemon.env, cwd=daemon.home, stdout=log, stderr=subprocess.STDOUT,
                stdin=subprocess.DEVNULL, start_new_session=True)

        def text():
            with open(log_path, errors="replace") as f:
                return f.read()
        try:
            # Once it has read the file it starts the module as a preview.
            _poll(lambda: " forked " in text() or proc.poll() is not None, 10, 0.1)
            time.sleep(0.3)  # faults found in the file come before the preview
            log = text()
        finally:
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(5)
            for pid in running(daemon.module):
                os.kill(pid, signal.SIGKILL)
        faults = [line for line in log.splitlines() if "WARNING" in line or "cellarium.xml:" in line]
        expect(f"reading {CONFIG_DIR}/cellarium.xml" in log, f"it never read it: {log[-600:]}")
        expect(not faults, "; ".join(faults[:3]))
        expect('--color "#FF8000"' in log, f"the stored -color not mapped onto the file: {log[-600:]}")


def program_options(ctx):
    """Option names (without dashes) the module's -help lists."""
    out = subprocess.run([ctx.module, "-help"], capture_output=True, text=True, timeout=10)
    expect(out.returncode == 0, f"-help: status {out.returncode}")
    return {line.split()[0].lstrip("-") for line in out.stdout.splitlines()
            if line.startswith("  -")}


def check_xml(ctx):
    with ctx.suite.check("cellarium.xml names exactly the module's settings options"):
        root = ElementTree.parse(ctx.xml).getroot()
        expect(root.tag == "screensaver" and root.get("name") == "cellarium", "not the module's file")
        args = [e.get(a) for e in root.iter() for a in ("arg", "arg-set", "arg-unset") if e.get(a)]
        named = {a.split()[0].lstrip("-") for a in args}
        options = program_options(ctx)
        expect(named <= options, f"not options of the module: {sorted(named - options)}")
        # A flag and its no- form are one setting; either may stand for it.
        base = {n[3:] if n.startswith("no-") else n for n in named - INVOCATION}
        settings = {n[3:] if n.startswith("no-") else n for n in options - INVOCATION}
        expect(base == settings, f"settings the dialog lacks: {sorted(settings - base)}, "
                                 f"has beyond them: {sorted(base - settings)}")
        for a in args:  # each as the dialog would pass it, % being a value
            value = "#102030" if "color" in a else "16" if "trails" in a else "2000"
            words = a.replace("%", value).split()
            out = subprocess.run([ctx.module, *words, "-help"], capture_output=True, text=True,
                                 timeout=10)
            expect(out.returncode == 0, f"{a!r} rejected: {out.stderr.strip()}")


def check_deb(ctx):
    with ctx.suite.check(".deb installs where xscreensaver looks, and lintian finds nothing"), \
            tempfile.TemporaryDirectory() as scratch:
        out = subprocess.run(["sh", "-c", 'umask 022 && exec cpack --config "$0" -B "$1"',
                              os.path.join(ctx.build, "CPackConfig.cmake"), scratch],
                             capture_output=True, text=True, timeout=300)
        debs = glob.glob(os.path.join(scratch, "*.deb"))
        expect(out.returncode == 0 and len(debs) == 1, f"cpack: {out.stdout[-500:]} {out.stderr[-500:]}")
        depends = subprocess.run(["dpkg-deb", "-f", debs[0], "Depends"], capture_output=True,
                                 text=True).stdout
        expect("libx11-6" in depends and "libxext6" in depends, f"Depends: {depends.strip()!r}")
        root = os.path.join(scratch, "root")
        subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
        module = os.path.join(root, "usr/libexec/xscreensaver/cellarium")
        for path in (module, os.path.join(root, "usr/share/xscreensaver/config/cellarium.xml"),
                     os.path.join(root, "usr/share/man/man6/cellarium.6x.gz")):
            expect(os.path.isfile(path), f"{os.path.relpath(path, root)} not in the package")
        expect(os.access(module, os.X_OK), "the module is not executable")
        expect(subprocess.run([module, "-help"], capture_output=True).returncode == 0,
               "the packaged module does not run")
        out = subprocess.run(["lintian", "--fail-on", "error,warning", debs[0]], capture_output=True,
                             text=True, timeout=120)
        expect(out.returncode == 0 and not out.stdout.strip(),
               f"lintian (status {out.returncode}): {out.stdout.strip()[-800:]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("module")
    parser.add_argument("--hold-window", required=True)
    parser.add_argument("--transfer-check", required=True)
    parser.add_argument("--xml", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--artifacts")
    ctx = parser.parse_args()
    ctx.suite = Suite(ctx.artifacts)
    with Display(1024, 768) as display:
        ctx.display = display
        check_transfer(ctx)
        checks_layouts(ctx)
        check_trails(ctx)
        check_signal_during_delay(ctx)
        checks_unanswering_server(ctx)
        check_server_dies(ctx)
        checks_bad_options(ctx)
        check_daemon(ctx)
    check_xml(ctx)
    check_deb(ctx)
    return ctx.suite.finish()


if __name__ == "__main__":
    sys.exit(main())
