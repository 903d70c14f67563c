#!/usr/bin/env bash
# `make dist-linux`: builds the xscreensaver module in the release tree
# (preset dist-linux: optimised, hardened, debug information split off, no
# tests) and packs it as a Debian package with CPack; prints the package's
# path (build/dist-linux/deb/cellarium_<version>_<arch>.deb). The stripped
# module and its cellarium.debug are in build/dist-linux/x11/package/.
set -uo pipefail
umask 022  # the .deb's folders and members take their modes from it
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mkdir -p build/logs
log=build/logs/dist-linux.log
die() { printf 'error: %s\n' "$*" >&2; exit 1; }
if ! { cmake --preset dist-linux && cmake --build --preset dist-linux -j 2 --target cellarium_x11_package &&
       rm -rf build/dist-linux/deb &&
       cpack --config build/dist-linux/CPackConfig.cmake -B build/dist-linux/deb; } >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  die "packing the module failed (whole log: $log)"
fi
deb=$(ls build/dist-linux/deb/*.deb 2>/dev/null | head -n 1)
[[ -n $deb ]] || die "cpack made no .deb (whole log: $log)"
echo "$deb"
