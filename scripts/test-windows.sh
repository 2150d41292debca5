#!/usr/bin/env bash
# Cross-builds the Windows programs and tests (MinGW-w64) and runs the tests under Wine, in a
# private prefix in the build folder, on the caller's X display (scripts/test.sh gives its
# private Xvfb). The prefix is kept for the next run; its wineserver is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-windows
cmake --preset windows >/dev/null
cmake --build "$build"

wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver64
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "test-windows: making the Wine prefix $WINEPREFIX"
  scripts/wine-run.sh wineboot -i >/dev/null 2>&1
  "$wineserver" -w
fi
ctest --test-dir "$build" --output-on-failure "$@"
