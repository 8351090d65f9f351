#!/usr/bin/env bash
# Runs a Windows program under 32-bit Wine with the build tree's own prefix.
# The prefix and the display are set up once by wine-session.sh; when this
# wrapper runs alone (a single test by hand) it sets the prefix up itself.
set -u
here=$(cd "$(dirname "$0")" && pwd)
state=${KESTREL_WINE_STATE:-$PWD/wine}
# Tests run from subfolders of the build tree: find its wine/ folder upwards.
if [ -z "${KESTREL_WINE_STATE:-}" ]; then
  d=$PWD
  while [ "$d" != / ]; do
    if [ -f "$d/CMakeCache.txt" ]; then state=$d/wine; break; fi
    d=$(dirname "$d")
  done
fi
export WINEPREFIX=$state/prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
[ -d "$WINEPREFIX/drive_c" ] || "$here/wine-session.sh" prefix "$state" >/dev/null
if [ -f "$state/display" ]; then
  export DISPLAY=$(cat "$state/display")
fi
exec wine "$@"
