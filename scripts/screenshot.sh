#!/usr/bin/env bash
# Runs a command, waits for its window with the given title, saves a picture of that window
# (with its window-manager frame when there is one) as a PNG, and stops the command.
#
#   scripts/screenshot.sh [-t SECONDS] [-d SECONDS] [-k KEYS] TITLE OUTPUT.png COMMAND [ARGS...]
#
#   -t  how long to wait for the window (default 10)
#   -d  how long to wait after the window appeared, before the picture (default 0.5)
#   -k  keys to send to the window first, in xdotool's names (for example "alt+d")
#
# A TITLE of "@" takes the command's own window, found by its process id, whatever its title
# (for windows without one, such as the splash screen); "-" takes the whole screen after the
# delay.
# With DISPLAY set the command runs there. Without it, a private Xvfb (1024x768, depth 24, as
# FLTK's colours need) is started with openbox as window manager, and stopped afterwards.
# Needs: xdotool, imagemagick (import); Xvfb and openbox when DISPLAY is unset.
set -u

timeout=10
delay=0.5
keys=""
while getopts "t:d:k:" opt; do
    case $opt in
    t) timeout=$OPTARG ;;
    d) delay=$OPTARG ;;
    k) keys=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ]; then
    echo "usage: $0 [-t SECONDS] [-d SECONDS] [-k KEYS] TITLE OUTPUT.png COMMAND [ARGS...]" >&2
    exit 2
fi
title=$1
output=$2
shift 2

for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is not installed" >&2; exit 1; }
done

xvfb_pid=""
wm_pid=""
cmd_pid=""
workdir=$(mktemp -d)
cleanup() {
    [ -n "$cmd_pid" ] && kill "$cmd_pid" 2>/dev/null && wait "$cmd_pid" 2>/dev/null
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
    if [ ! -s "$workdir/display" ]; then
        echo "$0: Xvfb did not start:" >&2
        cat "$workdir/xvfb.log" >&2
        exit 1
    fi
    export DISPLAY=":$(head -n1 "$workdir/display")"
    if command -v openbox >/dev/null; then
        openbox >/dev/null 2>&1 &
        wm_pid=$!
        # Ready once it has announced itself on the root window (slow on a busy machine).
        wm_ready=""
        for _ in $(seq 150); do
            if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; then
                wm_ready=1
                break
            fi
            sleep 0.1
        done
        [ -n "$wm_ready" ] || echo "$0: openbox did not come up; the picture has no frame" >&2
    fi
fi

"$@" &
cmd_pid=$!

if [ "$title" = "-" ]; then
    sleep "$delay"
    kill -0 "$cmd_pid" 2>/dev/null || { echo "$0: the command has ended" >&2; cmd_pid=""; exit 1; }
    import -window root "$output" 2>"$workdir/import.log" || {
        cat "$workdir/import.log" >&2
        exit 1
    }
    echo "$output: the screen"
    exit 0
fi

# Exact title: the regular expression characters of the title are escaped.
pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$"
window=""
deadline=$(($(date +%s) + timeout))
while [ "$(date +%s)" -le "$deadline" ]; do
    if [ "$title" = "@" ]; then
        window=$(xdotool search --onlyvisible --pid "$cmd_pid" 2>/dev/null | head -n1)
    else
        window=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1)
    fi
    [ -n "$window" ] && break
    if ! kill -0 "$cmd_pid" 2>/dev/null; then
        echo "$0: the command ended before a window titled \"$title\" appeared" >&2
        cmd_pid=""
        exit 1
    fi
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "$0: no window titled \"$title\" within $timeout s" >&2
    exit 1
fi

if [ -n "$keys" ]; then
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    # shellcheck disable=SC2086 # several keys are several arguments
    xdotool key --clearmodifiers $keys
fi
sleep "$delay"

# -frame takes the window manager's frame too; without a window manager there is none.
if ! import -window "$window" -frame "$output" 2>"$workdir/import.log"; then
    echo "$0: import failed:" >&2
    cat "$workdir/import.log" >&2
    exit 1
fi
echo "$output: window $window \"$title\""
