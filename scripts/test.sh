#!/usr/bin/env bash
# Builds and tests every tree through its CMake presets (CMakePresets.json),
# then prints one line "N passed, N failed", counted from CTest's JUnit
# results, and exits non-zero on any failure. A tree that fails to configure
# or build counts as one failure.
#
# PRESETS="gcc win64" scripts/test.sh runs only those trees.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=$root/build/logs
mkdir -p "$logs"
passed=0
failed=0

for preset in ${PRESETS:-gcc asan tsan m32 win64 win32 fuzz}; do
  printf '== %s\n' "$preset"
  start=$SECONDS
  if ! cmake --preset "$preset" >"$logs/$preset-configure.log" 2>&1 ||
     ! cmake --build --preset "$preset" -j "$(nproc)" >"$logs/$preset-build.log" 2>&1; then
    printf 'FAILED: build %s (see build/logs/%s-*.log)\n' "$preset" "$preset"
    tail -n 30 "$logs/$preset-configure.log" "$logs/$preset-build.log" 2>/dev/null
    failed=$((failed + 1))
    continue
  fi
  junit=$logs/$preset-ctest.xml
  rm -f "$junit"
  ctest --preset "$preset" --output-junit "$junit" >"$logs/$preset-ctest.log" 2>&1
  status=$?
  read -r p f < <(python3 scripts/junit_totals.py "$junit")
  grep -a -E '\*\*\*(Failed|Timeout|Exception)|Not Run' "$logs/$preset-ctest.log"
  # The failing checks by name, and the failed assertions of the GoogleTest
  # suites, so that a log holding only this output still says what failed.
  grep -a -E '^FAIL |^\[  FAILED  \] [A-Za-z]|Failure$' "$logs/$preset-ctest.log" | head -n 40
  if [[ $status -ne 0 && $f -eq 0 ]]; then
    printf 'FAILED: ctest %s exited with status %s (see build/logs/%s-ctest.log)\n' "$preset" "$status" "$preset"
    f=1
  fi
  passed=$((passed + p))
  failed=$((failed + f))
  printf '   %s passed, %s failed in %s s\n' "$p" "$f" "$((SECONDS - start))"
done

echo
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
