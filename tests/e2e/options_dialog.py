#!/usr/bin/env python3
"""End-to-end checks of the options dialog and the About box under Wine.

Runs cellarium.scr in options mode on a virtual display, works its controls
through tests/e2e/drivers/dialog_driver.exe (the messages a user's drags, key
presses and clicks produce), and reads back what landed in the registry.
Finally runs the saver with the stored options and looks at the screen.

    tests/e2e/options_dialog.py BUILD_DIR [--artifacts DIR] [--docs-shot PNG]

BUILD_DIR is a MinGW x86_64 tree (program/cellarium.scr,
tests/e2e/drivers/dialog_driver.exe, and tests/store/store_wine_check.exe,
whose table of stored settings gives the options OK writes). Prints one line
per check and ends with "N passed, N failed".
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import (Display, HarnessError, PrefixTemplate, Suite, _poll, expect,  # noqa: E402
                     screenshot)

# Displays of this suite, apart from the other suites' (harness default :90-:99).
harness.DISPLAYS = range(80, 90)

OPTIONS = "Options for Cellarium"
ABOUT = "About Cellarium"
CHOOSER = "Pixel Color"
SAVER = "ScreenSaver.Cellarium"

# Control ids (ui/dialog_ids.h) and the chooser's colour fields.
WORLD, ZOOM, INIT, RATE, SPEED, TRAILS = 101, 102, 103, 111, 114, 117
TILE, STEADY, SHOW, MONITORS, RENEW = 104, 112, 113, 115, 116
OK, CANCEL, ABOUT_BUTTON, COLOR_BUTTON = 1, 2, 901, 902
ICON = 900
CHOOSER_RED, CHOOSER_GREEN, CHOOSER_BLUE = 706, 707, 708

DEFAULT_STATE = {"world": 1, "zoom": 1, "init": 2, "rate": 2, "speed": 5, "trails": 0,
                 "tile": (0, 0), "steady": (1, 1), "show": (0, 1), "monitors": (0, 1),
                 "renew": (0, 1)}


def dword(v):
    return ("REG_DWORD", v)


def binary(*b):
    return ("REG_BINARY", bytes(b))


def rgb(red, green, blue):
    """A colour as the settings record holds it: 0x00BBGGRR."""
    return red | green << 8 | blue << 16


# The options of the settings table, (name, form, default) in the order OK
# writes them; read_option_rows fills it from the program's own table.
OPTION_ROWS = []


def read_option_rows(template, build):
    """The option rows as tests/store/store_wine_check.exe prints the table
    (`fields`: NAME FORM GROUP STEP DEFAULT a line), run in the template."""
    program = os.path.join(build, "tests", "store", "store_wine_check.exe")
    prefix = harness.Prefix(template.path, template.display)
    try:
        status, out = prefix.wine(program, "fields")
    finally:
        prefix.kill()
    rows = []
    for line in out.splitlines():
        parts = line.split()
        if status == 0 and len(parts) == 5 and parts[2] == "option":
            rows.append((int(parts[3]), parts[0], parts[1], int(parts[4])))
    if not rows:
        raise HarnessError(f"{program} fields (status {status}) printed no options: {out[-300:]!r}")
    return [(name, form, default) for _, name, form, default in sorted(rows)]


def stored_form(form, value):
    """A field's value as the key holds it, with its registry type."""
    if form == "word":
        return dword(value)
    if form == "flag":
        return binary(value)
    return binary(value & 0xFF, value >> 8 & 0xFF, value >> 16 & 0xFF)  # red, green, blue


def options(**values):
    """The values OK stores, with their registry types: every option of the
    settings table at its default, or at the value given under its registry
    name (as the record holds it; a colour from rgb())."""
    unknown = set(values) - {name for name, _, _ in OPTION_ROWS}
    if unknown:
        raise KeyError(f"no stored option {sorted(unknown)}")
    return {name: stored_form(form, values.get(name, default))
            for name, form, default in OPTION_ROWS}


# Values OK never writes; stored beforehand, they must come through untouched.
BYSTANDERS = {"Seed1": dword(123456), "Seed2": dword(0xFEDCBA98), "RuleMutations": dword(7),
              "LastRate": ("REG_SZ", "12.50 updates/sec")}


