#!/usr/bin/env bash
# Runs the Windows launcher under Wine on the Windows demo installation of a build, making the
# installation first when there is none or the programs were rebuilt since
# (demo/setup-windows.sh makes it anew at any time):
#
#   demo/run-windows.sh BUILD_DIR [arguments for the launcher]
#
# BUILD_DIR is the Windows build (build-windows). Wine's windows need an X display; without one:
#   xvfb-run -a demo/run-windows.sh build-windows
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 1 ] || [ "$1" = -h ] || [ "$1" = --help ]; then
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
fi
[ -d "$1" ] || {
    echo "demo/run-windows.sh: no build directory $1 (cmake --preset windows && cmake --build build-windows)" >&2
    exit 1
}
build_dir=$(cd "$1" && pwd)
shift

if [ -z "${DISPLAY:-}" ]; then
    echo "demo/run-windows.sh: no X display (DISPLAY is not set), so Wine cannot show the" >&2
    echo "launcher's windows. Run it on a desktop, or under a virtual display:" >&2
    echo "    xvfb-run -a demo/run-windows.sh $build_dir" >&2
    exit 1
fi
demo=$build_dir/demo
stale=no
for built in "$build_dir/skyvane-launcher.exe" "$build_dir/client/jdk/java.exe" \
    "$build_dir/client/VIZevu.exe"; do
    [ "$built" -nt "$demo/env.sh" ] && stale=yes
done
if [ ! -f "$demo/env.sh" ] || [ ! -f "$demo/Sky Vane/skyvane-launcher.exe" ] || [ $stale = yes ]; then
    bash "$source_dir/demo/setup-windows.sh" "$build_dir"
fi
# shellcheck source=/dev/null
. "$demo/env.sh"
# The installation folder is the launcher's working folder, as a shortcut of the installer sets.
cd "$demo/Sky Vane"
exec "$source_dir/scripts/wine-run.sh" skyvane-launcher.exe "$@"
