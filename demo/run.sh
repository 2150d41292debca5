#!/usr/bin/env bash
# Runs the launcher on the demo installation of a build tree, making the installation first
# when there is none (demo/setup.sh makes it anew at any time):
#
#   demo/run.sh BUILD_DIR [arguments for the launcher]
#
# The launcher's windows need an X display. Without one, run it under a virtual display:
#   xvfb-run -a demo/run.sh BUILD_DIR
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_dir=$(demo_build_dir "${1:-}" "configure and build first")
shift

launcher=$build_dir/app/skyvane-launcher
[ -x "$launcher" ] || demo_die "$launcher is not built: cmake --build $build_dir"
demo_need_display "xvfb-run -a demo/run.sh $build_dir"
# Make the demo when there is none, or anew when the client programs were rebuilt since.
if [ "$(demo_stale "$build_dir/demo/env.sh" "$build_dir/client/classes.stamp" \
    "$build_dir/client/skyvane-java-exe" "$build_dir/client/skyvane-boot")" = yes ]; then
    bash "$source_dir/demo/setup.sh" "$build_dir"
fi
# shellcheck source=/dev/null
. "$build_dir/demo/env.sh"
exec "$launcher" "$@"
