#!/usr/bin/env python3
"""Figures of the xscreensaver module on a 1024x768 Xvfb display.

    measure_module.py rate BUILD_DIR [--seconds 10] [--rounds 2] [--trails N]
    measure_module.py memory BUILD_DIR [--early 10] [--late 600]

rate: the module with the default settings on the root window (its own
count of generations over the run, printed with -fps at exit) beside
x11_transfer_bench, which sends an image of the same size the same way and
computes nothing; once with MIT-SHM, once without, one after the other;
with --trails, then the module with -trails N beside the bench sending a
shade image (both MIT-SHM) in each round.
memory: the module's resident and virtual size (/proc/PID/status) after
`early` and after `late` seconds of running.
BUILD_DIR is the native tree (build/gcc) with x11/cellarium and
x11/x11_transfer_bench.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import Display  # noqa: E402

SUMMARY = re.compile(r"(\d+) generations in ([\d.]+) s: ([\d.]+) generations/s \((\S+)\)")


def module_rate(display, module, seconds, extra):
    proc = subprocess.Popen([module, "-root", "-fps", *extra], env=display.env(),
                            stderr=subprocess.PIPE, text=True)
    time.sleep(seconds)
    proc.send_signal(signal.SIGTERM)
    _, err = proc.communicate(timeout=10)
    found = SUMMARY.search(err)
    if proc.returncode != 0 or not found:
        raise SystemExit(f"error: the module ended with status {proc.returncode}: {err.strip()}")
    return float(found.group(3)), found.group(4)


def bench_rate(display, bench, seconds, extra):
    out = subprocess.run([bench, str(seconds), *extra], env=display.env(), capture_output=True,
                         text=True, timeout=seconds + 30)
    if out.returncode != 0:
        raise SystemExit(f"error: {bench} failed: {out.stderr.strip()}")
    return out.stdout.strip()


def status_of(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "VmSize", "VmHWM", "Threads"):
                fields[key] = value.strip()
    return fields


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("what", choices=["rate", "memory"])
    parser.add_argument("build")
    parser.add_argument("--seconds", type=int, default=10)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--early", type=int, default=10)
    parser.add_argument("--late", type=int, default=600)
    parser.add_argument("--trails", type=int, default=0)
    args = parser.parse_args()
    module = os.path.join(args.build, "x11", "cellarium")
    bench = os.path.join(args.build, "x11", "x11_transfer_bench")
    for path in (module, bench):
        if not os.access(path, os.X_OK):
            raise SystemExit(f"error: {path} not found: build the native tree first (cmake --build build/gcc)")

    with Display(1024, 768) as display:
        if args.what == "rate":
            for r in range(args.rounds):
                for extra in ([], ["-no-shm"]):
                    rate, how = module_rate(display, module, args.seconds, extra)
                    print(f"round {r + 1}: module {rate:.1f} generations/s ({how}); "
                          f"bare transfer {bench_rate(display, bench, args.seconds, extra)}", flush=True)
                if args.trails:
                    rate, how = module_rate(display, module, args.seconds, ["-trails", str(args.trails)])
                    print(f"round {r + 1}: module with -trails {args.trails} {rate:.1f} generations/s ({how}); "
                          f"bare transfer {bench_rate(display, bench, args.seconds, ['-shades'])}", flush=True)
            return 0
        proc = subprocess.Popen([module, "-root"], env=display.env())
        try:
            time.sleep(args.early)
            print(f"after {args.early} s: {status_of(proc.pid)}", flush=True)
            time.sleep(args.late - args.early)
            print(f"after {args.late} s: {status_of(proc.pid)}", flush=True)
        finally:
            proc.send_signal(signal.SIGTERM)
            status = proc.wait(10)
        print(f"exit status after SIGTERM: {status}")
        return 0 if status == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
