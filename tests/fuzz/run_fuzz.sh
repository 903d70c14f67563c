#!/usr/bin/env bash
# Runs a libFuzzer binary for a bounded time from a fresh corpus and ends
# with "1 passed, 0 failed" (or "0 passed, 1 failed" on a crash, a mismatch
# or a sanitizer report), after saying how many inputs it ran.
# Usage: tests/fuzz/run_fuzz.sh FUZZER WORK-DIR [SECONDS]
# SECONDS defaults to $FUZZ_SECONDS, else 60.
set -uo pipefail
if [[ $# -lt 2 || $# -gt 3 ]]; then
  echo "usage: $0 FUZZER WORK-DIR [SECONDS]" >&2
  exit 2
fi
fuzzer=$1 work=$2 seconds=${3:-${FUZZ_SECONDS:-60}}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "error: fuzz duration '$seconds' is not a whole number of seconds" >&2
  exit 2
fi
if [[ ! -x "$fuzzer" ]]; then
  echo "FAIL: fuzzer $fuzzer not built"
  echo "0 passed, 1 failed"
  exit 1
fi
rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
"$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=30 -rss_limit_mb=2048 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus" >"$work/fuzz.log" 2>&1
status=$?
runs=$(grep -a -o -E 'stat::number_of_executed_units: *[0-9]+' "$work/fuzz.log" | grep -o -E '[0-9]+$')
if [[ $status -eq 0 ]]; then
  echo "ok $(basename "$fuzzer"): ${runs:-?} inputs in ${seconds}s, no difference"
  echo "1 passed, 0 failed"
else
  echo "FAIL $(basename "$fuzzer") (status $status, ${runs:-?} inputs); crashing input in $work/artifacts:"
  tail -n 30 "$work/fuzz.log"
  echo "0 passed, 1 failed"
  exit 1
fi
