#!/usr/bin/env python3
"""End-to-end checks of the xscreensaver module on its own Xvfb display:
layouts by screenshot in -window and -window-id modes, resizes, signals,
bad options, the settings description and the .deb.

    module_e2e.py MODULE --hold-window HELPER --transfer-check CHECKER --xml XML --build BUILD_DIR [--artifacts DIR]

Prints "ok NAME" or "FAIL NAME: reason" for each check and ends with
"N passed, N failed"; exits non-zero when a check failed.
"""

import argparse
import glob
import os
import signal
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import Display, Suite, _poll, expect, screenshot  # noqa: E402
import lifeworld  # noqa: E402
from saver_e2e import judge_picture  # noqa: E402

DEFAULT_COLOUR = 0x30FFFF
# Options for starting and placing the module, not settings of the saver:
# the settings dialog has no business with them.
INVOCATION = {"root", "window", "window-id", "display", "geometry", "no-shm", "help"}


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


def wait_for_layout(ctx, name, args, width, height, colour, timeout=30):
    """Screenshots of the window's area until one shows the layout."""
    g = expected_layout(args, width, height)
    end = time.monotonic() + timeout
    while True:
        img = screenshot(ctx.display).crop(0, 0, width, height)
        reason = judge_picture(img, g, colour)
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
    with ctx.suite.check("image transfer puts every pixel in place, MIT-SHM and plain"):
        out = subprocess.run([ctx.transfer_check], env=ctx.display.env(), capture_output=True,
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
            words = a.replace("%", "#102030" if "color" in a else "2000").split()
            out = subprocess.run([ctx.module, *words, "-help"], capture_output=True, text=True,
                                 timeout=10)
            expect(out.returncode == 0, f"{a!r} rejected: {out.stderr.strip()}")


def check_deb(ctx):
    with ctx.suite.check(".deb installs where xscreensaver looks"), \
            tempfile.TemporaryDirectory() as scratch:
        out = subprocess.run(["cpack", "--config", os.path.join(ctx.build, "CPackConfig.cmake"),
                              "-B", scratch], capture_output=True, text=True, timeout=300)
        debs = glob.glob(os.path.join(scratch, "*.deb"))
        expect(out.returncode == 0 and len(debs) == 1, f"cpack: {out.stdout[-500:]} {out.stderr[-500:]}")
        depends = subprocess.run(["dpkg-deb", "-f", debs[0], "Depends"], capture_output=True,
                                 text=True).stdout
        expect("libx11-6" in depends and "libxext6" in depends, f"Depends: {depends.strip()!r}")
        root = os.path.join(scratch, "root")
        subprocess.run(["dpkg-deb", "-x", debs[0], root], check=True)
        module = os.path.join(root, "usr/libexec/xscreensaver/cellarium")
        for path in (module, os.path.join(root, "usr/share/xscreensaver/config/cellarium.xml"),
                     os.path.join(root, "usr/share/man/man6/cellarium.6x")):
            expect(os.path.isfile(path), f"{os.path.relpath(path, root)} not in the package")
        expect(os.access(module, os.X_OK), "the module is not executable")
        expect(subprocess.run([module, "-help"], capture_output=True).returncode == 0,
               "the packaged module does not run")


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
        check_signal_during_delay(ctx)
        checks_unanswering_server(ctx)
        checks_bad_options(ctx)
    check_xml(ctx)
    check_deb(ctx)
    return ctx.suite.finish()


if __name__ == "__main__":
    sys.exit(main())
