#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix (WINEPREFIX, made by
# scripts/test-windows.sh), quietly and without offering to install Mono or Gecko.
set -euo pipefail
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
: "${WINEPREFIX:?wine-run: set WINEPREFIX (scripts/test-windows.sh makes one in the build folder)}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec "$wine" "$@"
