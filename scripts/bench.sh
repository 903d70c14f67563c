#!/usr/bin/env bash
# Builds the native tree with benchmarks and runs them. With no arguments:
# five repetitions of every benchmark, interleaved at random so that a busy
# moment of the machine falls on every kernel alike, medians reported.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset gcc >/dev/null
cmake --build build/gcc -j "$(nproc)" --target step_bench
if [ $# -eq 0 ]; then
  set -- --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
         --benchmark_report_aggregates_only=true
fi
build/gcc/bench/step_bench "$@"
