#!/usr/bin/env bash
# Runs a Windows program under Wine quietly. Uses $WINEPREFIX when set,
# otherwise a fresh prefix that is removed afterwards.
set -uo pipefail
wine=/usr/lib/wine/wine64
[[ -x $wine ]] || { echo "error: $wine not found (Debian package wine64)" >&2; exit 127; }
# Wine would run a Unix program too, but without passing on its exit status.
if [[ $# -eq 0 || "$(head -c 2 "$1" 2>/dev/null)" != MZ ]]; then
  echo "error: ${1:-no program given}: not a Windows program" >&2
  exit 2
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup=""
if [[ -z "${WINEPREFIX:-}" ]]; then
  WINEPREFIX=$(mktemp -d /tmp/cellarium-wine.XXXXXX)
  export WINEPREFIX
  cleanup=$WINEPREFIX
fi
# Without an X display, Wine's null graphics driver still lets programs make
# windows and device contexts, so window tests run headless too.
if [[ -n $cleanup && -z "${DISPLAY:-}" ]]; then
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  /usr/lib/wine/wineserver -k 2>/dev/null; /usr/lib/wine/wineserver -w 2>/dev/null
fi
"$wine" "$@"
status=$?
if [[ -n $cleanup ]]; then
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$cleanup"
fi
exit $status
