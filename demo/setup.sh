#!/usr/bin/env bash
# Makes the demo installation of the Sky.Vane client from a build tree:
#
#   demo/setup.sh BUILD_DIR [--dest DIR] [--update-due] [--browser netscape|iexplore]
#                           [--updater-exit CODE]
#
# DIR (default BUILD_DIR/demo) receives
#   install/        the installation directory: jdk/java.exe, Classes/, VIZevu.exe
#   registry.db     the registry store, made afresh from demo/demo.reg
#   phonebook.pbk   the dial-up phone book (from demo/phonebook.pbk)
#   dialup-state/   the dial-up service's record of connections that are up (none)
#   env.sh          exports SKYVANE_REGISTRY, SKYVANE_PHONEBOOK and SKYVANE_DIALUP_STATE
#
# Everything in DIR that the set-up makes is made anew on each run, so running it again gives
# the same installation. Then:  . DIR/env.sh && BUILD_DIR/app/skyvane-launcher
#
#   --update-due        leave "Last Update" out, so the launcher asks about updates
#   --browser iexplore  record Internet Explorer as the browser (default: Netscape Navigator)
#   --updater-exit N    the exit code the updater ends with (0: done, 2: restart, other: failed);
#                       it can be changed later in DIR/install/updater-exit-code
#
# SKYVANE_REG and SKYVANE_LAUNCHER name the registry tool and the launcher when they are not
# where the build puts them.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_dir=$(demo_build_dir "${1:-}" "configure and build first")
shift
demo_parse_setup_options "$build_dir" "$@"

classes=$build_dir/client/classes
java_exe=$build_dir/client/skyvane-java-exe
boot=$build_dir/client/skyvane-boot
reg=${SKYVANE_REG:-$build_dir/tools/reg/skyvane-reg}
launcher=${SKYVANE_LAUNCHER:-$build_dir/app/skyvane-launcher}
for need in "$classes/Ostrel/Server/console/Skyvane.class" \
    "$classes/Ostrel/Server/updater/ZARuzivuz.class" "$java_exe" "$boot" "$reg"; do
    [ -e "$need" ] || demo_die "$need is missing: build first (cmake --build $build_dir)"
done
[ -e "$launcher" ] || echo "$demo_script: note: $launcher is not built yet" >&2

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
install=$dest/install

demo_install_folder "$install" "$java_exe" "$boot"
cp -R "$classes/." "$install/Classes/"
printf '%s\n' "$launcher" >"$install/launcher-path"

# The registry. InstallDir is the Linux path with its trailing '/': the launcher appends "\" and
# the pieces of the Java command line, and the backslashes become directory separators when it
# starts them.
reg_file=$dest/demo.reg
{
    printf 'REGEDIT4\n'
    demo_reg_lines "$source_dir" "$install/" $'\n'
} >"$reg_file"
store=$dest/registry.db
rm -f "$store" "$store-wal" "$store-shm" "$store-journal"
SKYVANE_REGISTRY=$store "$reg" --store "$store" import "$reg_file" >/dev/null ||
    demo_die "importing $reg_file into $store failed"

demo_dialup_files "$source_dir" "$dest"
{
    echo "# The demo installation made by demo/setup.sh. Use:  . $(demo_shell_quote "$dest/env.sh")"
    echo "export SKYVANE_REGISTRY=$(demo_shell_quote "$store")"
    echo "export SKYVANE_PHONEBOOK=$(demo_shell_quote "$dest/phonebook.pbk")"
    echo "export SKYVANE_DIALUP_STATE=$(demo_shell_quote "$dest/dialup-state")"
} >"$dest/env.sh"

echo "Demo installation made in $dest"
echo "Run the launcher on it:  . $(demo_shell_quote "$dest/env.sh") && $(demo_shell_quote "$launcher")"
