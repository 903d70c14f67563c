#!/usr/bin/env python3
"""Runs the xscreensaver module on a virtual 1024x768 display (Xvfb) for a
few seconds, keeps a screenshot, then ends it with SIGTERM as xscreensaver
does.

    run_module.py MODULE --shot PNG [--seconds 5] [-- MODULE_OPTIONS...]

Without options the module draws on the root window with the defaults.
Exits non-zero when the module does not start or does not end cleanly.
"""

import argparse
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import Display, screenshot  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("module")
    parser.add_argument("--shot", required=True)
    parser.add_argument("--seconds", type=float, default=5)
    argv = sys.argv[1:]
    split = argv.index("--") if "--" in argv else len(argv)
    args = parser.parse_args(argv[:split])
    args.options = argv[split + 1:]
    with Display(1024, 768) as display:
        proc = subprocess.Popen([args.module, *(args.options or ["-root"])], env=display.env())
        time.sleep(args.seconds)
        if proc.poll() is not None:
            print(f"error: the module ended by itself with status {proc.returncode}", file=sys.stderr)
            return 1
        screenshot(display).save_png(args.shot)
        proc.send_signal(signal.SIGTERM)
        status = proc.wait(10)
    print(f"screenshot: {args.shot}; the module ended with status {status} after SIGTERM")
    return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