class Context:
    def __init__(self, build, display, template, suite, artifacts, docs_shot):
        self.display = display
        self.docs_shot = docs_shot
        self.template = template
        self.suite = suite
        self.artifacts = artifacts
        self.scr = template.add_program(os.path.join(build, "program", "cellarium.scr"))
        self.driver = template.add_program(
            os.path.join(build, "tests", "e2e", "drivers", "dialog_driver.exe"))
        # The About box's title line, as the build wrote it from the project's version.
        with open(os.path.join(build, "generated", "cellarium_version.h")) as f:
            self.about_title = re.search(r'#define CELLARIUM_ABOUT_TITLE "([^"]+)"', f.read()).group(1)


class OptionsRun:
    """cellarium.scr in options mode in a fresh prefix, with values stored first.

    hosts: titles of stand-in host settings windows opened first; "{host}" in
    a switch becomes the last one's handle in decimal. hyphenated: run a copy
    under C:\\x-ray\\Saver Files, a path with a '-' and a blank."""

    def __init__(self, ctx, *switches, stored=None, hosts=(), hyphenated=False, desktop=None):
        self.ctx = ctx
        self.prefix = ctx.template.fresh()
        self.host = None
        if stored:
            self.prefix.reg_import(stored)
        if desktop:
            self.prefix.reg_import(desktop, key=r"HKCU\Control Panel\Desktop")
        handle = None
        for title in hosts:
            self.host = self.prefix.start(ctx.driver, "host", title)
            expect(_poll(lambda: "host ready" in self.host.output(), 30),
                   f"stand-in host window {title!r} did not appear")
            handle = self.host.output().split("host ready", 1)[1].split()[0]
        program = ctx.scr
        if hyphenated:
            folder = os.path.join(self.prefix.path, "drive_c", "x-ray", "Saver Files")
            os.makedirs(folder)
            shutil.copy2(os.path.join(self.prefix.windows_dir, "system32", "cellarium.scr"), folder)
            program = "C:\\x-ray\\Saver Files\\cellarium.scr"
        self.proc = self.prefix.start(program, *(w.replace("{host}", str(handle)) for w in switches))

    def drive(self, *steps, dialog=OPTIONS):
        """Runs driver steps against the dialog with this caption; their output lines."""
        status, out = self.prefix.wine(self.ctx.driver, "find", dialog, *map(str, steps),
                                       timeout=90)
        lines = [line.strip() for line in out.splitlines() if line.strip()]
        expect(status == 0, f"driver failed: {' | '.join(lines[-3:])}")
        return lines

    def state(self):
        line = next(l for l in self.drive("state") if l.startswith("state "))
        values = {}
        for item in line.split()[1:]:
            name, value = item.split("=")
            values[name] = tuple(map(int, value.split("/"))) if "/" in value else int(value)
        return values

    def texts(self, dialog=OPTIONS):
        out = {}
        for line in self.drive("texts", dialog=dialog):
            if line.startswith("text "):
                parts = line.split(" ", 2)
                out.setdefault(int(parts[1]), []).append(parts[2] if len(parts) > 2 else "")
        return out

    def rect(self, dialog=OPTIONS):
        line = next(l for l in self.drive("rect", dialog=dialog) if l.startswith("rect "))
        return tuple(map(int, line.split()[1:]))

    def ended(self, timeout=60):
        status = self.proc.wait(timeout)
        expect(status is not None, "the options run did not end")
        expect(status == 0, f"the options run ended with status {status}")

    def stored(self):
        return self.prefix.reg_query()

    def close(self):
        self.prefix.destroy(background=True)


def expect_state(run, want, what):
    got = run.state()
    expect(got == want, f"{what}: controls show {got}, expected {want}")


def wait_state(run, want, what, timeout=15):
    """As expect_state, for input that reaches the dialog through the X
    server and so may still be on its way."""
    deadline = time.monotonic() + timeout
    got = run.state()
    while got != want and time.monotonic() < deadline:
        time.sleep(0.5)
        got = run.state()
    expect(got == want, f"{what}: controls show {got}, expected {want}")


def expect_stored(run, want):
    got = run.stored()
    expect(got == want, f"stored {got}, expected {want}")


def distinct_colours(image):
    return len(image.colours())


# ---------------------------------------------------------------- checks

