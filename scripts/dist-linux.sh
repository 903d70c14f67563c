#!/usr/bin/env bash
# `make dist-linux`: builds the xscreensaver module in the native tree
# (build/gcc) and packs it as a Debian package in build/dist-linux with
# CPack; prints the package's path.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mkdir -p build/logs
log=build/logs/dist-linux.log
die() { printf 'error: %s\n' "$*" >&2; exit 1; }
if ! { cmake --preset gcc && cmake --build build/gcc -j 2 --target cellarium_x11 &&
       rm -rf build/dist-linux &&
       cpack --config build/gcc/CPackConfig.cmake -B build/dist-linux; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  die "packing the module failed (whole log: $log)"
fi
deb=$(ls build/dist-linux/*.deb 2>/dev/null | head -n 1)
[[ -n $deb ]] || die "cpack made no .deb (whole log: $log)"
echo "$deb"
