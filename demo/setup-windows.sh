#!/usr/bin/env bash
# Makes the demo installation of the Sky.Vane client for the Windows build, in a Wine prefix:
#
#   demo/setup-windows.sh BUILD_DIR [--dest DIR] [--update-due] [--browser netscape|iexplore]
#                                   [--updater-exit CODE]
#
# BUILD_DIR is the Windows build (cmake --preset windows: build-windows); SKYVANE_LAUNCHER,
# SKYVANE_JAVA_EXE and SKYVANE_BOOT_EXE name its programs when they are not where the build puts
# them. DIR (default
# BUILD_DIR/demo) receives
#   Sky Vane/       the installation folder (its name has a blank, as "Program Files" does):
#                   skyvane-launcher.exe, VIZevu.exe, launcher-path, jdk\java.exe, Classes\
#   demo.reg        demo/demo.reg with its fields filled in with Windows paths (Z:\...)
#   phonebook.pbk   the dial-up phone book (from demo/phonebook.pbk)
#   dialup-state/   the dial-up service's record of connections that are up (none)
#   env.sh          exports WINEPREFIX, SKYVANE_PHONEBOOK and SKYVANE_DIALUP_STATE
#
# The registry is seeded with Wine's own `reg import` of demo.reg, in the prefix WINEPREFIX
# (default BUILD_DIR/wineprefix, made on first use). The program's keys and the browsers' keys
# the file names are removed first, so running it again gives the same installation. Then:
#   demo/run-windows.sh BUILD_DIR      (or: . DIR/env.sh && scripts/wine-run.sh "DIR/Sky Vane/skyvane-launcher.exe")
#
#   --update-due        leave "Last Update" out, so the launcher asks about updates
#   --browser iexplore  record Internet Explorer as the browser (default: Netscape Navigator)
#   --updater-exit N    the exit code the updater ends with (0: done, 2: restart, other: failed);
#                       it can be changed later in "DIR/Sky Vane/updater-exit-code"
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_dir=$(demo_build_dir "${1:-}" "cmake --preset windows && cmake --build build-windows")
shift
demo_parse_setup_options "$build_dir" "$@"

launcher=${SKYVANE_LAUNCHER:-$build_dir/skyvane-launcher.exe}
java_exe=${SKYVANE_JAVA_EXE:-$build_dir/client/jdk/java.exe}
boot=${SKYVANE_BOOT_EXE:-$build_dir/client/VIZevu.exe}
for need in "$launcher" "$java_exe" "$boot"; do
    [ -f "$need" ] || demo_die "$need is missing: build first (cmake --build $build_dir)"
done

export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
wine_run=$source_dir/scripts/wine-run.sh
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo/setup-windows.sh: making the Wine prefix $WINEPREFIX (about 15 s)"
    "$wine_run" wineboot -i >/dev/null 2>&1 || demo_die "wineboot could not make $WINEPREFIX"
fi

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
# Wine's drive Z: is the root of the file system.
[ "$(readlink "$WINEPREFIX/dosdevices/z:" 2>/dev/null)" = / ] ||
    demo_die "$WINEPREFIX has no drive Z: for the root folder"
windows_path() {
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

# The installation folder. Classes\ is empty: the Windows java.exe runs the programs the class
# names stand for.
install="$dest/Sky Vane"
demo_install_folder "$install" "$java_exe" "$boot"
cp "$launcher" "$install/skyvane-launcher.exe"
# VIZevu.exe (which starts the launcher again after an update asks for a restart) finds it here.
printf '%s\r\n' "$(windows_path "$install/skyvane-launcher.exe")" >"$install/launcher-path"

reg_file=$dest/demo.reg
{
    printf 'REGEDIT4\r\n\r\n'
    # What an earlier run of the demo left is removed first.
    for key in 'HKEY_LOCAL_MACHINE\SOFTWARE\Ostrel Technologies' \
        'HKEY_CLASSES_ROOT\NetscapeMarkup' 'HKEY_CURRENT_USER\Software\Netscape'; do
        printf '[-%s]\r\n\r\n' "$key"
    done
    demo_reg_lines "$source_dir" "$(windows_path "$install")\\" $'\r\n'
} >"$reg_file"
"$wine_run" reg import "$(windows_path "$reg_file")" >/dev/null ||
    demo_die "Wine's reg import of $reg_file failed"

demo_dialup_files "$source_dir" "$dest"
{
    echo "# The Windows demo installation made by demo/setup-windows.sh. Use:  . $(demo_shell_quote "$dest/env.sh")"
    echo "export WINEPREFIX=$(demo_shell_quote "$WINEPREFIX")"
    echo "export SKYVANE_PHONEBOOK=$(demo_shell_quote "$(windows_path "$dest/phonebook.pbk")")"
    echo "export SKYVANE_DIALUP_STATE=$(demo_shell_quote "$(windows_path "$dest/dialup-state")")"
} >"$dest/env.sh"

echo "Windows demo installation made in $dest"
