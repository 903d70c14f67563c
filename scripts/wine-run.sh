#!/usr/bin/env bash
# Runs a Windows program under Wine quietly. Uses $WINEPREFIX when set,
# otherwise a fresh prefix that is removed afterwards.
set -uo pipefail
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || { echo "error: $wine not found (Debian package wine64)" >&2; exit 127; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup=""
if [[ -z "${WINEPREFIX:-}" ]]; then
  WINEPREFIX=$(mktemp -d /tmp/cellarium-wine.XXXXXX)
  export WINEPREFIX
  cleanup=$WINEPREFIX
fi
"$wine" "$@"
status=$?
if [[ -n $cleanup ]]; then
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$cleanup"
fi
exit $status
