#!/usr/bin/env bash
# `make dist`: builds the release trees (presets dist-win64 and dist-win32:
# optimised, debug information split off, no tests) and collects what a
# Windows user downloads into dist/:
#   cellarium-<version>-win64.zip, -win32.zip       the .scr and a short text
#   cellarium-<version>-x64-setup.exe, -x86-setup.exe   the NSIS installers
#   win64/, win32/    the stripped cellarium.scr and its cellarium.scr.debug
#   cellarium_<version>_amd64.deb   the xscreensaver module (scripts/dist-linux.sh)
#   linux-amd64/      the module as packed, stripped, and its cellarium.debug
#   SHA256SUMS        of every file above
# Every time stamp in them is the commit's (SOURCE_DATE_EPOCH when set, else
# `git log -1 --format=%ct`; cmake/reproducible.cmake), so the same commit
# gives the same bytes anywhere: scripts/check-reproducible.sh shows it.
set -uo pipefail
umask 022  # the .deb's folders and members take their modes from it
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
logs=$root/build/logs
mkdir -p "$logs"
fail() { echo "error: $*" >&2; exit 1; }

rm -rf dist
mkdir -p dist
for arch in win64 win32; do
  preset=dist-$arch
  echo "== $preset"
  cmake --preset "$preset" >"$logs/$preset-configure.log" 2>&1 ||
    { tail -n 20 "$logs/$preset-configure.log"; fail "configuring $preset failed (see build/logs/$preset-configure.log)"; }
  cmake --build --preset "$preset" -j 2 >"$logs/$preset-build.log" 2>&1 ||
    { tail -n 30 "$logs/$preset-build.log"; fail "building $preset failed (see build/logs/$preset-build.log)"; }
  out=build/$preset/installer
  mkdir -p "dist/$arch"
  cp "$out/files/cellarium.scr" "$out/files/cellarium.scr.debug" "dist/$arch/" &&
    cp "$out"/cellarium-*.zip "$out"/cellarium-*-setup.exe dist/ ||
    fail "the files of $preset are missing from $out"
done
echo "== dist-linux"
deb=$(scripts/dist-linux.sh) || fail "packing the xscreensaver module failed"
linux=dist/linux-$(dpkg-deb -f "$deb" Architecture) &&
  mkdir -p "$linux" &&
  cp "$deb" dist/ &&
  cp build/dist-linux/x11/package/cellarium build/dist-linux/x11/package/cellarium.debug "$linux/" ||
  fail "cannot copy the module's files into dist/"
(cd dist && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS) ||
  fail "sha256sum failed"
echo
(cd dist && find . -type f | sed 's|^\./||' | sort | xargs ls -l | awk '{printf "%10d  %s\n", $5, $9}')
