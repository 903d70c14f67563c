#!/usr/bin/env python3
"""Measures the saver's own rate beside the bare transfer rate, in one
session: the same Xvfb display, the same Wine prefix, one after the other.

    measure_rates.py BUILD_DIR [--seconds 10] [--rounds 2] [--size 1024x768] [--phases]
                     [--trails N]

BUILD_DIR is a MinGW x86_64 tree with program/cellarium.scr and
bench/win32/transfer_bench.exe. The saver runs with the default settings
for the given time and is closed with a key; its LastRate is read from the
registry. Then transfer_bench.exe transfers the same display bitmap the
same way for the same time and prints its rate. A saver run whose screen
stayed black is reported as such: its rate then measures no drawing.
With --phases a last run of transfer_bench.exe runs the saver's own
generation loop and prints where a frame's time goes (step, compose,
transfer, everything else).

With --trails N each round runs the saver with the defaults and then with
TrailLength N, one after the other, and prints the two LastRates and their
ratio instead; --phases then times the loop both ways.

With --speeds it runs the saver instead at each position of the options
dialog's speed slider (GenerationRate 5, 10, 30, 60, 120 and 0, no limit)
and prints each LastRate, the saver's CPU use over the measured seconds as
a share of one core (user and system time of its Wine process, from
/proc), and how long after the closing key the program ended; then the CPU
shares as a table. Wine is told that no window manager runs (there is none on Xvfb):
otherwise it waits 2 s for one when the saver's window closes.
"""

import argparse
import os
import re
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (Display, HarnessError, make_prefix, screenshot,  # noqa: E402
                     stray_processes)

SAVER = "ScreenSaver.Cellarium"


def cpu_seconds(pids):
    """User plus system time so far of the processes (all their threads);
    a process that has ended counts nothing."""
    ticks = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat", "rb") as f:
                fields = f.read().rsplit(b")", 1)[1].split()
        except OSError:
            continue
        ticks += int(fields[11]) + int(fields[12])  # utime, stime: fields 14 and 15
    return ticks / os.sysconf("SC_CLK_TCK")


def saver_processes(prefix, scr):
    """The Unix processes of the prefix that run the program scr (a Windows path)."""
    name = scr.rsplit("\\", 1)[-1].lower().encode()
    found = []
    for pid in stray_processes(None, prefix.path):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if name in f.read().lower():
                    found.append(pid)
        except OSError:
            pass
    return found


