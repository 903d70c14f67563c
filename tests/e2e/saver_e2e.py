#!/usr/bin/env python3
"""End-to-end checks of the saver: the real x86_64 cellarium.scr under Wine
on Xvfb, driven with X input, judged by screenshots, the registry and the
files it leaves in the Windows directory.

    tests/e2e/saver_e2e.py SCR [--artifacts DIR] [--only REGEX] [--cycles N]
                           [--display-mode EXE]

SCR is the built program (for example build/win64/program/cellarium.scr);
EXE the driver that changes the display mode (display_mode.exe, by default
the one in SCR's build tree).
Prints "ok NAME" or "FAIL NAME: reason" for each check and ends with
"N passed, N failed"; exits non-zero when a check failed.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (LARGEST_MODE, Display, HarnessError, PrefixTemplate, Suite,  # noqa: E402
                     expect, screenshot, stray_processes)
import lifeworld  # noqa: E402

SAVER = "ScreenSaver.Cellarium"
DEFAULT_COLOUR = 0x30FFFF          # red 48, green 255, blue 255
STIPPLE = {0x000000, 0xFFFFFF}     # the bare Xvfb root
STAND_IN = 0xFF00FF                # the window standing in for the desktop
START_SEEDS = (0x13579BDF, 0x2468ACE0)
RATE_TEXT = re.compile(r"^\d+\.\d\d updates/sec$")
OLD_DUMP = b"BM an older dump that a run must leave alone"
OLD_BITS = b"0110 kept"


def hexcolour(v):
    return f"#{v:06x}"


class Outcome:
    """What one saver run did."""

    def __init__(self, name):
        self.name = name
        self.error = None        # the run could not be carried out as planned
        self.status = None       # exit status; None: still running at the timeout
        self.window = None
        self.geometry = None
        self.shot = None         # screenshot a second after drawing started
        self.shot_reason = "no screenshot taken"  # why it is not the expected picture
        self.torn = []           # reasons of the screenshots judged before it
        self.still_running = None
        self.registry = {}
        self.files = {}          # name -> bytes, or None when absent
        self.mtimes = {}
        self.seconds = 0.0
        self.lingering = []      # processes of the program left after it ended
        self.prepared = {}       # files put into the Windows directory before the run
        self.dump = False        # ended by the S key: a dump is due
        self.randbits = False    # run with /r
        self.user_files = {}     # name -> bytes found in %LOCALAPPDATA%\Cellarium
        self.exit_seconds = None  # from the closing input to the process's end
        self.leftovers = []      # temporary files left in the Windows directory
        self.user_leftovers = []  # and in %LOCALAPPDATA%\Cellarium


class Context:
    def __init__(self, args, suite):
        self.args = args
        self.suite = suite
        self.display = None
        self.template = None
        self.scr = None
        self.outcomes = []
        self.current = None     # the saver process of the run under way
        self.prefix = None      # and its prefix
        self.clients = []       # other programs a run started, ended with it
        self.displays = []      # every display the suite started
        self.display_mode = None  # display_mode.exe in the prefixes

    def fresh(self):
        return self.template.fresh(self.display)

    def use_display(self, display):
        """Starts the display and makes it the one the next runs use, in
        place of the last one."""
        if self.template:
            self.template.discard_ahead()  # made ready for the last display
        if self.display:
            self.display.stop()
        self.display = display.start()
        self.displays.append(self.display)
        return self.display


def run_saver(ctx, name, args=("/s",), settings=None, files=None, hold_shift=False,
              action=None, close=None, shot=True, settle=1.0, dump=False, blocked=False,
              local_appdata=None, full_volume=False, unmanaged=False, user_files=None,
              desktop=None):
    """Runs the saver once in a fresh prefix and records what happened.

    settings: registry values {name: (type, data)} written before the run;
    desktop: the same into HKCU\\Control Panel\\Desktop (LogPixels, say).
    files: {name: bytes} put into the Windows directory before the run;
    user_files: the same into %LOCALAPPDATA%\\Cellarium (give local_appdata).
    blocked: folders named LifeDump.bmp and RandBits.txt stand in the
    Windows directory, so neither file can be created there.
    unmanaged: Wine keeps its windows away from a window manager. There is
    none on these displays, and Wine then waits 2 s for one to withdraw a
    managed window when the saver closes, time the run's rate counts.
    local_appdata: the Windows path %LOCALAPPDATA% names in the run (a
    folder under C:\\users, made for it).
    full_volume: the Windows directory lies on a 64 KiB volume that the
    files fill to the last byte (full_windows_directory).
    action(ctx, outcome): input while it runs (after the screenshot) that
    must not end it; close(ctx, outcome): the input that should end it.
    """
    d = ctx.display
    out = Outcome(name)
    out.prepared = dict(files or {})
    out.dump = dump
    out.randbits = any(a and a[0] in "-/" and a[1:2].lower() == "r" for a in args)
    prefix = ctx.fresh()
    ctx.prefix = prefix
    proc = None
    volume = None
    started = time.monotonic()
    local = local_appdata or r"C:\users\root\AppData\Local"
    user_dir = os.path.join(prefix.path, "drive_c", *local.split("\\")[1:], "Cellarium")
    try:
        if settings:
            prefix.reg_import(settings)
        if desktop:
            prefix.reg_import(desktop, key=r"HKCU\Control Panel\Desktop")
        if unmanaged:
            prefix.reg_import({"Managed": ("REG_SZ", "N")}, key=r"HKCU\Software\Wine\X11 Driver")
        if local_appdata:
            os.makedirs(os.path.dirname(user_dir), exist_ok=True)
            prefix.reg_import({"LOCALAPPDATA": ("REG_SZ", local_appdata)},
                              key=r"HKCU\Volatile Environment")
        if full_volume:
            volume = full_windows_directory(prefix)
        if user_files:
            os.makedirs(user_dir, exist_ok=True)
        for folder, planted in ((prefix.windows_dir, files), (user_dir, user_files)):
            for fname, blob in (planted or {}).items():
                path = os.path.join(folder, fname)
                with open(path, "wb") as f:
                    f.write(blob)
                os.utime(path, (1_000_000_000, 1_000_000_000))
        if blocked:
            for fname in ("LifeDump.bmp", "RandBits.txt"):
                os.makedirs(os.path.join(prefix.windows_dir, fname))
        if volume:
            fill(volume)
        d.move(d.width // 2, d.height // 2)
        if hold_shift:
            d.xdotool("keydown", "Shift_L")
        proc = prefix.start(ctx.scr, *args)
        ctx.current = proc
        out.window = d.wait_window(name=SAVER, proc=proc, timeout=40)
        if out.window is None:
            out.error = (f"no window titled {SAVER} appeared (process "
                         f"{'ended with status %s' % proc.wait(0) if not proc.running() else 'still running'})")
            return out
        out.geometry = d.geometry(out.window)
        colour = expected_colour(settings)
        if shot:
            # Wait until the stipple is gone and live cells show, then one more second.
            def drawn():
                img = screenshot(d)
                counts = img.colours()
                return img if counts.get(colour, 0) and 0xFFFFFF not in counts else None
            end = time.monotonic() + 20
            while time.monotonic() < end and not drawn():
                time.sleep(0.2)
            time.sleep(settle)
            # Wine hands frames to the X server while the next frame is being
            # drawn, so a screenshot can hold the top of one frame and the
            # bottom of the next (a tear along one row). A fault of the
            # program shows in every frame: judge up to four screenshots.
            judge = picture_judge(ctx, settings)
            for attempt in range(4):
                out.shot = screenshot(d)
                out.shot_reason = judge(out.shot)
                if out.shot_reason is None:
                    break
                out.torn.append(out.shot_reason)
        else:
            time.sleep(settle)
        if action:
            action(ctx, out)
            out.still_running = proc.running()
        closing = time.monotonic()
        if close:
            close(ctx, out)
        out.status = proc.wait(20)
        out.exit_seconds = time.monotonic() - closing
        if hold_shift:
            d.xdotool("keyup", "Shift_L")
            hold_shift = False
        out.seconds = time.monotonic() - started
        if out.status is not None:
            time.sleep(0.2)
            out.lingering = [p for p in stray_processes(None, prefix.path)
                             if "cellarium" in _cmdline(p).lower()]
        out.registry = prefix.reg_query()
        for fname in ("LifeDump.bmp", "RandBits.txt"):
            path = os.path.join(prefix.windows_dir, fname)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    out.files[fname] = f.read()
                out.mtimes[fname] = os.path.getmtime(path)
            else:
                out.files[fname] = None
            # The per-user folder the files fall back to.
            path = os.path.join(user_dir, fname)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    out.user_files[fname] = f.read()
        out.leftovers = [n for n in os.listdir(prefix.windows_dir) if n.endswith(".tmp")]
        if os.path.isdir(user_dir):
            out.user_leftovers = [n for n in os.listdir(user_dir) if n.endswith(".tmp")]
    except HarnessError as e:
        out.error = str(e)
    finally:
        if hold_shift:
            d.xdotool("keyup", "Shift_L", check=False)
        if proc is not None and proc.running():
            proc.kill()
        for client in ctx.clients:
            client.kill()
            client.wait(10)
        ctx.clients = []
        if volume:
            prefix.kill()
            subprocess.run(["umount", "-l", volume], check=False)
        prefix.destroy(background=True)
        ctx.outcomes.append(out)
        if out.shot is not None:
            ctx.suite.save(out.shot, name)
    return out


def can_mount():
    """Whether this process may mount a tmpfs (root, and allowed to mount)."""
    if os.geteuid() != 0 or not shutil.which("mount"):
        return False
    where = tempfile.mkdtemp(prefix="cellarium-mount-check.")
    try:
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4k", "tmpfs", where],
                                 capture_output=True).returncode == 0
        if mounted:
            subprocess.run(["umount", where], check=False)
        return mounted
    finally:
        os.rmdir(where)


def full_windows_directory(prefix):
    """Puts C:\\windows on a 64 KiB tmpfs of its own: the prefix's Windows
    directory becomes a symbolic link to the volume, where every entry it
    held is a symbolic link back, so Wine finds everything as before, while
    files made in the directory itself land on the small volume. Returns the
    mount point (fill() it once the run's files are in place)."""
    real = prefix.windows_dir + ".real"
    volume = os.path.join(prefix.path, "full-volume")
    os.rename(prefix.windows_dir, real)
    os.makedirs(volume)
    result = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=0755", "tmpfs", volume],
                            capture_output=True, text=True)
    if result.returncode != 0:
        os.rename(real, prefix.windows_dir)
        raise HarnessError(f"cannot mount a tmpfs on {volume}: {result.stderr.strip()}")
    for entry in os.listdir(real):
        os.symlink(os.path.join(real, entry), os.path.join(volume, entry))
    os.symlink(volume, prefix.windows_dir)
    return volume


