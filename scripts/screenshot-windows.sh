#!/usr/bin/env bash
# Takes pictures of the Windows launcher's windows as Wine draws them: the Dialer, the Connect
# dialog while it dials, and the splash screen.
#
#   scripts/screenshot-windows.sh [BUILD_DIR] [OUTPUT_DIR]
#
# BUILD_DIR defaults to build-windows (cmake --preset windows && cmake --build build-windows),
# OUTPUT_DIR to docs/screenshots beside this folder; the pictures are dialer-wine.png,
# connect-wine.png and splash-wine.png. A demo installation is made afresh in
# BUILD_DIR/screenshot-demo (demo/setup-windows.sh). Runs under DISPLAY, or under a private
# Xvfb with openbox when it is unset, so that the pictures come out the same on every machine.
# Needs: Wine, xdotool, imagemagick (import); Xvfb and openbox when DISPLAY is unset.
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
xvfb_pid=""
wm_pid=""
launcher_pid=""
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null && wait "$launcher_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$workdir"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null || { echo "$0: no DISPLAY and no Xvfb" >&2; exit 1; }
    # Xvfb picks a free display number itself and writes it to descriptor 3.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$workdir/display" \
        2>"$workdir/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -s "$workdir/display" ] && break
        sleep 0.1
    done
    [ -s "$workdir/display" ] || { cat "$workdir/xvfb.log" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$workdir/display")"
    openbox >/dev/null 2>&1 &
    wm_pid=$!
    for _ in $(seq 150); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.1
    done
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
