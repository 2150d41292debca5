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

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_dir=$(demo_build_dir "${1:-}" "cmake --preset windows && cmake --build build-windows")
shift

demo_need_display "xvfb-run -a demo/run-windows.sh $build_dir"
demo=$build_dir/demo
if [ ! -f "$demo/Sky Vane/skyvane-launcher.exe" ] ||
    [ "$(demo_stale "$demo/env.sh" "$build_dir/skyvane-launcher.exe" \
        "$build_dir/client/jdk/java.exe" "$build_dir/client/VIZevu.exe")" = yes ]; then
    bash "$source_dir/demo/setup-windows.sh" "$build_dir"
fi
# shellcheck source=/dev/null
. "$demo/env.sh"
# The installation folder is the launcher's working folder, as a shortcut of the installer sets.
cd "$demo/Sky Vane"
exec "$source_dir/scripts/wine-run.sh" skyvane-launcher.exe "$@"
