#!/usr/bin/env bash
# Takes pictures of the Windows launcher's windows as Wine draws them: the Dialer, the Connect
# dialog while it dials, and the splash screen.
#
#   scripts/screenshot-windows.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR defaults to build-windows (cmake --preset windows && cmake --build build-windows),
# OUTPUT_DIR to docs/screenshots beside this folder; the pictures are dialer-wine.png,
# connect-wine.png and splash-wine.png. A demo installation is made afresh in
# BUILD_DIR/screenshot-demo (demo/setup-windows.sh). Runs on DISPLAY.
# Needs: Wine, xdotool, imagemagick (import), and an X display (xvfb-run without one).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
build=$(cd "${1:-$source_dir/build-windows}" && pwd)
out=${2:-$source_dir/docs/screenshots}
mkdir -p "$out"
for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done

demo=$build/screenshot-demo
bash "$source_dir/demo/setup-windows.sh" "$build" --dest "$demo" >/dev/null
# shellcheck source=/dev/null
. "$demo/env.sh"
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver64

workdir=$(mktemp -d)
launcher_pid=""
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null && wait "$launcher_pid" 2>/dev/null
    rm -rf "$workdir"
}
trap cleanup EXIT

# Wine's windows need an X display; Wine did not come up on an Xvfb this script started itself,
# while it does under xvfb-run.
if [ -z "${DISPLAY:-}" ]; then
    echo "$0: no X display; run it on a desktop or under: xvfb-run -a -s '-screen 0 1024x768x24' $0 $*" >&2
    exit 1
fi

# The launcher on the demo, from its installation folder; its arguments run in the console's
# place.
start_launcher() {
    (cd "$demo/Sky Vane" && exec "$here/wine-run.sh" skyvane-launcher.exe "$@") \
        >"$workdir/launcher.log" 2>&1 &
    launcher_pid=$!
}
stop_launcher() {
    # The prefix's processes go first: a launcher that crashed waits for Wine's debugger.
    "$wineserver" -k 2>/dev/null || true
    kill "$launcher_pid" 2>/dev/null || true
    wait "$launcher_pid" 2>/dev/null || true
    launcher_pid=""
}
# The visible window whose title matches the regular expression (or, for "@", the launcher's
# window without a title), waiting up to SECONDS.
wait_window() {
    local pattern=$1 seconds=$2 window=""
    local deadline=$(($(date +%s) + seconds))
    while [ "$(date +%s)" -le "$deadline" ]; do
        if [ "$pattern" = @ ]; then
            for w in $(xdotool search --onlyvisible --pid "$launcher_pid" 2>/dev/null); do
                [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] && window=$w && break
            done
        else
            window=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1)
        fi
        [ -n "$window" ] && { echo "$window"; return 0; }
        kill -0 "$launcher_pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "$0: no window \"$pattern\" within $seconds s; the launcher said:" >&2
    cat "$workdir/launcher.log" >&2
    return 1
}
shoot() {
    import -window "$1" -frame "$out/$2" && echo "$out/$2"
}
# A click at a point of the window's client area, in pixels (the Dialer's dialog units times 7/4
# across and 13/8 down, its font's base units under Wine). Wine takes the pointer from the X
# server as it comes; synthetic key presses do not reach it.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.5
}

# The Dialer (a fresh prefix shows its first window after some seconds), then the entry that
# is busy twice dialled: the Connect dialog counts down to its next attempt.
start_launcher
dialer=$(wait_window '^Ostrel Sky\.Vane Dialer$' 60)
sleep 1
shoot "$dialer" dialer-wine.png
# An entry near the end of the list (the one that is busy twice, or the one above it when the
# list has scrolled), then Dial Now.
click "$dialer" 105 197
click "$dialer" 371 23
connect=$(wait_window '^Dialing ' 20)
sleep 4.6
shoot "$connect" connect-wine.png
stop_launcher

# The splash, while a command without a window runs in the console's place.
start_launcher ping -n 8 127.0.0.1
dialer=$(wait_window '^Ostrel Sky\.Vane Dialer$' 60)
click "$dialer" 371 49 # Start Without Dialing
splash=$(wait_window @ 20)
sleep 1
shoot "$splash" splash-wine.png
stop_launcher
