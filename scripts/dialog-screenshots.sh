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

# picture name|window title to wait for[|seconds to wait before the picture[|show-dialog case]]
# (the case defaults to the picture name)
shots=(
    "about|About Pallix"
    "dialer|Ostrel Sky.Vane Dialer|1"
    "connect|Dialing Office : joe|0.2"
    "connect-countdown|Dialing Office : joe|4.6|connect"
)
for shot in "${shots[@]}"; do
    IFS='|' read -r name title delay case <<<"$shot"
    "$here/screenshot.sh" -d "${delay:-0.5}" "$title" "$out/$name.png" "$show" "${case:-$name}"
done
