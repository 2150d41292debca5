#!/usr/bin/env bash
# Runs the launcher on the demo installation of a build tree, making the installation first
# when there is none (demo/setup.sh makes it anew at any time):
#
#   demo/run.sh BUILD_DIR [arguments for the launcher]
#
# The launcher's windows need an X display. Without one, run it under a virtual display:
#   xvfb-run -a demo/run.sh BUILD_DIR
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 1 ] || [ "$1" = -h ] || [ "$1" = --help ]; then
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
shift

launcher=$build_dir/app/skyvane-launcher
[ -x "$launcher" ] || {
    echo "demo/run.sh: $launcher is not built: cmake --build $build_dir" >&2
    exit 1
}
if [ -z "${DISPLAY:-}" ]; then
    echo "demo/run.sh: no X display (DISPLAY is not set), so the launcher's windows cannot be" >&2
    echo "shown. Run it on a desktop, or under a virtual display:" >&2
    echo "    xvfb-run -a demo/run.sh $build_dir" >&2
    exit 1
fi
# Make the demo when there is none, or anew when the client programs were rebuilt since.
stale=no
for built in "$build_dir/client/classes.stamp" "$build_dir/client/skyvane-java-exe" \
    "$build_dir/client/skyvane-boot"; do
    [ "$built" -nt "$build_dir/demo/env.sh" ] && stale=yes
done
if [ ! -f "$build_dir/demo/env.sh" ] || [ $stale = yes ]; then
    bash "$source_dir/demo/setup.sh" "$build_dir"
fi
# shellcheck source=/dev/null
. "$build_dir/demo/env.sh"
exec "$launcher" "$@"