def saver_rate(prefix, display, scr, seconds):
    """Runs the saver for the seconds: (LastRate, its text, whether anything
    was drawn); saver_rate.cpu is its CPU use meanwhile as a share of one
    core, saver_rate.exit_seconds how long it took to end after the key."""
    display.move(display.width // 2, display.height // 2)
    proc = prefix.start(scr, "/s")
    try:
        if display.wait_window(name=SAVER, proc=proc, timeout=60) is None:
            raise HarnessError(f"the saver showed no window (status {proc.wait(0)})")
        pids = saver_processes(prefix, scr)
        if not pids:
            raise HarnessError(f"no process of the prefix runs {scr}")
        cpu_before, measured = cpu_seconds(pids), time.monotonic()
        time.sleep(seconds)
        saver_rate.cpu = (cpu_seconds(pids) - cpu_before) / (time.monotonic() - measured)
        counts = screenshot(display).colours()
        drew = any(c != 0 for c in counts)
        pressed = time.monotonic()
        display.key("a")
        status = proc.wait(30)
        saver_rate.exit_seconds = time.monotonic() - pressed
        if status != 0:
            raise HarnessError(f"the saver ended with status {status}")
    finally:
        proc.kill()
    rate = prefix.reg_query().get("LastRate", (None, None))[1]
    if not rate:
        raise HarnessError("no LastRate stored")
    return float(rate.split()[0]), rate, drew


def bench_rate(prefix, bench, seconds, *mode):
    proc = prefix.start(bench, int(seconds), *mode)
    status = proc.wait(seconds + 60)
    out = proc.output()
    proc.kill()
    m = re.search(r"([0-9.]+) transfers/sec.*", out)
    if status != 0 or not m:
        raise HarnessError(f"transfer_bench ended with status {status}: {out.strip()[-300:]}")
    return float(m.group(1)), out[m.start():].strip()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("build", help="MinGW x86_64 build tree")
    ap.add_argument("--seconds", type=float, default=10)
    ap.add_argument("--rounds", type=int, default=2)
    ap.add_argument("--size", default="1024x768")
    ap.add_argument("--phases", action="store_true",
                    help="then time the saver's generation loop by phase")
    ap.add_argument("--trails", type=int, default=0, metavar="N",
                    help="instead, the saver's rate without and with TrailLength N")
    ap.add_argument("--speeds", action="store_true",
                    help="instead, the saver's rate at each speed position")
    args = ap.parse_args()
    scr = os.path.join(args.build, "program", "cellarium.scr")
    bench = os.path.join(args.build, "bench", "win32", "transfer_bench.exe")
    for path in (scr, bench):
        if not os.path.isfile(path):
            print(f"error: {path} not found: build the tree first", file=sys.stderr)
            return 1
    width, height = (int(v) for v in args.size.lower().split("x"))
    root = tempfile.mkdtemp(prefix="cellarium-rates.")
    display = Display(width, height)
    prefix = None
    failed = False
    try:
        display.start()
        prefix = make_prefix(os.path.join(root, "prefix"), display)
        scr_win = prefix.install(scr)
        bench_win = prefix.install(bench)
        prefix.wine("reg", "query", r"HKCU\Software\Wine")  # start the session's services first
        if args.speeds:
            prefix.reg_add("Managed", "REG_SZ", "N", key=r"HKCU\Software\Wine\X11 Driver")
            print(f"# {args.size} on Xvfb {display.name}, {args.seconds:g} s per run", flush=True)
            speeds = (5, 10, 30, 60, 120, 0)
            shares = {speed: [] for speed in speeds}
            for n in range(1, args.rounds + 1):
                for speed in speeds:
                    prefix.reg_add("GenerationRate", "REG_DWORD", speed)
                    rate, text, drew = saver_rate(prefix, display, scr_win, args.seconds)
                    failed |= not drew
                    shares[speed].append(saver_rate.cpu)
                    print(f"round {n}: GenerationRate {speed or 'none':>4}: LastRate {text}, "
                          f"CPU {saver_rate.cpu:.1%} of one core, "
                          f"ended {saver_rate.exit_seconds * 1000:.0f} ms after the key"
                          f"{'' if drew else '  (screen stayed black)'}", flush=True)
            print("| speed | CPU, share of one core (each round) |\n|---|---|")
            for speed in speeds:
                label = f"{speed} a second" if speed else "no limit"
                print(f"| {label} | {' / '.join(f'{v:.1%}' for v in shares[speed])} |")
            return 1 if failed else 0
        if args.trails:
            print(f"# {args.size} on Xvfb {display.name}, {args.seconds:g} s per run, "
                  f"the defaults and TrailLength {args.trails}", flush=True)
            for n in range(1, args.rounds + 1):
                rates = []
                for length in (0, args.trails):
                    prefix.reg_add("TrailLength", "REG_DWORD", length)
                    rate, text, drew = saver_rate(prefix, display, scr_win, args.seconds)
                    failed |= not drew
                    rates.append(rate)
                    print(f"round {n}: TrailLength {length}: LastRate {text}"
                          f"{'' if drew else '  (screen stayed black)'}", flush=True)
                print(f"round {n}: with trails / without = {rates[1] / rates[0]:.2f}", flush=True)
            if args.phases:
                for mode in (("frames",), ("frames", "trails", str(args.trails))):
                    _, table = bench_rate(prefix, bench_win, args.seconds, *mode)
                    print(f"frame phases, {' '.join(mode)}: {table}", flush=True)
            return 1 if failed else 0
        print(f"# {args.size} on Xvfb {display.name}, Wine prefix {root}, "
              f"{args.seconds:g} s per run, default settings", flush=True)
        for n in range(1, args.rounds + 1):
            rate, text, drew = saver_rate(prefix, display, scr_win, args.seconds)
            note = "" if drew else "  (screen stayed black: nothing was drawn)"
            failed |= not drew
            print(f"round {n}: saver LastRate {text}{note}", flush=True)
            brate, btext = bench_rate(prefix, bench_win, args.seconds)
            print(f"round {n}: transfer_bench {btext}", flush=True)
            if brate > 0:
                print(f"round {n}: saver / bare transfer = {rate / brate:.2f}", flush=True)
        if args.phases:
            _, table = bench_rate(prefix, bench_win, args.seconds, "frames")
            print(f"frame phases, the saver's loop in transfer_bench: {table}", flush=True)
    except HarnessError as e:
        print(f"error: {e}", file=sys.stderr)
        return 1
    finally:
        if prefix is not None:
            prefix.kill()
        display.stop()
        shutil.rmtree(root, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
