#!/usr/bin/env bash
# `make run-linux [ARGS=...]`: builds the xscreensaver module (preset gcc,
# tree build/gcc) and runs it with the given options. On the current X
# display when $DISPLAY answers: in a window of its own (close it, or press
# Ctrl-C, to end it). Otherwise on a virtual display (Xvfb) for RUN_SECONDS
# (default 5), leaving a screenshot whose path is printed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mkdir -p build/logs
log=build/logs/run-linux-build.log

die() { printf 'error: %s\n' "$*" >&2; exit 1; }
for tool in cmake ninja g++ python3 Xvfb xwd xdotool; do
  command -v "$tool" >/dev/null || die "$tool not found: run 'make deps' (or scripts/setup-deps.sh) first"
done

echo "== build build/gcc (log: $log)"
if ! { cmake --preset gcc && cmake --build build/gcc -j 2 --target cellarium_x11; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  die "the native build failed (whole log: $log); the module needs libx11-dev and libxext-dev"
fi
module=build/gcc/x11/cellarium
[[ -x $module ]] || die "the build did not produce $module (X11 development files missing?)"

if [[ -n ${DISPLAY:-} ]] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  [[ $# -gt 0 ]] || set -- -window
  exec "$module" "$@"
fi
exec python3 tests/x11/run_module.py "$module" --seconds "${RUN_SECONDS:-5}" \
  --shot "$root/build/run-linux-screenshot.png" -- "$@"
