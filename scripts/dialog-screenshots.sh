#!/usr/bin/env bash
# Takes a picture of each of the launcher's dialogs as the FLTK backend shows them.
#
#   scripts/dialog-screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR defaults to build (show-dialog must be built there: ninja -C build show-dialog),
# OUTPUT_DIR to screenshots. Runs under DISPLAY, or under a private Xvfb when it is unset.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
out=${2:-screenshots}
show="$build/tests/e2e/show-dialog"
[ -x "$show" ] || { echo "$0: $show is not built" >&2; exit 1; }
mkdir -p "$out"

# name of the show-dialog case, then the window title to wait for
shots=(
    "about|About Pallix"
)
for shot in "${shots[@]}"; do
    name=${shot%%|*}
    title=${shot#*|}
    "$here/screenshot.sh" "$title" "$out/$name.png" "$show" "$name"
done
