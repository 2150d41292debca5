#!/usr/bin/env bash
# Takes a picture of each of the launcher's windows as the FLTK backend shows them: the pictures
# of the README (docs/screenshots) are made by this script.
#
#   scripts/dialog-screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR defaults to build (show-dialog must be built there: ninja -C build show-dialog),
# OUTPUT_DIR to docs/screenshots beside this folder. Runs under DISPLAY, or under a private Xvfb
# with openbox when it is unset (as `cmake --build build --target screenshots` does, so that
# the pictures come out the same on every machine).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
out=${2:-$here/../docs/screenshots}
show="$build/tests/e2e/show-dialog"
[ -x "$show" ] || { echo "$0: $show is not built" >&2; exit 1; }
mkdir -p "$out"

# picture name|window title to wait for ("@": the program's own window)|seconds to wait
# before the picture|show-dialog case (defaults to the picture name)
shots=(
    "dialer|Ostrel Sky.Vane Dialer|1"
    "connect-countdown|Dialing Office : joe|4.6|connect"
    "splash|@|1"
    "about|About Pallix|0.5"
)
for shot in "${shots[@]}"; do
    IFS='|' read -r name title delay case <<<"$shot"
    "$here/screenshot.sh" -d "$delay" "$title" "$out/$name.png" "$show" "${case:-$name}"
done