def check_defaults_and_cancel(ctx):
    """/c with nothing stored: the dialog, its defaults, unowned; Cancel stores nothing."""
    s = ctx.suite
    run = OptionsRun(ctx, "/c")
    try:
        with s.check("/c opens 'Options for Cellarium' with every control of the template"):
            texts = run.texts()
            for ident, text in [(TILE, "&Tile World"), (STEADY, "&Only at Steady State"),
                                (SHOW, "&Show Mutations"), (OK, "OK"), (CANCEL, "Cancel"),
                                (COLOR_BUTTON, "Pixel &Color"), (ABOUT_BUTTON, "&About"),
                                (MONITORS, "Spa&n all monitors"),
                                (RENEW, "N&ew world when stalled")]:
                expect(texts.get(ident) == [text], f"control {ident} reads {texts.get(ident)}")
            labels = texts.get(0xFFFF, [])
            for text in ["&World Size", "&Zoom Factor", "&Initialization Size",
                         "World &Mutation Rate", "Never", "Often", "None", "S&peed", "Slow",
                         "Fastest", "T&rails", "Off", "Long"]:
                expect(text in labels, f"label {text!r} missing")
            expect(len(labels) + sum(len(v) for k, v in texts.items() if k != 0xFFFF) == 36,
                   "the dialog does not hold 36 controls")
        with s.check("/c with no stored values shows the defaults"):
            expect_state(run, DEFAULT_STATE, "defaults")
        with s.check("/c without a host settings window runs unowned"):
            expect("owner none" in run.drive("owner"), "the dialog has an owner")
        image = screenshot(ctx.display)
        left, top, right, bottom = run.rect()
        shot = image.crop(left, top, right - left, bottom - top)
        s.save(shot, "options-dialog")
        if ctx.docs_shot:
            shot.save_png(ctx.docs_shot)
        with s.check("Cancel stores nothing and the run returns 0"):
            run.drive("drag", ZOOM, 0, "toggle", TILE, "click", CANCEL)
            run.ended()
            got = run.stored()
            expect(not set(got) & set(options()), f"values stored after Cancel: {got}")
    finally:
        run.close()


def dialog_layout(run):
    """The client area on screen, the controls (id, group box, l, t, r, b) in
    tab order, and the pairs of them that overlap (by place in that order)
    where neither is a group box around the other."""
    lines = run.drive("layout")
    client = next(tuple(map(int, l.split()[1:])) for l in lines if l.startswith("client "))
    controls = [tuple(map(int, l.split()[1:])) for l in lines if l.startswith("control ")]

    def within(a, b):
        return b[2] <= a[2] and b[3] <= a[3] and a[4] <= b[4] and a[5] <= b[5]
    overlaps = {(i, k) for i, a in enumerate(controls) for k, b in enumerate(controls) if i < k
                and a[2] < b[4] and b[2] < a[4] and a[3] < b[5] and b[3] < a[5]
                and not (a[1] and within(b, a)) and not (b[1] and within(a, b))}
    return client, controls, overlaps


def check_scaled_layout(ctx):
    """At 150 % (LogPixels 144) the dialog scales and still fits: every
    control inside the client area, and no two overlapping that do not at
    100 % (a slider's scale labels share its width by design)."""
    s = ctx.suite
    plain = OptionsRun(ctx, "/c")
    try:
        _, unscaled, designed = dialog_layout(plain)
        plain.drive("click", CANCEL)
    finally:
        plain.close()
    run = OptionsRun(ctx, "/c", desktop={"LogPixels": ("REG_DWORD", 144)})
    try:
        with s.check("at 150 % the dialog grows, every control lies inside it, none newly overlaps"):
            (cl, ct, cr, cb), controls, overlaps = dialog_layout(run)
            left, top, right, bottom = run.rect()
            expect(len(controls) == len(unscaled),
                   f"{len(controls)} controls, not the {len(unscaled)} shown at 100 %")
            outside = [c for c in controls if c[2] < cl or c[3] < ct or c[4] > cr or c[5] > cb]
            expect(not outside, f"outside the client area {(cl, ct, cr, cb)}: {outside}")
            expect(not overlaps - designed,
                   f"overlapping at 150 % only: {[(controls[i][0], controls[k][0]) for i, k in overlaps - designed]}")
            expect(right - left > 500, f"the dialog is {right - left} pixels wide: not scaled")
        s.save(screenshot(ctx.display).crop(left, top, right - left, bottom - top),
               "options-dialog-150")
        run.drive("click", CANCEL)
        run.ended()
    finally:
        run.close()


