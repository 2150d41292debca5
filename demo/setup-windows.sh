#!/usr/bin/env bash
# Makes the demo installation of the Sky.Vane client for the Windows build, in a Wine prefix:
#
#   demo/setup-windows.sh BUILD_DIR [--dest DIR] [--update-due] [--browser netscape|iexplore]
#
# BUILD_DIR is the Windows build (cmake --preset windows: build-windows); SKYVANE_LAUNCHER,
# SKYVANE_JAVA_EXE and SKYVANE_BOOT_EXE name its programs when they are not where the build puts
# them. DIR (default
# BUILD_DIR/demo) receives
#   Sky Vane/       the installation folder (its name has a blank, as "Program Files" does):
#                   skyvane-launcher.exe, VIZevu.exe, jdk\java.exe, Classes\
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
set -euo pipefail

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
}
die() {
    echo "demo/setup-windows.sh: $*" >&2
    exit 1
}

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -ge 1 ] || usage
case "$1" in -h | --help) usage ;; esac
[ -d "$1" ] || die "no build directory $1 (cmake --preset windows && cmake --build build-windows)"
build_dir=$(cd "$1" && pwd)
shift

dest=$build_dir/demo
update_due=no
browser=netscape
while [ $# -gt 0 ]; do
    case "$1" in
    --dest) [ $# -ge 2 ] || usage; dest=$2; shift 2 ;;
    --update-due) update_due=yes; shift ;;
    --browser) [ $# -ge 2 ] || usage; browser=$2; shift 2 ;;
    -h | --help) usage ;;
    *) echo "demo/setup-windows.sh: unknown option $1" >&2; usage ;;
    esac
done
case "$browser" in
netscape) browser_exe='C:\Program Files\Netscape\Communicator\Program\netscape.exe' ;;
iexplore) browser_exe='C:\Program Files\Internet Explorer\IEXPLORE.EXE' ;;
*) die "--browser takes netscape or iexplore, not $browser" ;;
esac

launcher=${SKYVANE_LAUNCHER:-$build_dir/skyvane-launcher.exe}
java_exe=${SKYVANE_JAVA_EXE:-$build_dir/client/jdk/java.exe}
boot=${SKYVANE_BOOT_EXE:-$build_dir/client/VIZevu.exe}
for need in "$launcher" "$java_exe" "$boot"; do
    [ -f "$need" ] || die "$need is missing: build first (cmake --build $build_dir)"
done

export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
wine_run=$source_dir/scripts/wine-run.sh
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo/setup-windows.sh: making the Wine prefix $WINEPREFIX (about 15 s)"
    "$wine_run" wineboot -i >/dev/null 2>&1 || die "wineboot could not make $WINEPREFIX"
fi

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
# Wine's drive Z: is the root of the file system.
[ "$(readlink "$WINEPREFIX/dosdevices/z:" 2>/dev/null)" = / ] ||
    die "$WINEPREFIX has no drive Z: for the root folder"
windows_path() {
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

# The installation folder, as the product's installer lays it out. jdk\classes.zip is left
# out and Classes\ is empty: the Windows java.exe runs the programs the class names stand for.
install="$dest/Sky Vane"
rm -rf "$install"
mkdir -p "$install/jdk" "$install/Classes"
cp "$launcher" "$install/skyvane-launcher.exe"
cp "$java_exe" "$install/jdk/java.exe"
cp "$boot" "$install/VIZevu.exe"

# In a .reg string a backslash and a quotation mark are escaped with a backslash.
reg_string() {
    local text=${1//\\/\\\\}
    printf '%s' "${text//\"/\\\"}"
}
install_dir=$(reg_string "$(windows_path "$install")\\")
browser_reg=$(reg_string "$browser_exe")
last_update="$(date +%Y) $((10#$(date +%m))) $((10#$(date +%d)))"
reg_file=$dest/demo.reg
{
    printf 'REGEDIT4\r\n\r\n'
    # What an earlier run of the demo left is removed first.
    for key in 'HKEY_LOCAL_MACHINE\SOFTWARE\Ostrel Technologies' \
        'HKEY_CLASSES_ROOT\NetscapeMarkup' 'HKEY_CURRENT_USER\Software\Netscape'; do
        printf '[-%s]\r\n\r\n' "$key"
    done
    while IFS= read -r line || [ -n "$line" ]; do
        line=${line%$'\r'}
        [ "$line" = REGEDIT4 ] && continue
        if [ "$update_due" = yes ] && [[ "$line" == *@LAST_UPDATE@* ]]; then
            continue
        fi
        line=${line//@INSTALL_DIR@/"$install_dir"}
        line=${line//@BROWSER_EXE@/"$browser_reg"}
        line=${line//@LAST_UPDATE@/"$last_update"}
        printf '%s\r\n' "$line"
    done <"$source_dir/demo/demo.reg"
} >"$reg_file"
"$wine_run" reg import "$(windows_path "$reg_file")" >/dev/null ||
    die "Wine's reg import of $reg_file failed"

# The phone book and an empty dial-up state: no connection is up.
cp "$source_dir/demo/phonebook.pbk" "$dest/phonebook.pbk"
rm -rf "$dest/dialup-state"
mkdir -p "$dest/dialup-state"

shell_quote() {
    printf "'%s'" "${1//\'/\'\\\'\'}"
}
{
    echo "# The Windows demo installation made by demo/setup-windows.sh. Use:  . $(shell_quote "$dest/env.sh")"
    echo "export WINEPREFIX=$(shell_quote "$WINEPREFIX")"
    echo "export SKYVANE_PHONEBOOK=$(shell_quote "$(windows_path "$dest/phonebook.pbk")")"
    echo "export SKYVANE_DIALUP_STATE=$(shell_quote "$(windows_path "$dest/dialup-state")")"
} >"$dest/env.sh"

echo "Windows demo installation made in $dest"