def fill(volume):
    """Takes every free byte of the volume with one file."""
    with open(os.path.join(volume, "filler"), "wb", buffering=0) as f:
        try:
            while True:
                f.write(b"\0" * 4096)
        except OSError:
            pass


def end_session(holder):
    """Wine's end of session (log-off, shutdown), from the saver's prefix."""
    def close(ctx, out):
        status, text = holder["prefix"].wine("wineboot", "-e")
        if status != 0:
            raise HarnessError(f"wineboot -e failed with status {status}: {text.strip()}")
    return close


def _cmdline(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def expected_colour(settings):
    if settings and "PixelColor" in settings:
        r, g, b = settings["PixelColor"][1][:3]
        return (r << 16) | (g << 8) | b
    return DEFAULT_COLOUR


def layout_settings(zoom, world, tiled=0, colour=None):
    s = {"ZoomFactor": ("REG_DWORD", zoom), "WorldSize": ("REG_DWORD", world),
         "IsTiled": ("REG_BINARY", bytes([tiled]))}
    if colour is not None:
        s["PixelColor"] = ("REG_BINARY", bytes([(colour >> 16) & 255, (colour >> 8) & 255,
                                                colour & 255]))
    return s


# ---------------------------------------------------------------- closing inputs

def press(*keys):
    def close(ctx, out):
        ctx.display.key(*keys)
    return close


def click(button):
    def close(ctx, out):
        ctx.display.click(button)
    return close


def jump(ctx, out):
    d = ctx.display
    x, y = d.pointer()
    d.move(x + 40, y + 30)


def slow_moves(ctx, out):
    """Small steps across the whole screen, then single moves at the jump
    threshold: 20 on both axes, or more than 20 on one axis only.

    Wine merges mouse moves that queue up while the program is busy, so
    the steps are kept such that any run of merged ones stays within 20
    pixels on at least one axis: diagonal steps of 3,2, straight lines,
    and threshold moves that alternate in direction."""
    d = ctx.display
    w, h = d.width, d.height
    x, y = w // 2, h // 2
    path = []
    while x > 40 and y > 30:
        x, y = x - 3, y - 2
        path.append((x, y))
    for _ in range((w - 2 * x) // 8):
        x += 8
        path.append((x, y))
    for _ in range((h - 2 * y) // 8):
        y += 8
        path.append((x, y))
    d.moves(path, pause=0.01)
    time.sleep(0.2)
    steps = []
    for dx, dy in ((-20, -20), (30, 20), (-20, -30), (21, 20), (-20, -21), (20, 20), (-60, 0),
                   (0, 60)):
        x, y = x + dx, y + dy
        steps.append((x, y))
    d.moves(steps, pause=0.15)
    time.sleep(0.5)


def activate_x_client(ctx, out):
    """Another X client takes the input focus, as a window manager does when
    the user picks another application."""
    d = ctx.display
    d.focus(out.window)           # the saver holds the focus first, as under a window manager
    time.sleep(0.3)
    expect_alive = ctx.current.running()
    other = subprocess.Popen(["xlogo", "-geometry", "100x100+20+20"], env=d.env(),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ctx.clients.append(other)
    win = d.wait_window(name="^xlogo$", timeout=20)
    if win is None or not expect_alive:
        out.still_running = expect_alive
        raise HarnessError("xlogo did not show a window" if win is None
                           else "the saver ended when it was given the focus")
    d.focus(win)


# ---------------------------------------------------------------- judging a picture

def judge_picture(img, g, colour):
    """None when the screenshot shows exactly the layout of geometry g in
    colour on black; else the first reason why not."""
    counts = img.colours()
    others = {c: n for c, n in counts.items() if c not in (0, colour)}
    if others:
        top = sorted(others.items(), key=lambda kv: -kv[1])[:3]
        stipple = " (the bare root shows: the window does not cover the screen)" \
            if 0xFFFFFF in others else ""
        return (f"{sum(others.values())} pixels neither black nor {hexcolour(colour)}: "
                + ", ".join(f"{hexcolour(c)} x{n}" for c, n in top) + stipple)
    if not counts.get(colour):
        return f"no live cell ({hexcolour(colour)}) on the screen"
    rects = lifeworld.placements(g)
    visible = [lifeworld.clip(r, img.width, img.height) for r in rects]
    # Live cells only inside the world's copies.
    outside = 0
    for y in range(img.height):
        row = img.row(y)
        spans = sorted((l, r) for (l, t, r, b) in filter(None, visible) if t <= y < b)
        x = 0
        for l, r in spans:
            if l > x:
                outside += row[x:l].count(colour)
            x = max(x, r)
        outside += row[x:].count(colour)
    if outside:
        return (f"{outside} live pixels outside the world's place "
                f"{[(l, t, r - l, b - t) for (l, t, r, b) in filter(None, visible)]}")
    # Every cell a uniform scale x scale block on the layout's grid.
    s = g["scale"]
    if s > 1:
        for rect, vis in zip(rects, visible):
            bad = nonuniform_blocks(img, rect, vis, s)
            if bad:
                return (f"{bad} cells of the copy at {rect[:2]} are not uniform "
                        f"{s}x{s} blocks on the grid from {rect[:2]}")
    # Tiles: identical copies within this one screenshot.
    if len(rects) > 1:
        base, bvis = rects[0], visible[0]
        for rect, vis in zip(rects[1:], visible[1:]):
            if vis is None:
                continue
            diff = tile_difference(img, base, bvis, rect, vis)
            if diff:
                return f"the tile at {rect[:2]} differs from the tile at {base[:2]} in {diff} pixels"
    for rect, vis in zip(rects, visible):
        if vis and not any(img.row(y)[vis[0]:vis[2]].count(colour) for y in range(vis[1], vis[3])):
            return f"no live cell in the copy at {rect[:2]}"
    return None


def nonuniform_blocks(img, rect, vis, s):
    left, top = rect[0], rect[1]
    l, t, r, b = vis
    bad = 0
    for y in range(t, b):
        block_top = max(t, top + (y - top) // s * s)
        seg = img.row(y)[l:r]
        if y != block_top:
            first = img.row(block_top)[l:r]
            if seg != first:
                bad += sum(1 for a, c in zip(seg, first) if a != c)
            continue
        a = (left - l) % s      # index in seg where the first whole block starts
        if a and len(set(seg[:a])) > 1:
            bad += 1
        base = seg[a::s]
        for o in range(1, s):
            other = seg[a + o::s]
            if other != base[:len(other)]:
                bad += sum(1 for p, q in zip(other, base) if p != q)
    return bad


def tile_difference(img, base, bvis, rect, vis):
    # compare the region visible in both, in tile-relative coordinates
    x0 = max(bvis[0] - base[0], vis[0] - rect[0])
    x1 = min(bvis[2] - base[0], vis[2] - rect[0])
    y0 = max(bvis[1] - base[1], vis[1] - rect[1])
    y1 = min(bvis[3] - base[1], vis[3] - rect[1])
    diff = 0
    for yy in range(y0, y1):
        a = img.row(base[1] + yy)[base[0] + x0:base[0] + x1]
        c = img.row(rect[1] + yy)[rect[0] + x0:rect[0] + x1]
        if a != c:
            diff += sum(1 for p, q in zip(a, c) if p != q)
    return diff


# ---------------------------------------------------------------- judging a run

def expect_ran(out):
    expect(out.error is None, out.error)


def expect_covers(ctx, out):
    d = ctx.display
    expect(out.geometry == (0, 0, d.width, d.height),
           f"window at {out.geometry}, not over the whole {d.width}x{d.height} screen")


def picture_judge(ctx, settings):
    """A function telling why a screenshot is not the layout of the settings."""
    zoom = settings["ZoomFactor"][1] if settings and "ZoomFactor" in settings else 1
    world = settings["WorldSize"][1] if settings and "WorldSize" in settings else 1
    tiled = settings["IsTiled"][1][0] if settings and "IsTiled" in settings else 0
    g = lifeworld.geometry(ctx.display.width, ctx.display.height, zoom, world, tiled)
    colour = expected_colour(settings)
    return lambda img: judge_picture(img, g, colour)


def expect_picture(ctx, out):
    expect(out.shot is not None, "no screenshot taken")
    path = ctx.suite.save(out.shot, out.name)
    reason = out.shot_reason
    if reason is None and out.torn:
        print(f"# {out.name}: {len(out.torn)} torn screenshot(s) before a whole frame: "
              f"{out.torn[0]}", flush=True)
    if reason and out.torn:
        reason += f" (and in {len(out.torn)} screenshots before it)"
    expect(reason is None, f"{reason} (screenshot {path})" if path else reason)


def expect_closed(out):
    expect_ran(out)
    expect(out.still_running is not False,
           "the saver had already ended before the closing input")
    expect(out.status is not None, "still running 20 s after the closing input")
    expect(out.status == 0, f"exit status {out.status}, not the message loop's 0")
    expect(not out.lingering, f"processes of the program left after it ended: {out.lingering}")


def expect_seeds(out):
    kinds = {n: out.registry.get(n) for n in ("Seed1", "Seed2")}
    for n, v in kinds.items():
        expect(v is not None, f"{n} missing from the registry after the run")
        expect(v[0] == "REG_DWORD", f"{n} stored as {v[0]}, not REG_DWORD")
    expect((kinds["Seed1"][1], kinds["Seed2"][1]) != START_SEEDS,
           "Seed1 and Seed2 still hold the values they had before the run")
    expect(kinds["Seed1"][1] != START_SEEDS[0] and kinds["Seed2"][1] != START_SEEDS[1],
           f"a seed kept its old value: {kinds}")


def expect_rate(out):
    v = out.registry.get("LastRate")
    expect(v is not None, "LastRate missing after the run")
    expect(v[0] == "REG_SZ", f"LastRate stored as {v[0]}")
    expect(RATE_TEXT.match(v[1]), f"LastRate is {v[1]!r}, not 'N.NN updates/sec'")
    expect(float(v[1].split()[0]) > 0, f"LastRate {v[1]!r} after a run of {out.seconds:.1f} s")


def expect_no_dump(out, existing):
    blob = out.files.get("LifeDump.bmp")
    if existing:
        expect(blob == OLD_DUMP, "the existing LifeDump.bmp was changed"
               if blob is not None else "the existing LifeDump.bmp was removed")
        expect(out.mtimes.get("LifeDump.bmp") == 1_000_000_000, "LifeDump.bmp was rewritten")
    else:
        expect(blob is None, f"LifeDump.bmp was written ({len(blob or b'')} bytes)")


def expect_dump(ctx, out, settings=None, area=None):
    """area: the (width, height) the world is laid out for; the display's by default."""
    blob = out.files.get("LifeDump.bmp")
    expect(blob is not None, "no LifeDump.bmp in the Windows directory")
    zoom = settings["ZoomFactor"][1] if settings and "ZoomFactor" in settings else 1
    world = settings["WorldSize"][1] if settings and "WorldSize" in settings else 1
    width, height = area or (ctx.display.width, ctx.display.height)
    g = lifeworld.geometry(width, height, zoom, world)
    cols, rows = g["cols"], g["rows"]
    header = lifeworld.dump_header(cols, rows, expected_colour(settings))
    expect(blob[:32] == header,
           f"headers {blob[:32].hex(' ')} but a {cols}x{rows} world in "
           f"{hexcolour(expected_colour(settings))} needs {header.hex(' ')}")
    expect(len(blob) == 32 + cols * rows // 8,
           f"{len(blob)} bytes, not {32 + cols * rows // 8} ({cols}x{rows} cells)")
    reason = lifeworld.life_plausibility(lifeworld.rows_from_bits(blob[32:], cols, rows), cols)
    expect(reason is None, reason)


# ---------------------------------------------------------------- the checks

def checks_modes(ctx):
    """Switches that run the saver; each run closed by a different key."""
    suite = ctx.suite
    cases = [("/s", "a"), ("/S", "space"), ("-s", "Escape"), ("/q", "1")]
    for switch, key in cases:
        label = switch
        files = {"LifeDump.bmp": OLD_DUMP, "RandBits.txt": OLD_BITS} if switch == "/s" else None
        out = run_saver(ctx, f"mode {label}", args=(switch,), files=files, close=press(key))
        with suite.check(f"mode {label}: saver window over the screen, zoomed x2 world"):
            expect_ran(out)
            expect_covers(ctx, out)
            expect_picture(ctx, out)
        with suite.check(f"close by key {key} (mode {label})"):
            expect_closed(out)
        if switch == "/s":
            with suite.check("key other than S: an existing LifeDump.bmp untouched"):
                expect_ran(out)
                expect_no_dump(out, existing=True)
            with suite.check("run without /r: an existing RandBits.txt untouched"):
                expect_ran(out)
                expect(out.files.get("RandBits.txt") == OLD_BITS
                       and out.mtimes.get("RandBits.txt") == 1_000_000_000,
                       f"RandBits.txt now holds {out.files.get('RandBits.txt')!r}")


def check_scaled_display(ctx):
    """At 150 % (LogPixels 144) the saver, aware of each monitor's scaling,
    still covers every device pixel with the world for them."""
    suite = ctx.suite
    out = run_saver(ctx, "LogPixels 144", desktop={"LogPixels": ("REG_DWORD", 144)},
                    close=press("s"), dump=True)
    with suite.check("150 % scaling: the saver over all 1024x768 device pixels, zoomed x2 world"):
        expect_ran(out)
        expect_covers(ctx, out)
        expect_picture(ctx, out)
    with suite.check("150 % scaling: S writes the dump of the 512x384 world"):
        expect_closed(out)
        expect_dump(ctx, out)


def shade_reason(img, colour, length):
    """Why a screenshot is not black, the cell colour and its shades s/length."""
    channels = [(colour >> shift) & 255 for shift in (16, 8, 0)]
    shades = {0, colour}
    for s in range(1, length):
        shades.add(sum(((c * s + length // 2) // length) << shift
                       for c, shift in zip(channels, (16, 8, 0))))
    near = lambda v: any(all(abs(((v >> sh) & 255) - ((w >> sh) & 255)) <= 1  # noqa: E731
                             for sh in (16, 8, 0)) for w in shades)
    counts = img.colours()
    wrong = {v: n for v, n in counts.items() if not near(v)}
    if wrong:
        v, n = max(wrong.items(), key=lambda kv: kv[1])
        return f"{sum(wrong.values())} pixels of other colours, {hexcolour(v)} x{n}"
    if not any(v not in (0, colour) for v in counts):
        return "no fading shade anywhere"
    return None


def checks_looks(ctx):
    """Trails fade in even shades of the cell colour; a world renewed when it
    stalls keeps changing long after a plain one has settled."""
    suite = ctx.suite
    trails = {"TrailLength": ("REG_DWORD", 16), "GenerationRate": ("REG_DWORD", 30)}

    def look(ctx, out):
        out.shot = screenshot(ctx.display)
        out.shot_reason = shade_reason(out.shot, DEFAULT_COLOUR, 16)
    out = run_saver(ctx, "trails 16", settings=trails, shot=False, settle=3.0, action=look,
                    close=press("a"), unmanaged=True)
    with suite.check("trails of 16 at 30 a second: black, the cell colour and its shades only"):
        expect_ran(out)
        expect_picture(ctx, out)
        expect_closed(out)

    # A quarter world magnified 4x settles within seconds at full speed, so
    # that renewals fall inside the run.
    renew = dict(layout_settings(2, 2), RenewWhenStalled=("REG_BINARY", bytes([1])))

    def watch(ctx, out):
        time.sleep(90)
        out.changes = []
        before = screenshot(ctx.display)
        for _ in range(6):
            time.sleep(10)
            after = screenshot(ctx.display)
            out.changes.append(sum(a != b for a, b in zip(before.px, after.px)) / len(after.px))
            if out.changes[-1] >= 0.05:
                break
            before = after
    out = run_saver(ctx, "renew when stalled", settings=renew, shot=False, action=watch,
                    close=press("a"))
    with suite.check("RenewWhenStalled at full speed: after 90 s, screenshots 10 s apart "
                     "differ in 5 % of their pixels"):
        expect_ran(out)
        expect(out.changes and out.changes[-1] >= 0.05,
               f"shares of pixels changed: {[round(c, 4) for c in out.changes]}")
        expect_closed(out)


def checks_layouts(ctx):
    """Layouts from the registry, each closed by another kind of input."""
    suite = ctx.suite
    cases = [
        ("zoomed x4", layout_settings(2, 2), "left button", click(1)),
        ("zoomed x2, quarter world centred", layout_settings(1, 2), "right button", click(3)),
        ("direct, half world centred", layout_settings(0, 1), "middle button", click(2)),
        ("tiled 2x2, direct", layout_settings(0, 1, tiled=1), "mouse jump of 40,30", jump),
        ("tiled 2x2, zoomed x2", layout_settings(1, 2, tiled=1), "activating another X client",
         activate_x_client),
        ("tiled 4x4, direct", layout_settings(0, 2, tiled=1), "key Tab", press("Tab")),
    ]
    existing = {"LifeDump.bmp": OLD_DUMP}
    for label, settings, how, close in cases:
        files = existing if how.endswith("button") else None
        out = run_saver(ctx, f"layout {label}", settings=settings, files=files, close=close)
        with suite.check(f"layout {label}"):
            expect_ran(out)
            expect_covers(ctx, out)
            expect_picture(ctx, out)
        with suite.check(f"close by {how}"):
            expect_closed(out)
        if files:
            with suite.check(f"{how}: an existing LifeDump.bmp untouched"):
                expect_ran(out)
                expect_no_dump(out, existing=True)


def check_activate_wine_window(ctx):
    """Another Windows program's window takes the activation."""
    suite = ctx.suite
    holder = {}

    def close(c, out):
        holder["proc"] = holder["prefix"].start("notepad")
    out = run_saver_with_prefix_hook(ctx, "activate notepad", holder, close)
    with suite.check("close by another program's window taking the activation"):
        expect_closed(out)


def run_saver_with_prefix_hook(ctx, name, holder, close):
    # The second program must run in the saver's own prefix: remember it.
    original = ctx.fresh

    def fresh():
        prefix = original()
        holder["prefix"] = prefix
        return prefix
    ctx.fresh = fresh
    try:
        return run_saver(ctx, name, close=close, shot=False)
    finally:
        ctx.fresh = original


def check_slow_mouse(ctx):
    suite = ctx.suite
    out = run_saver(ctx, "slow mouse", files={"LifeDump.bmp": OLD_DUMP}, shot=False,
                    action=slow_moves, close=press("alt+s"), settle=0.5)
    with suite.check("slow mouse movement across the screen does not close"):
        expect_ran(out)
        expect(out.still_running, "the saver ended during slow movement (steps of at most "
                                  "8 px, or at most 20 px on one axis)")
    with suite.check("close by Alt+S"):
        expect_closed(out)
    with suite.check("Alt+S: no dump, an existing LifeDump.bmp untouched"):
        expect_ran(out)
        expect_no_dump(out, existing=True)
    with suite.check("LastRate 'N.NN updates/sec' after a run of a few seconds"):
        expect_ran(out)
        expect(out.seconds >= 3, f"the run lasted only {out.seconds:.1f} s")
        expect_rate(out)


def checks_dumps(ctx):
    suite = ctx.suite
    # A larger older file: the dump must replace it, not write into it.
    junk = b"x" * 40000
    out = run_saver(ctx, "dump S", files={"LifeDump.bmp": junk}, close=press("s"), dump=True)
    with suite.check("S key: LifeDump.bmp of the 512x384 world, a Life world"):
        expect_closed(out)
        expect_dump(ctx, out)
    settings = layout_settings(0, 2, colour=0xFF8040)
    out = run_saver(ctx, "dump shift S", settings=settings, hold_shift=True, close=press("s"),
                    dump=True)
    with suite.check("custom colour #ff8040, direct quarter world"):
        expect_ran(out)
        expect_covers(ctx, out)
        expect_picture(ctx, out)
    with suite.check("Shift+S: LifeDump.bmp of the 256x192 world in #ff8040"):
        expect_closed(out)
        expect_dump(ctx, out, settings)


def check_blocked_windows_directory(ctx):
    """Folders in the files' places, as a user's rights would refuse them."""
    suite = ctx.suite
    out = run_saver(ctx, "blocked Windows directory", args=("/r",), blocked=True, shot=False,
                    settle=3.0, close=press("s"), dump=True, local_appdata=r"C:\users\日本\Local")
    with suite.check("Windows directory refused: /r and S write both files to "
                     "%LOCALAPPDATA%\\Cellarium, with %LOCALAPPDATA% C:\\users\\日本\\Local"):
        expect_closed(out)
        g = lifeworld.geometry(ctx.display.width, ctx.display.height, 1, 1)
        blob = out.user_files.get("LifeDump.bmp")
        expect(blob is not None, "no LifeDump.bmp in %LOCALAPPDATA%\\Cellarium")
        expect(len(blob) == 32 + g["cols"] * g["rows"] // 8, f"LifeDump.bmp of {len(blob)} bytes")
        expect(blob[:32] == lifeworld.dump_header(g["cols"], g["rows"], DEFAULT_COLOUR),
               f"headers {blob[:32].hex(' ')}")
        bits = out.user_files.get("RandBits.txt")
        expect(bits and set(bits) <= {ord("0"), ord("1")},
               f"RandBits.txt in %LOCALAPPDATA%\\Cellarium holds {bits!r}")


def check_full_windows_directory(ctx):
    """A dump and a log that cannot be written whole leave the earlier files
    as they were: C:\\windows on a 64 KiB volume with no byte free."""
    suite = ctx.suite
    name = "full Windows directory: /r and S keep the earlier files, the dump in %LOCALAPPDATA%"
    if not can_mount():
        print(f"# skipped '{name}': this user may not mount a tmpfs (needs root)", flush=True)
        return
    old_dump = lifeworld.dump_header(512, 384, DEFAULT_COLOUR) + bytes(512 * 384 // 8)
    settings = layout_settings(0, 0)  # the whole 1024x768 world: a dump of 98,336 bytes
    out = run_saver(ctx, "full Windows directory", args=("/r",), settings=settings, shot=False,
                    files={"LifeDump.bmp": old_dump, "RandBits.txt": OLD_BITS},
                    full_volume=True, settle=2.0, close=press("s"), dump=True)
    with suite.check(name):
        expect_closed(out)
        expect(out.files.get("LifeDump.bmp") == old_dump,
               f"C:\\windows\\LifeDump.bmp is now {len(out.files.get('LifeDump.bmp') or b'')} "
               "bytes, not the earlier 24,608")
        expect(out.files.get("RandBits.txt") == OLD_BITS,
               f"C:\\windows\\RandBits.txt now holds {out.files.get('RandBits.txt')!r}")
        expect(not out.leftovers, f"temporary files left: {out.leftovers}")
        blob = out.user_files.get("LifeDump.bmp") or b""
        expect(len(blob) == 98336 and blob[:32] == lifeworld.dump_header(1024, 768, DEFAULT_COLOUR),
               f"%LOCALAPPDATA%\\Cellarium\\LifeDump.bmp of {len(blob)} bytes, not the "
               "1024x768 world's 98,336")


def check_end_session(ctx):
    """Logging off while the saver runs: the run is saved before the process
    is ended (wineboot -e sends the end of session, then ends the process)."""
    suite = ctx.suite
    for switch in ("/s", "/r"):
        holder = {}
        original = ctx.fresh

        def fresh():
            holder["prefix"] = original()
            return holder["prefix"]
        ctx.fresh = fresh
        try:
            out = run_saver(ctx, f"end of session {switch}", args=(switch,), shot=False,
                            files={"RandBits.txt": OLD_BITS}, settle=3.0,
                            close=end_session(holder))
        finally:
            ctx.fresh = original
        with suite.check(f"end of session during {switch}: seeds and LastRate stored"
                         + (", RandBits.txt holds the samples" if switch == "/r" else "")):
            expect_closed(out)
            expect_seeds(out)
            expect_rate(out)
            bits = out.files.get("RandBits.txt")
            if switch == "/r":
                # Samples fall 0.3 to 0.7 s apart: some 4 to 10 in 3 s.
                expect(bits and bits != OLD_BITS and set(bits) <= {ord("0"), ord("1")}
                       and 2 <= len(bits) <= 20, f"RandBits.txt holds {bits!r}")
            else:
                expect(bits == OLD_BITS, f"RandBits.txt changed to {bits!r} without /r")


def check_randbits(ctx):
    suite = ctx.suite
    # Every temporary name in both folders taken by a run killed during /r.
    stale = {f"RandBits.txt.{n}.tmp": b"10" for n in range(100)}
    out = run_saver(ctx, "mode /r", args=("/r",), files={"RandBits.txt": b"1" * 5000, **stale},
                    user_files=stale, local_appdata=r"C:\users\probe\Local",
                    shot=False, settle=3.0, close=press("b"))
    with suite.check("/r: RandBits.txt of '0' and '1' only, no line end"):
        expect_closed(out)
        bits = out.files.get("RandBits.txt")
        expect(bits is not None, "no RandBits.txt in the Windows directory")
        expect(bits != b"1" * 5000, "RandBits.txt still holds the older file")
        expect(len(bits) > 0, "RandBits.txt is empty after a run of 3 s")
        expect(len(bits) < 1000, f"RandBits.txt holds {len(bits)} characters: the older "
                                 "file was not replaced, or far more than two samples a second")
        expect(set(bits) <= {ord("0"), ord("1")},
               f"RandBits.txt holds other characters: {bits[:60]!r}")
    with suite.check("/r: 100 temporary files of killed runs in both folders are gone, "
                     "the log in the Windows directory"):
        expect_closed(out)
        expect(not out.leftovers and not out.user_leftovers,
               f"left: {len(out.leftovers)} in C:\\windows, {len(out.user_leftovers)} in "
               "%LOCALAPPDATA%\\Cellarium")
        expect("RandBits.txt" not in out.user_files,
               "a RandBits.txt in %LOCALAPPDATA%\\Cellarium")


def hyphenated_copy(ctx, prefix):
    """The program copied under a folder with a '-' and a blank; its Windows path."""
    name = ctx.scr.rsplit("\\", 1)[-1]
    folder = os.path.join(prefix.path, "drive_c", "x-ray", "Saver Files")
    os.makedirs(folder, exist_ok=True)
    shutil.copy2(os.path.join(prefix.windows_dir, "system32", name), folder)
    return "C:\\x-ray\\Saver Files\\" + name


def check_preview(ctx):
    suite = ctx.suite
    d = ctx.display
    for where in ("system32", "C:\\x-ray\\Saver Files"):
        with suite.check(f"/p 123 from {where} exits at once with status 0 and shows nothing"):
            prefix = ctx.fresh()
            try:
                program = ctx.scr if where == "system32" else hyphenated_copy(ctx, prefix)
                before = screenshot(d)
                started = time.monotonic()
                proc = prefix.start(program, "/p", "123")
                seen = []
                while proc.running() and time.monotonic() - started < 20:
                    seen += d.search(name=SAVER, visible=False)
                    time.sleep(0.05)
                status = proc.wait(0)
                took = time.monotonic() - started
                after = screenshot(d)
                expect(status is not None, "still running after 20 s")
                expect(status == 0, f"exit status {status}")
                expect(not seen, f"a window titled {SAVER} appeared")
                expect(after.px == before.px, "the screen changed")
                expect(took < 10, f"took {took:.1f} s")
            finally:
                prefix.destroy()


def check_cycles(ctx, count):
    """Start and close many times in one prefix: each run must end, leave no
    process of its own, and store fresh seeds."""
    suite = ctx.suite
    d = ctx.display
    with suite.check(f"{count} start/close cycles: every run ends and stores new seeds"):
        prefix = ctx.fresh()
        rnd = random.Random(7)
        pending = None  # the registry read of the previous run, done while this one starts

        def read_seeds(box):
            values = prefix.reg_query()
            box["seeds"] = tuple(values.get(n, (None, None))[1] for n in ("Seed1", "Seed2"))
        try:
            last = START_SEEDS
            for i in range(1, count + 2):
                proc = None
                if i <= count:
                    d.move(d.width // 2, d.height // 2)
                    proc = prefix.start(ctx.scr, "/s")
                    win = d.wait_window(name=SAVER, proc=proc, timeout=40)
                    expect(win is not None, f"run {i}: no window (status {proc.wait(0)})")
                if pending is not None:
                    # before this run can end and overwrite them
                    thread, box = pending
                    thread.join(60)
                    seeds = box.get("seeds")
                    expect(seeds and None not in seeds, f"run {i - 1}: seeds missing")
                    expect(seeds[0] != last[0] and seeds[1] != last[1],
                           f"run {i - 1}: seeds {seeds} not changed from {last}")
                    last = seeds
                    pending = None
                if proc is None:
                    break
                time.sleep(rnd.uniform(0.0, 0.4))
                d.key(rnd.choice(["a", "space", "Escape", "x", "Down"]))
                status = proc.wait(20)
                expect(status is not None, f"run {i}: still running 20 s after the key")
                expect(status == 0, f"run {i}: exit status {status}")
                left = [p for p in stray_processes(None, prefix.path)
                        if "cellarium" in _cmdline(p).lower()]
                expect(not left, f"run {i}: processes of the program left: {left}")
                box = {}
                thread = threading.Thread(target=read_seeds, args=(box,), daemon=True)
                thread.start()
                pending = (thread, box)
        finally:
            if pending is not None:
                pending[0].join(60)
            prefix.destroy()


def check_800x600(ctx):
    suite = ctx.suite
    out = run_saver(ctx, "800x600 default", close=press("s"), dump=True)
    with suite.check("800x600: saver over the screen, zoomed x2 world cut at the right"):
        expect_ran(out)
        expect_covers(ctx, out)
        expect_picture(ctx, out)
    with suite.check("800x600 S key: LifeDump.bmp of the 416x300 world"):
        expect_closed(out)
        expect_dump(ctx, out)
    settings = layout_settings(0, 2)
    out = run_saver(ctx, "800x600 direct quarter", settings=settings, close=press("q"))
    with suite.check("800x600: direct quarter world 224x150 centred at (288,225)"):
        expect_ran(out)
        expect_covers(ctx, out)
        expect_picture(ctx, out)
    with suite.check("close by key q (800x600)"):
        expect_closed(out)


def rate_of(out):
    v = out.registry.get("LastRate")
    expect(v is not None and RATE_TEXT.match(v[1]), f"LastRate is {v!r}")
    return float(v[1].split()[0])


def check_speeds(ctx):
    """GenerationRate: 60 a second holds; the slowest still closes at once;
    no limit runs as fast as ever."""
    suite = ctx.suite
    runs = [("60 a second", 60, 10.0), ("slowest, 5 a second", 5, 2.0), ("fastest", 0, 3.0)]
    outs = {}
    for label, rate, seconds in runs:
        outs[rate] = run_saver(ctx, f"speed {label}", settings={
            "GenerationRate": ("REG_DWORD", rate)}, shot=False, settle=seconds,
            close=press("a"), unmanaged=True)
        print(f"# speed {label}: LastRate {outs[rate].registry.get('LastRate')}, "
              f"exit {outs[rate].exit_seconds} s after the key", flush=True)
    with suite.check("speed 60: LastRate within 54..66 after a 10 s run"):
        expect_closed(outs[60])
        expect(54 <= rate_of(outs[60]) <= 66, f"LastRate {rate_of(outs[60])}")
    with suite.check("speed slowest: a key ends the saver within 100 ms"):
        expect_closed(outs[5])
        expect(outs[5].exit_seconds < 0.1, f"ended {outs[5].exit_seconds:.3f} s after the key")
    with suite.check("speed fastest: no limit (LastRate above twice the fastest limit, 240)"):
        expect_closed(outs[0])
        expect(rate_of(outs[0]) > 240, f"LastRate {rate_of(outs[0])}")


def wait_for_cells(ctx, out, colour=DEFAULT_COLOUR):
    """An action: waits for live cells, then keeps a screenshot a second later."""
    end = time.monotonic() + 20
    while time.monotonic() < end and not screenshot(ctx.display).colours().get(colour):
        time.sleep(0.2)
    time.sleep(1.0)
    out.shot = screenshot(ctx.display)


def jump_on_second_monitor(ctx, out):
    """Along the x axis only (never a jump) onto the second monitor, then a jump there."""
    d = ctx.display
    x, y = d.pointer()
    d.moves([(px, y) for px in range(x, 1400, 40)] + [(1400, 300 if y != 300 else 310)])
    time.sleep(0.3)
    out.still_running = ctx.current.running()  # the slow moves must not close it
    d.move(1440, 340)


def checks_two_monitors(ctx):
    """A primary 1024x768 and a second 800x600 to its right: the world on
    the primary, or across both with AllMonitors."""
    suite = ctx.suite
    d = ctx.display
    primary, second = (0, 0, 1024, 768), (1024, 0, 800, 600)
    flag = {"AllMonitors": ("REG_BINARY", bytes([1]))}

    def region_colours(img, rect):
        return img.crop(*rect).colours()

    out = run_saver(ctx, "two monitors, primary only", shot=False, action=wait_for_cells,
                    close=press("s"), dump=True)
    with suite.check("two monitors, AllMonitors clear: the world on the primary, the second black"):
        expect_ran(out)
        expect_covers(ctx, out)
        expect(out.shot is not None, "no screenshot")
        expect(region_colours(out.shot, primary).get(DEFAULT_COLOUR), "no live cells on the primary")
        right = region_colours(out.shot, second)
        expect(set(right) == {0}, f"the second monitor shows {dict(right)}")
    with suite.check("two monitors, AllMonitors clear: dump of the primary's 512x384 world"):
        expect_closed(out)
        expect_dump(ctx, out, area=(1024, 768))

    out = run_saver(ctx, "two monitors, spanned", settings=flag, shot=False,
                    action=wait_for_cells, close=press("s"), dump=True)
    if out.shot is not None:
        suite.save(out.shot, "two-monitors-spanned")
        if ctx.args.docs_shot:
            out.shot.save_png(ctx.args.docs_shot)
    with suite.check("two monitors, AllMonitors set: live cells on both monitors"):
        expect_ran(out)
        expect_covers(ctx, out)
        expect(out.shot is not None, "no screenshot")
        for name, rect in (("primary", primary), ("second", second)):
            counts = region_colours(out.shot, rect)
            expect(counts.get(DEFAULT_COLOUR), f"no live cells on the {name} monitor")
            expect(set(counts) <= {0, DEFAULT_COLOUR}, f"the {name} monitor shows {dict(counts)}")
    with suite.check("two monitors, AllMonitors set: dump of the 928x384 world of 1824x768"):
        expect_closed(out)
        expect_dump(ctx, out, area=(d.width, d.height))

    out = run_saver(ctx, "two monitors, spanned, jump", settings=flag, shot=False,
                    close=jump_on_second_monitor)
    with suite.check("two monitors, AllMonitors set: a mouse jump over the second monitor closes"):
        expect_closed(out)


def desktop_stand_in(ctx):
    """An X window of the largest display mode in STAND_IN, without a
    border, under the saver: wherever the saver does not cover the screen it
    shows, as the desktop would. It ends with the next run."""
    d = ctx.display
    w, h = LARGEST_MODE
    colour = hexcolour(STAND_IN)
    ctx.clients.append(subprocess.Popen(
        ["xlogo", "-geometry", f"{w}x{h}+0+0", "-bw", "0", "-bg", colour, "-fg", colour],
        env=d.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    end = time.monotonic() + 20
    while (counts := screenshot(d).colours()).get(STAND_IN) != d.width * d.height:
        if time.monotonic() > end:
            raise HarnessError(f"the stand-in window does not cover the screen in {colour}: "
                               f"{dict(counts.most_common(3))}")
        time.sleep(0.2)


def change_mode(width, height, settings):
    """An action: the display changes from 1024x768 to width x height under
    the saver; two seconds later, the saver window's place, then a picture
    of the screen with the layout for the new size and, on a larger screen,
    live cells beyond 1024x768 (they take a second or two to get there)."""
    def action(ctx, out):
        print(f"# {out.name}: {ctx.prefix.change_mode(ctx.display_mode, width, height)}",
              flush=True)
        time.sleep(2.0)
        if not ctx.current.running():
            return
        out.geometry = ctx.display.geometry(out.window)
        judge = picture_judge(ctx, settings)
        colour = expected_colour(settings)

        def beyond(img):
            if width <= 1024:
                return True
            return img.colours()[colour] > img.crop(0, 0, 1024, 768).colours()[colour]
        out.torn = []
        end = time.monotonic() + 10
        while True:
            out.shot = screenshot(ctx.display)
            out.shot_reason = judge(out.shot)
            if out.shot_reason is None and not beyond(out.shot):
                out.shot_reason = "no live cell beyond 1024x768"
            elif out.shot_reason is not None:
                out.torn.append(out.shot_reason)  # a torn frame, or the fault itself
            if out.shot_reason is None or time.monotonic() > end:
                break
    return action


def checks_display_change(ctx):
    """The primary display changes mode under the running saver (Wine sends
    WM_DISPLAYCHANGE): the saver covers the new screen with a world built
    for it, and goes on until a key, with a desktop in STAND_IN under it."""
    suite = ctx.suite
    flag = {"AllMonitors": ("REG_BINARY", bytes([1]))}
    cases = [("grows to 1280x1024", (1280, 1024), None),
             ("shrinks to 800x600", (800, 600), None),
             ("grows to 1280x1024, AllMonitors set", (1280, 1024), flag)]
    ctx.template.prewarm = False  # each run has a display of its own
    try:
        for label, (w, h), settings in cases:
            label = f"display 1024x768 {label}"
            ctx.use_display(Display(1024, 768, shm=False, resizable=True))
            desktop_stand_in(ctx)
            out = run_saver(ctx, label, settings=settings, shot=False,
                            action=change_mode(w, h, settings), close=press("s"), dump=True)
            with suite.check(f"{label}: the saver runs on 2 s later, over the whole screen"):
                expect_ran(out)
                expect(out.still_running, "the saver ended with the change")
                expect_covers(ctx, out)
            with suite.check(f"{label}: only black and cells, laid out for {w}x{h}"
                             + (", live cells beyond 1024x768" if w > 1024 else "")):
                expect_ran(out)
                expect_picture(ctx, out)
            g = lifeworld.geometry(w, h)
            with suite.check(f"{label}: S closes, dump of the {g['cols']}x{g['rows']} world"):
                expect_closed(out)
                expect_dump(ctx, out, area=(w, h))
    finally:
        ctx.template.prewarm = True


def checks_after_all(ctx):
    """What every run of the suite must have done, whatever ended it."""
    suite = ctx.suite
    done = [o for o in ctx.outcomes if o.error is None and o.status == 0]
    with suite.check(f"every run stored new Seed1 and Seed2 ({len(done)} runs)"):
        expect(done, "no run ended normally")
        bad = []
        for o in done:
            try:
                expect_seeds(o)
            except AssertionError as e:
                bad.append(f"{o.name}: {e}")
        expect(not bad, "; ".join(bad))
    with suite.check("runs without /r create no RandBits.txt, runs not ended by S no LifeDump.bmp"):
        bad = []
        for o in done:
            if o.prepared.get("RandBits.txt") is None and not o.randbits \
                    and o.files.get("RandBits.txt") is not None:
                bad.append(f"{o.name}: RandBits.txt")
            if o.prepared.get("LifeDump.bmp") is None and not o.dump \
                    and o.files.get("LifeDump.bmp") is not None:
                bad.append(f"{o.name}: LifeDump.bmp")
        expect(not bad, "written by " + ", ".join(bad))


GROUPS_1024 = [
    ("modes", checks_modes),
    ("layouts", checks_layouts),
    ("activate", check_activate_wine_window),
    ("slow", check_slow_mouse),
    ("dumps", checks_dumps),
    ("randbits", check_randbits),
    ("blocked", check_blocked_windows_directory),
    ("full", check_full_windows_directory),
    ("session", check_end_session),
    ("preview", check_preview),
    ("speed", check_speeds),
    ("scaled", check_scaled_display),
    ("looks", checks_looks),
]
GROUPS_800 = [("800x600", check_800x600)]
GROUPS_TWO_MONITORS = [("monitors", checks_two_monitors)]
GROUPS_DISPLAY_CHANGE = [("display change", checks_display_change)]


def timed(group, fn, *args):
    started = time.monotonic()
    fn(*args)
    print(f"# {group}: {time.monotonic() - started:.0f} s", flush=True)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(os.path.dirname(here))
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("scr", nargs="?", default=os.path.join(root, "build/win64/program/cellarium.scr"),
                    help="the built cellarium.scr")
    ap.add_argument("--artifacts", help="folder for the screenshots of the runs")
    ap.add_argument("--only", help="run only the groups matching this regular expression "
                    "(modes, layouts, activate, slow, dumps, randbits, blocked, full, session, "
                    "preview, speed, scaled, looks, cycles, 800x600, monitors, display change)")
    ap.add_argument("--docs-shot", help="also save the spanned two-monitor screenshot here")
    ap.add_argument("--cycles", type=int, default=50, help="start/close cycles (default 50)")
    ap.add_argument("--display-mode", help="display_mode.exe (default: in SCR's build tree)")
    args = ap.parse_args()
    suite = Suite(args.artifacts)
    wanted = re.compile(args.only) if args.only else None

    def chosen(group):
        return wanted is None or wanted.search(group)
    display_mode = args.display_mode or os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(args.scr))),
        "tests", "e2e", "drivers", "display_mode.exe")
    needed = [args.scr] + ([display_mode] if any(chosen(g) for g, _ in GROUPS_DISPLAY_CHANGE)
                           else [])
    missing = [path for path in needed if not os.path.isfile(path)]
    if missing:
        suite.report("programs built", False, f"{', '.join(missing)} not found: "
                     "build the win64 tree first")
        return suite.finish()
    ctx = Context(args, suite)
    started = time.monotonic()
    try:
        ctx.use_display(Display(1024, 768, shm=False))
        ctx.template = PrefixTemplate(ctx.display, prewarm=True).build()
        ctx.scr = ctx.template.add_program(args.scr)
        ctx.display_mode = ctx.template.add_program(display_mode) \
            if os.path.isfile(display_mode) else None
        # Known seeds in every prefix, to tell that a run stored new ones.
        ctx.template.set_values({"Seed1": ("REG_DWORD", START_SEEDS[0]),
                                 "Seed2": ("REG_DWORD", START_SEEDS[1])})
        print(f"# display and prefix template ready after {time.monotonic() - started:.0f} s",
              flush=True)
        for group, fn in GROUPS_1024:
            if chosen(group):
                timed(group, fn, ctx)
        if chosen("cycles") and args.cycles > 0:
            ctx.template.prewarm = False  # one prefix for all cycles: none to make ready
            timed("cycles", check_cycles, ctx, args.cycles)
            ctx.template.prewarm = True
        if any(chosen(g) for g, _ in GROUPS_800):
            ctx.use_display(Display(800, 600, shm=False))
            for group, fn in GROUPS_800:
                if chosen(group):
                    timed(group, fn, ctx)
        if any(chosen(g) for g, _ in GROUPS_TWO_MONITORS):
            ctx.use_display(Display(0, 0, shm=False, monitors=[(1024, 768), (800, 600)]))
            for group, fn in GROUPS_TWO_MONITORS:
                if chosen(group):
                    timed(group, fn, ctx)
        for group, fn in GROUPS_DISPLAY_CHANGE:  # each run on a display of its own
            if chosen(group):
                timed(group, fn, ctx)
        if ctx.outcomes:
            checks_after_all(ctx)
    except HarnessError as e:
        suite.report("harness", False, e)
    finally:
        marker = ctx.template.root if ctx.template else None
        if ctx.template:
            ctx.template.destroy()
        for d in ctx.displays:
            d.stop()
        if marker:
            with suite.check("no process of the suite left (Wine, the program, Xvfb)"):
                left = stray_processes(marker) + [d.proc.pid for d in ctx.displays
                                                  if d.proc and d.proc.poll() is None]
                expect(not left, "still running: " + ", ".join(
                    f"{p} {_cmdline(p)[:60]}" for p in left))
    print(f"# e2e suite took {time.monotonic() - started:.0f} s", flush=True)
    return suite.finish()


if __name__ == "__main__":
    sys.exit(main())