def check_rate_three_comes_back_as_four(ctx):
    s = ctx.suite
    stored = dict(BYSTANDERS, WorldMutationRate=dword(3), MutateAtSteadyState=binary(1),
                  PixelColor=binary(10, 20, 30), GenerationRate=dword(45), AllMonitors=binary(1),
                  RenewWhenStalled=binary(1), TrailLength=dword(12))
    run = OptionsRun(ctx, "-C", stored=stored)
    try:
        with s.check("-C opens the dialog; stored rate 3 with steady state shows position 2, "
                     "speed 45 the 60 position, all monitors and renewal checked, "
                     "trail length 12 the 16 position"):
            expect_state(run, dict(DEFAULT_STATE, rate=2, speed=3, monitors=(1, 1), trails=4,
                                   renew=(1, 1)), "rate 3")
        with s.check("OK stores rate 3 as 4 and the speed, trail length and both flags as set, "
                     "exactly the options with their types"):
            run.drive("drag", SPEED, 1, "toggle", MONITORS, "drag", TRAILS, 2, "toggle", RENEW,
                      "click", OK)
            run.ended()
            expect_stored(run, dict(BYSTANDERS, **options(
                WorldMutationRate=4, PixelColor=rgb(10, 20, 30), GenerationRate=10,
                AllMonitors=0, TrailLength=4, RenewWhenStalled=0)))
    finally:
        run.close()


def check_rate_sixty_four_stays(ctx):
    s = ctx.suite
    stored = {"WorldMutationRate": dword(64), "MutateAtSteadyState": binary(0),
              "WorldSize": dword(5), "ZoomFactor": dword(3), "InitSize": dword(-2 & 0xFFFFFFFF)}
    run = OptionsRun(ctx, "/c:1234", stored=stored)
    try:
        with s.check("/c:1234 opens the dialog; stored 64 without steady state shows position 1, "
                     "sizes outside 0..2 at the slider ends"):
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=2, init=0, rate=1, steady=(0, 1)),
                         "rate 64")
        with s.check("Enter stores 64 again and the sizes as shown"):
            run.drive("press", "enter")
            run.ended()
            expect_stored(run, options(WorldSize=2, ZoomFactor=2, InitSize=0,
                                       WorldMutationRate=64, MutateAtSteadyState=0))
    finally:
        run.close()


def check_never_with_host(ctx):
    s = ctx.suite
    stored = {"WorldMutationRate": dword(0), "ShowMutations": binary(1)}
    run = OptionsRun(ctx, "/c", "1234", stored=stored, hosts=("Desktop",))
    try:
        with s.check("'/c 1234' opens the dialog owned by the host's settings window"):
            expect("owner Desktop" in run.drive("owner"), "not owned by the 'Desktop' window")
        with s.check("stored rate 0 shows 'Never' with both mutation boxes disabled"):
            expect_state(run, dict(DEFAULT_STATE, rate=0, steady=(1, 0), show=(1, 0)), "rate 0")
        with s.check("OK stores 'Never' as 0, the disabled boxes as they show"):
            run.drive("click", OK)
            run.ended()
            expect_stored(run, options(WorldMutationRate=0, MutateAtSteadyState=1, ShowMutations=1))
    finally:
        run.close()


def check_host_window_and_no_arguments(ctx):
    """The host's window from '/c:NNNN'; no arguments at all from a hyphenated folder."""
    s = ctx.suite
    run = OptionsRun(ctx, "/c:{host}", hosts=("Desktop", "Screen Saver Settings"))
    try:
        with s.check("'/c:NNNN' opens the dialog owned by window NNNN, not the one titled Desktop"):
            expect("owner Screen Saver Settings" in run.drive("owner"),
                   "not owned by the window the number names")
            run.drive("click", CANCEL)
            run.ended()
    finally:
        run.close()
    run = OptionsRun(ctx, hosts=("Desktop",), hyphenated=True)
    try:
        with s.check("no arguments, from C:\\x-ray\\Saver Files, opens the dialog unowned "
                     "even beside a window titled Desktop"):
            expect("owner none" in run.drive("owner"), "the dialog has an owner")
            run.drive("click", CANCEL)
            run.ended()
    finally:
        run.close()


