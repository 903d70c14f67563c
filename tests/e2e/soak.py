#!/usr/bin/env python3
"""Runs the saver under Wine for a long time and watches it for growth.

    soak.py SCR PROBE [--minutes 10] [--interval 10]

The saver runs full screen on a virtual display in a fresh prefix, with a
mutation every fourth generation whether or not the world is steady. Every
interval it samples the process: resident memory (Linux), working set,
private bytes and handle count (Windows, through PROBE, process_probe.exe),
GDI and USER objects (GetGuiResources). At the end the S key must close it
with status 0 and write LifeDump.bmp. Growth is the last quarter's median
minus the first quarter's (after a minute of warming up); memory may grow
by 4 MB, counts by 4, before it counts as a leak. Prints one line per sample
and a verdict; exits non-zero on growth or on any failure.
"""

import argparse
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Display, HarnessError, make_prefix  # noqa: E402

NAME = "cellarium.scr"
ALLOWED = {"rss_kb": 4096, "working_set_kb": 4096, "private_kb": 4096,
           "handles": 4, "gdi": 4, "user": 4}


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1


def probe(prefix, probe_path):
    status, out = prefix.wine(probe_path, NAME, timeout=60)
    if status != 0:
        raise HarnessError(f"process_probe failed (status {status}): {out.strip()[-300:]}")
    line = [l for l in out.splitlines() if "handles=" in l][-1]
    return {k: int(v) for k, v in (field.split("=") for field in line.split())}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("scr")
    ap.add_argument("probe")
    ap.add_argument("--minutes", type=float, default=10.0)
    ap.add_argument("--interval", type=float, default=10.0)
    args = ap.parse_args()
    for path in (args.scr, args.probe):
        if not os.path.isfile(path):
            print(f"error: {path} not found (build the win64 tree first)", file=sys.stderr)
            return 1

    root = tempfile.mkdtemp(prefix="cellarium-soak.")
    display = Display(1024, 768)
    prefix = None
    samples = []
    try:
        display.start()
        prefix = make_prefix(os.path.join(root, "prefix"), display)
        program = prefix.install(args.scr)
        probe_path = prefix.install(args.probe)
        prefix.reg_add("WorldMutationRate", "REG_DWORD", 4)
        prefix.reg_add("MutateAtSteadyState", "REG_BINARY", b"\x00")
        prefix.reg_add("ShowMutations", "REG_BINARY", b"\x01")
        dump = os.path.join(prefix.windows_dir, "LifeDump.bmp")
        if os.path.exists(dump):
            os.remove(dump)
        proc = prefix.start(program, "/s")
        win = display.wait_window(cls="cellarium", proc=proc, timeout=60)
        if win is None:
            print(f"error: the saver showed no window\n{proc.output()[-2000:]}", file=sys.stderr)
            return 1
        print(f"== soaking {args.minutes:g} min, a sample every {args.interval:g} s", flush=True)
        start = time.monotonic()
        end = start + args.minutes * 60
        while time.monotonic() < end:
            if not proc.running():
                print(f"error: the saver ended by itself (status {proc.wait(0)})", file=sys.stderr)
                return 1
            sample = probe(prefix, probe_path)
            sample["rss_kb"] = rss_kb(proc.pid)
            sample["t"] = time.monotonic() - start
            samples.append(sample)
            print("t={t:6.0f}s rss_kb={rss_kb} working_set_kb={working_set_kb} "
                  "private_kb={private_kb} handles={handles} gdi={gdi} user={user}".format(**sample),
                  flush=True)
            time.sleep(max(0.0, args.interval - (time.monotonic() - start - sample["t"])))

        try:
            display.focus(win)
        except HarnessError:
            pass
        display.key("s")
        status = proc.wait(30)
        failures = []
        if status != 0:
            failures.append(f"the S key did not close it with status 0 (status {status})")
        if not os.path.isfile(dump) or os.path.getsize(dump) < 32:
            failures.append("the S key wrote no LifeDump.bmp")
        else:
            print(f"== closed by S with status {status}; LifeDump.bmp {os.path.getsize(dump)} bytes")

        settled = [s for s in samples if s["t"] >= 60] or samples
        quarter = max(1, len(settled) // 4)
        for key, allowed in ALLOWED.items():
            values = [s[key] for s in settled]
            if all(v <= 0 for v in values):
                print(f"   {key}: not reported here (always {values[0]})")
                continue
            first = statistics.median(values[:quarter])
            last = statistics.median(values[-quarter:])
            growth = last - first
            print(f"   {key}: {first:g} -> {last:g} (growth {growth:+g}, allowed {allowed})")
            if growth > allowed:
                failures.append(f"{key} grew by {growth:g}")
        minutes = (samples[-1]["t"] if samples else 0) / 60
        if failures:
            print(f"== verdict: FAIL after {minutes:.1f} min: " + "; ".join(failures))
            return 1
        print(f"== verdict: no growth beyond noise over {minutes:.1f} min ({len(samples)} samples)")
        return 0
    except HarnessError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1
    finally:
        if prefix is not None:
            prefix.kill()
            prefix.destroy()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
