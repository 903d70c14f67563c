#!/usr/bin/env python3
"""Runs cellarium.scr under Wine for a person to see (`make run`).

    run_saver.py [--prefix DIR] [--seconds N] [--shot PNG] [--size WxH] SCR -- [SWITCH...]

With a reachable X display ($DISPLAY), the program runs there until it ends
by itself (for the saver: until the mouse or a key closes it). Without one,
it runs on a virtual display (Xvfb) for a few seconds; then a screenshot is
written to a PNG file whose path is printed, and a key closes the program.
Exits non-zero, with a message, when something goes wrong.
"""

import argparse
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Display, HarnessError, Prefix, make_prefix, screenshot  # noqa: E402


def mode_of(switches):
    """The program's mode character: after the first '-', else the first '/'."""
    line = " ".join(switches).lower()
    for mark in ("-", "/"):
        at = line.find(mark)
        if at >= 0:
            return line[at + 1:at + 2]
    return ""


def display_reachable():
    if not os.environ.get("DISPLAY"):
        return False
    try:
        return subprocess.run(["xdotool", "getdisplaygeometry"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=10).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


class CurrentDisplay:
    """The display the user sits at, in the shape Prefix expects."""

    def env(self):
        return dict(os.environ)


def ready_prefix(path, display):
    if not os.path.isfile(os.path.join(path, "system.reg")):
        print(f"== making the Wine prefix {path} (once; takes a while)", flush=True)
        make_prefix(path, display)
    return Prefix(path, display)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("scr", help="the built cellarium.scr")
    ap.add_argument("switches", nargs="*", help="the program's command line (default /s)")
    ap.add_argument("--prefix", required=True,
                    help="Wine prefix of its own (kept between runs; its Wine programs are "
                         "ended when the run is over)")
    ap.add_argument("--seconds", type=float, default=5.0,
                    help="how long it runs on a virtual display (default 5)")
    ap.add_argument("--shot", help="screenshot file on a virtual display (default: beside the prefix)")
    ap.add_argument("--size", default="1024x768", help="virtual display size (default 1024x768)")
    ap.add_argument("--headless", action="store_true", help="use a virtual display even if $DISPLAY works")
    args = ap.parse_args()
    switches = args.switches or ["/s"]
    if not os.path.isfile(args.scr):
        print(f"error: {args.scr} not found", file=sys.stderr)
        return 1
    prefix_path = os.path.abspath(args.prefix)
    mode = mode_of(switches)

    if display_reachable() and not args.headless:
        prefix = ready_prefix(prefix_path, CurrentDisplay())
        program = prefix.install(args.scr)
        print(f"== running {program} {' '.join(switches)} on {os.environ['DISPLAY']} "
              f"(prefix {prefix_path})", flush=True)
        proc = prefix.start(program, *switches)
        try:
            status = proc.popen.wait()
        except KeyboardInterrupt:
            proc.kill()
            status = None
        finally:
            prefix.kill()
        print(f"== the program ended with status {status}")
        return 0 if status == 0 else 1

    try:
        width, height = (int(v) for v in args.size.lower().split("x"))
    except ValueError:
        print(f"error: --size {args.size}: give it as WIDTHxHEIGHT", file=sys.stderr)
        return 1
    shot_path = os.path.abspath(args.shot or os.path.join(os.path.dirname(prefix_path),
                                                          "run-screenshot.png"))
    display = Display(width, height)
    prefix = None
    try:
        display.start()
        print(f"== no X display to use: running on the virtual display {display.name} "
              f"({width}x{height}) for {args.seconds:g} s", flush=True)
        prefix = ready_prefix(prefix_path, display)
        program = prefix.install(args.scr)
        print(f"== running {program} {' '.join(switches)} (prefix {prefix_path})", flush=True)
        proc = prefix.start(program, *switches)
        if mode == "p":
            status = proc.wait(30)
            image = screenshot(display)
            image.save_png(shot_path)
            print(f"== screenshot: {shot_path}")
            if status is None:
                print("error: preview mode should end at once; it still runs after 30 s",
                      file=sys.stderr)
                return 1
            print(f"== the program ended with status {status} (preview shows nothing)")
            return 0 if status == 0 else 1
        win = display.wait_window(cls="cellarium", proc=proc, timeout=60)
        if win is None:
            status = proc.wait(0)
            print(f"error: the program showed no window "
                  f"({'it ended with status %s' % status if status is not None else 'it still runs'})"
                  f"\n{proc.output()[-2000:]}", file=sys.stderr)
            return 1
        time.sleep(args.seconds)
        image = screenshot(display)
        image.save_png(shot_path)
        print(f"== screenshot: {shot_path}", flush=True)
        # No window manager gives the program the keyboard: do it, then Escape
        # (closes the saver like any key, cancels the options dialog).
        try:
            display.focus(win)
        except HarnessError:
            pass
        display.key("Escape")
        status = proc.wait(20)
        if status is None:
            print("error: the program still runs 20 s after a key press", file=sys.stderr)
            return 1
        print(f"== closed with a key; the program ended with status {status}")
        rate = prefix.reg_query().get("LastRate")
        if rate and mode != "c":
            print(f"== LastRate: {rate[1]}")
        return 0 if status == 0 else 1
    except HarnessError as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    finally:
        if prefix is not None:
            prefix.kill()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
