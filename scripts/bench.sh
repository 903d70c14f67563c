#!/usr/bin/env bash
# Builds the native tree with benchmarks and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset gcc >/dev/null
cmake --build build/gcc -j "$(nproc)" --target step_bench
build/gcc/bench/step_bench "$@"