def check_ways_out_store_nothing(ctx):
    s = ctx.suite
    stored = dict(BYSTANDERS, **options(
        WorldSize=2, ZoomFactor=0, IsTiled=1, InitSize=1, WorldMutationRate=16,
        MutateAtSteadyState=0, PixelColor=rgb(1, 2, 3), GenerationRate=30, AllMonitors=1,
        RenewWhenStalled=1, TrailLength=64))
    for way, steps in [("Cancel", ("click", CANCEL)), ("Escape", ("press", "escape")),
                       ("the close box", ("close",))]:
        run = OptionsRun(ctx, "/c", stored=stored)
        try:
            with s.check(f"{way} after changes stores nothing"):
                expect_state(run, dict(world=2, zoom=0, init=1, rate=2, speed=2, trails=6,
                                       tile=(1, 1), steady=(0, 1), show=(0, 1), monitors=(1, 1),
                                       renew=(1, 1)),
                             "stored values")
                run.drive("drag", WORLD, 0, "drag", INIT, 2, "toggle", STEADY, "drag", RATE, 0,
                          "drag", SPEED, 0, "toggle", MONITORS, "drag", TRAILS, 1,
                          "toggle", RENEW)
                if way == "Cancel":
                    # A colour accepted in the chooser, then the dialog cancelled.
                    run.drive("click", COLOR_BUTTON)
                    run.drive("rgb", 200, 100, 50, "click", OK, "gone", CHOOSER, dialog=CHOOSER)
                expect_state(run, dict(world=0, zoom=0, init=2, rate=0, speed=0, trails=1,
                                       tile=(1, 0), steady=(1, 0), show=(0, 0), monitors=(0, 1),
                                       renew=(0, 1)),
                             "after the changes")
                run.drive(*steps)
                run.ended()
                expect_stored(run, stored)
        finally:
            run.close()


def mouse_drag(ctx, run, control, dx):
    """Drags the thumb of a slider at its middle position with the real
    pointer, dx pixels sideways, through a few intermediate moves."""
    line = next(l for l in run.drive("crect", control) if l.startswith("crect "))
    left, top, right, _bottom = map(int, line.split()[2:6])
    x, y = (left + right) // 2, top + 8  # the thumb sits in the upper part
    steps = ["mousemove", x, y, "mousedown", 1]
    for k in range(1, 11):
        steps += ["mousemove", x + dx * k // 10, y, "sleep", 0.05]
    ctx.display.xdotool(*steps, "mouseup", 1)


def check_size_coupling(ctx):
    s = ctx.suite
    run = OptionsRun(ctx, "/c")
    try:
        with s.check("the zoom thumb dragged with the mouse to '4' pulls the world to 'Quarter'"):
            mouse_drag(ctx, run, ZOOM, 80)
            wait_state(run, dict(DEFAULT_STATE, world=2, zoom=2), "zoom dragged to 4")
        with s.check("zoom dragged to '4' with world 'Full' pulls the world to 'Quarter'"):
            run.drive("drag", WORLD, 0)
            expect_state(run, dict(DEFAULT_STATE, world=0, zoom=0), "world to Full")
            run.drive("drag", ZOOM, 2)
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=2), "zoom to 4")
        with s.check("world dragged from 'Quarter' to 'Full' brings zoom '4' down to 'None'"):
            run.drive("drag", WORLD, 0)
            expect_state(run, dict(DEFAULT_STATE, world=0, zoom=0), "world to Full")
        with s.check("world 'Quarter', zoom 'None' to '2' enables tiling, on to '4' disables it"):
            run.drive("drag", WORLD, 2)
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=0, tile=(0, 1)), "world to Quarter")
            run.drive("drag", ZOOM, 1)
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=1, tile=(0, 1)), "zoom to 2")
            run.drive("drag", ZOOM, 2)
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=2), "zoom to 4")
        with s.check("keys couple the sliders too: Left, End, Home, Right"):
            for slider, key, world, zoom in [(WORLD, "left", 1, 1), (ZOOM, "end", 2, 2),
                                             (WORLD, "home", 0, 0), (ZOOM, "right", 1, 1)]:
                run.drive("key", slider, key)
                expect_state(run, dict(DEFAULT_STATE, world=world, zoom=zoom),
                             f"after {key} on slider {slider}")
            run.drive("key", RATE, "home")
            expect_state(run, dict(DEFAULT_STATE, world=1, zoom=1, rate=0, steady=(1, 0),
                                   show=(0, 0)), "rate slider to 'Never' by Home")
        with s.check("a click in the zoom slider's channel right of the thumb couples too"):
            line = next(l for l in run.drive("crect", ZOOM) if l.startswith("crect "))
            left, top, right, _bottom = map(int, line.split()[2:6])
            # Held a moment: Wine's trackbar pages on its repeat timer.
            ctx.display.xdotool("mousemove", (left + right) // 2 + 30, top + 8, "mousedown", 1,
                                "sleep", 0.8, "mouseup", 1)
            wait_state(run, dict(DEFAULT_STATE, world=2, zoom=2, rate=0, steady=(1, 0),
                                 show=(0, 0)), "zoom paged to 4")
        with s.check("OK stores what the key-moved sliders show"):
            run.drive("key", ZOOM, "left", "key", RATE, "right", "toggle", STEADY)
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=1, rate=1, tile=(0, 1),
                                   steady=(0, 1)), "world moved by key")
            run.drive("click", OK)
            run.ended()
            expect_stored(run, options(WorldSize=2, ZoomFactor=1, IsTiled=0,
                                       WorldMutationRate=64, MutateAtSteadyState=0))
    finally:
        run.close()


