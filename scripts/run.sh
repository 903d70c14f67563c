#!/usr/bin/env bash
# `make run [ARGS=...]`: builds the Windows x86_64 program (preset win64,
# tree build/win64) and runs it under Wine with the given
# switches (default /s). On the current X display when $DISPLAY answers;
# otherwise on a virtual display (Xvfb) for a few seconds, leaving a
# screenshot whose path is printed, then closing the program with a key.
#
# The Wine prefix is build/wine-run (CELLARIUM_PREFIX to change it), kept
# between runs so that the options stored with ARGS=/c stay; its Wine
# programs are ended when the run is over. RUN_SECONDS sets how long a
# virtual-display run lasts (default 5).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=build
tree=$build/win64
mkdir -p "$build/logs"
log=$build/logs/run-build.log

die() { printf 'error: %s\n' "$*" >&2; exit 1; }
for tool in cmake ninja x86_64-w64-mingw32-g++-posix python3 /usr/lib/wine/wine64 xdotool Xvfb xwd; do
  command -v "$tool" >/dev/null || die "$tool not found: run 'make deps' (or scripts/setup-deps.sh) first"
done

echo "== build $tree (log: $log)"
if ! { cmake --preset win64 && cmake --build "$tree" -j "$(nproc)" --target cellarium; } \
     >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  die "the win64 build failed (whole log: $log)"
fi
scr=$tree/program/cellarium.scr
[[ -f $scr ]] || die "the build did not produce $scr"

[[ $# -gt 0 ]] || set -- /s
prefix=${CELLARIUM_PREFIX:-$root/$build/wine-run}
exec python3 tests/e2e/run_saver.py --prefix "$prefix" --seconds "${RUN_SECONDS:-5}" \
  --shot "$root/$build/run-screenshot.png" "$scr" -- "$@"
