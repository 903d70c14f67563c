#!/usr/bin/env bash
# Builds the native tree with benchmarks and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/gcc -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_C_COMPILER=gcc -DCELLARIUM_BENCH=ON >/dev/null
cmake --build build/gcc -j "$(nproc)" --target step_bench
build/gcc/bench/step_bench "$@"