def check_tiling_and_disabled_boxes(ctx):
    s = ctx.suite
    run = OptionsRun(ctx, "/c")
    try:
        with s.check("tiling checked, then zoom equal to world: disabled, stored as 0"):
            run.drive("drag", WORLD, 2, "toggle", TILE, "drag", ZOOM, 2, "drag", INIT, 0,
                      "toggle", SHOW, "drag", RATE, 0)
            expect_state(run, dict(DEFAULT_STATE, world=2, zoom=2, init=0, rate=0, tile=(1, 0),
                                   steady=(1, 0), show=(1, 0)),
                         "after the changes")
            run.drive("click", OK)
            run.ended()
            expect_stored(run, options(WorldSize=2, ZoomFactor=2, IsTiled=0, InitSize=0,
                                       WorldMutationRate=0, MutateAtSteadyState=1,
                                       ShowMutations=1))
    finally:
        run.close()


def about_round(ctx, run, close_steps, pending):
    run.drive("click", ABOUT_BUTTON)
    lines = run.drive("icon", ICON, dialog=ABOUT)
    icon = next(l for l in lines if l.startswith("icon "))
    parts = icon.split()
    expect(parts[2] == "yes", "the About box's icon label holds no icon")
    left, top, right, bottom = map(int, parts[3:7])
    texts = run.texts(dialog=ABOUT)
    labels = texts.get(0xFFFF, [])
    expect(ctx.about_title in labels, f"no title line {ctx.about_title!r} in {labels}")
    expect(any("2026" in t for t in labels), "no year line")
    expect(any("freely" in t and "without charge" in t for t in labels), "no notice")
    image = screenshot(ctx.display).crop(left, top, right - left, bottom - top)
    expect(distinct_colours(image) >= 3, "the icon label shows no picture")
    run.drive(*close_steps, "gone", ABOUT, dialog=ABOUT)
    expect_state(run, pending, "after the About box")
    return image


def check_about_and_colour(ctx):
    """About three times over pending changes, the chooser twice, OK; then the saver."""
    s = ctx.suite
    run = OptionsRun(ctx, "/c")
    try:
        run.drive("drag", ZOOM, 2, "drag", INIT, 1, "toggle", SHOW)
        pending = dict(DEFAULT_STATE, world=2, zoom=2, init=1, show=(1, 1))
        for n, close in enumerate([("click", OK), ("press", "enter"), ("press", "escape")], 1):
            with s.check(f"'&About' opens 'About Cellarium' with the icon, time {n}, "
                         f"changes still pending after '{close[-1]}'"):
                image = about_round(ctx, run, close, pending)
                if n == 1:
                    s.save(image, "about-icon")
        with s.check("'Pixel &Color' opens the chooser titled 'Pixel Color' on the stored colour"):
            run.drive("click", COLOR_BUTTON)
            texts = run.texts(dialog=CHOOSER)
            got = [texts.get(i) for i in (CHOOSER_RED, CHOOSER_GREEN, CHOOSER_BLUE)]
            expect(got == [["48"], ["255"], ["255"]], f"chooser starts on {got}")
            run.drive("rgb", 255, 0, 0, "click", OK, "gone", CHOOSER, dialog=CHOOSER)
        with s.check("a second opening starts on the accepted colour; its Cancel keeps it"):
            run.drive("click", COLOR_BUTTON)
            texts = run.texts(dialog=CHOOSER)
            got = [texts.get(i) for i in (CHOOSER_RED, CHOOSER_GREEN, CHOOSER_BLUE)]
            expect(got == [["255"], ["0"], ["0"]], f"chooser starts on {got}")
            run.drive("rgb", 0, 0, 255, "click", CANCEL, "gone", CHOOSER, dialog=CHOOSER)
        with s.check("OK stores the pending changes and the chosen colour"):
            run.drive("click", OK)
            run.ended()
            expect_stored(run, options(WorldSize=2, ZoomFactor=2, InitSize=1, ShowMutations=1,
                                       PixelColor=rgb(255, 0, 0)))
        check_saver_uses_the_options(ctx, run)
    finally:
        run.close()


