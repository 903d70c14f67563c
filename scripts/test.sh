#!/usr/bin/env bash
# Builds every tree and runs every test suite, then prints one line
# "N passed, N failed" and exits non-zero on any failure.
#
# Trees (under build/): gcc (native, tests and benchmarks), asan (clang with
# AddressSanitizer and UndefinedBehaviorSanitizer), m32 (32-bit x86 Linux,
# run under qemu-i386), win64 (MinGW x86_64, tests run under Wine) and win32
# (MinGW i686, built only: these machines cannot run 32-bit Windows code).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# BUILD_ROOT lets several checkouts or people share one tree without clashing.
build=${BUILD_ROOT:-build}
logs=$root/$build/logs
mkdir -p "$logs"
passed=0
failed=0

note() { printf '== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*"; failed=$((failed + 1)); }

# tree NAME CMAKE-ARGS...: configure and build; a failure counts once.
declare -A built
tree() {
  local name=$1; shift
  note "build $name"
  if cmake -S . -B "$build/$name" -G Ninja "$@" >"$logs/$name-configure.log" 2>&1 &&
     cmake --build "$build/$name" -j "$(nproc)" >"$logs/$name-build.log" 2>&1; then
    built[$name]=1
  else
    fail "build $name (see $build/logs/$name-*.log)"
    tail -n 30 "$logs/$name-build.log" "$logs/$name-configure.log" 2>/dev/null
  fi
}

# gtest LABEL TREE COMMAND...: run a GoogleTest binary and add up its counts.
gtest() {
  local label=$1 name=$2; shift 2
  [[ -n "${built[$name]:-}" ]] || { fail "$label (tree $name not built)"; return; }
  note "run $label"
  local log=$logs/$label.log
  "$@" >"$log" 2>&1
  local status=$?
  local p f
  p=$(grep -a -o -E '^\[  PASSED  \] [0-9]+' "$log" | grep -o -E '[0-9]+$' | tail -n 1)
  f=$(grep -a -o -E '^\[  FAILED  \] [0-9]+ tests?,' "$log" | grep -o -E '[0-9]+' | tail -n 1)
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
  if [[ $status -ne 0 && -z "$f" ]]; then fail "$label exited with status $status"; fi
  if [[ $status -ne 0 ]]; then grep -a -E '^\[  FAILED  \]|Failure|ERROR|Sanitizer' "$log" | head -n 40; fi
  printf '   %s passed, %s failed\n' "${p:-0}" "${f:-0}"
}

# suite LABEL COMMAND...: a script of ours that ends with "N passed, N failed".
suite() {
  local label=$1; shift
  note "run $label"
  local log=$logs/$label.log
  "$@" 2>&1 | tee "$log" | grep -a -E '^(FAIL|ok|not ok)' | head -n 80
  local status=${PIPESTATUS[0]}
  local line
  line=$(grep -a -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [[ -z "$line" ]]; then fail "$label printed no result (status $status)"; return; fi
  local p=${line%% passed*} f=${line#*passed, }
  f=${f%% failed*}
  passed=$((passed + p))
  failed=$((failed + f))
  if [[ $status -ne 0 && $f -eq 0 ]]; then fail "$label exited with status $status"; fi
  printf '   %s\n' "$line"
}

# ---- trees
tree gcc -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc -DCELLARIUM_BENCH=ON
tree asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCELLARIUM_SANITIZE=ON
tree m32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc -DCELLARIUM_M32=ON
tree win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
tree win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake

# ---- unit tests of the portable core, on every target that can run them
gtest unit-gcc gcc "$build/gcc/tests/core_tests"
gtest unit-asan asan "$build/asan/tests/core_tests"
gtest unit-m32 m32 qemu-i386 "$build/m32/tests/core_tests"
gtest unit-win64 win64 scripts/wine-run.sh "$build/win64/tests/core_tests.exe"

if [[ -f "$build/win64/tests/win32_tests.exe" ]]; then
  gtest win32-win64 win64 scripts/wine-run.sh "$build/win64/tests/win32_tests.exe"
fi

# ---- kernel fuzzing
# libFuzzer (clang, with ASan and UBSan) compares every step kernel with the
# table kernel on arbitrary worlds and rule tables for FUZZ_SECONDS (60).
# Only the fuzz target is built in this tree.
note "build fuzz"
if cmake -S . -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCELLARIUM_SANITIZE=ON \
     -DCELLARIUM_FUZZ=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
     >"$logs/fuzz-configure.log" 2>&1 &&
   cmake --build "$build/fuzz" -j "$(nproc)" --target step_kernels_fuzz \
     >"$logs/fuzz-build.log" 2>&1; then
  suite fuzz-step-kernels tests/fuzz/run_fuzz.sh "$build/fuzz/tests/fuzz/step_kernels_fuzz" \
    "${FUZZ_SECONDS:-60}" "$build/fuzz/run"
else
  fail "build fuzz (see $build/logs/fuzz-*.log)"
  tail -n 30 "$logs/fuzz-build.log" "$logs/fuzz-configure.log" 2>/dev/null
fi

# ---- registry and files under Wine
if [[ -n "${built[win64]:-}" ]]; then
  suite store-wine tests/store/store_wine_check.sh "$build/win64/tests/store/store_wine_check.exe"
else
  fail "store-wine (tree win64 not built)"
fi

# ---- end to end under Wine

# The options dialog and the About box driven as a user would, then the saver
# run with what OK stored.
if [[ -n "${built[win64]:-}" ]]; then
  suite e2e-dialogs python3 tests/e2e/options_dialog.py "$build/win64" --artifacts "$logs/e2e-dialogs"
fi

# The saver itself, as a user meets it: run modes, layouts judged from
# screenshots, every closing input, seeds and rate, dumps, the random-bit
# log, preview, and 50 start/close cycles.
if [[ -n "${built[win64]:-}" ]]; then
  suite e2e-saver python3 tests/e2e/saver_e2e.py "$build/win64/app/cellarium.scr" --artifacts "$logs/e2e-saver"
fi

echo
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
