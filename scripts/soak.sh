#!/usr/bin/env bash
# Soak run (not part of make test): the saver under Wine on a virtual display
# for MINUTES (default 10) with mutations on; samples its memory, handle and
# GDI/USER counts every 10 s, then checks that S still dumps and closes it
# with status 0. Prints a verdict; exits non-zero on growth beyond noise.
# Usage: scripts/soak.sh [MINUTES]   (builds the win64 tree first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
if ! [[ $minutes =~ ^[0-9]+(\.[0-9]+)?$ ]]; then
  echo "error: minutes '$minutes' is not a number" >&2
  exit 2
fi
cd "$root"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target cellarium process_probe >/dev/null
exec python3 tests/e2e/soak.py build/win64/program/cellarium.scr \
  build/win64/tests/e2e/drivers/process_probe.exe --minutes "$minutes"