def check_saver_uses_the_options(ctx, run):
    """A saver run after OK draws red cells magnified four times."""
    s = ctx.suite
    with s.check("after OK the saver (/s) draws in the new colour at the new zoom"):
        saver = run.prefix.start(ctx.scr, "/s")
        try:
            expect(ctx.display.wait_window(name=f"^{SAVER}$", timeout=30, proc=saver),
                   "no saver window")
            # The simulation runs at idle priority: on a busy machine the
            # first generations may take a while to appear.
            deadline = time.monotonic() + 60
            while True:
                time.sleep(1)
                image = screenshot(ctx.display)
                if image.colours().get(0xFF0000, 0) > 1000 or time.monotonic() > deadline:
                    break
        finally:
            saver.kill()
        s.save(image, "saver-after-options")
        colours = image.colours()
        expect(set(colours) <= {0x000000, 0xFF0000}, f"colours other than black and red: "
               f"{[hex(c) for c in colours if c not in (0, 0xFF0000)][:5]}")
        expect(colours.get(0xFF0000, 0) > 1000,
               f"hardly any live cells drawn ({colours.get(0xFF0000, 0)} red pixels)")
        # Zoom 4: every live cell is a 4 x 4 square on a grid of some phase.
        best = 0
        for ox in range(4):
            for oy in range(4):
                uniform = total = 0
                for by in range(oy, image.height - 3, 4):
                    rows = [image.row(by + k) for k in range(4)]
                    for bx in range(ox, image.width - 3, 4):
                        block = {r[bx + i] for r in rows for i in range(4)}
                        total += 1
                        uniform += len(block) == 1
                best = max(best, uniform / total)
        expect(best > 0.995, f"only {best:.3f} of the 4 x 4 squares are of one colour")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", help="MinGW x86_64 build tree")
    parser.add_argument("--artifacts", help="directory for screenshots")
    parser.add_argument("--docs-shot", help="where to write the options dialog's picture")
    parser.add_argument("--only", help="run only the checks whose function name holds this")
    args = parser.parse_args()
    suite = Suite(args.artifacts)
    try:
        with Display(1024, 768) as display, PrefixTemplate(display, prewarm=True) as template:
            # Wine draws the caption and frame itself: no window manager runs here.
            template.set_values({"Managed": ("REG_SZ", "N")}, key=r"HKCU\Software\Wine\X11 Driver")
            OPTION_ROWS[:] = read_option_rows(template, args.build)
            ctx = Context(args.build, display, template, suite, args.artifacts, args.docs_shot)
            for check in (check_defaults_and_cancel, check_scaled_layout,
                          check_rate_three_comes_back_as_four,
                          check_rate_sixty_four_stays, check_never_with_host,
                          check_host_window_and_no_arguments,
                          check_ways_out_store_nothing, check_size_coupling,
                          check_tiling_and_disabled_boxes, check_about_and_colour):
                if args.only and args.only not in check.__name__:
                    continue
                # The checks inside report themselves; this catches a run
                # that could not even be set up.
                try:
                    check(ctx)
                except Exception as error:  # noqa: BLE001
                    suite.report(f"{check.__name__} set-up", False, error)
    except (HarnessError, OSError, subprocess.SubprocessError) as error:
        suite.report("the harness could set up Wine and the display", False, error)
    return suite.finish()


if __name__ == "__main__":
    sys.exit(main())
