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

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
}
die() {
    echo "demo/setup.sh: $*" >&2
    exit 1
}

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -ge 1 ] || usage
case "$1" in -h | --help) usage ;; esac
[ -d "$1" ] || die "no build directory $1 (configure and build first)"
build_dir=$(cd "$1" && pwd)
shift

dest=$build_dir/demo
update_due=no
browser=netscape
updater_exit=
while [ $# -gt 0 ]; do
    case "$1" in
    --dest) [ $# -ge 2 ] || usage; dest=$2; shift 2 ;;
    --update-due) update_due=yes; shift ;;
    --browser) [ $# -ge 2 ] || usage; browser=$2; shift 2 ;;
    --updater-exit) [ $# -ge 2 ] || usage; updater_exit=$2; shift 2 ;;
    -h | --help) usage ;;
    *) echo "demo/setup.sh: unknown option $1" >&2; usage ;;
    esac
done
case "$browser" in
netscape) browser_exe='C:\Program Files\Netscape\Communicator\Program\netscape.exe' ;;
iexplore) browser_exe='C:\Program Files\Internet Explorer\IEXPLORE.EXE' ;;
*) die "--browser takes netscape or iexplore, not $browser" ;;
esac
if [ -n "$updater_exit" ] && ! [[ "$updater_exit" =~ ^-?[0-9]+$ ]]; then
    die "--updater-exit takes a number, not $updater_exit"
fi

classes=$build_dir/client/classes
java_exe=$build_dir/client/skyvane-java-exe
boot=$build_dir/client/skyvane-boot
reg=${SKYVANE_REG:-$build_dir/tools/reg/skyvane-reg}
launcher=${SKYVANE_LAUNCHER:-$build_dir/app/skyvane-launcher}
for need in "$classes/Ostrel/Server/console/Skyvane.class" \
    "$classes/Ostrel/Server/updater/ZARuzivuz.class" "$java_exe" "$boot" "$reg"; do
    [ -e "$need" ] || die "$need is missing: build first (cmake --build $build_dir)"
done
[ -e "$launcher" ] || echo "demo/setup.sh: note: $launcher is not built yet" >&2

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
install=$dest/install

# The installation directory, as the product's installer would lay it out. jdk/classes.zip is
# left out: the class path names it, and Java passes over a missing entry.
rm -rf "$install"
mkdir -p "$install/jdk" "$install/Classes"
cp "$java_exe" "$install/jdk/java.exe"
cp -R "$classes/." "$install/Classes/"
cp "$boot" "$install/VIZevu.exe"
printf '%s\n' "$launcher" >"$install/launcher-path"
if [ -n "$updater_exit" ]; then
    printf '%s\n' "$updater_exit" >"$install/updater-exit-code"
fi

# The registry. In a .reg string a backslash and a quotation mark are escaped with a backslash.
reg_string() {
    local text=${1//\\/\\\\}
    printf '%s' "${text//\"/\\\"}"
}
# InstallDir is the Linux path with its trailing '/': the launcher appends "\" and the pieces
# of the Java command line, and the backslashes become directory separators when it starts them.
install_dir=$(reg_string "$install/")
browser_reg=$(reg_string "$browser_exe")
last_update="$(date +%Y) $((10#$(date +%m))) $((10#$(date +%d)))"
reg_file=$dest/demo.reg
: >"$reg_file"
while IFS= read -r line || [ -n "$line" ]; do
    line=${line%$'\r'}
    if [ "$update_due" = yes ] && [[ "$line" == *@LAST_UPDATE@* ]]; then
        continue
    fi
    line=${line//@INSTALL_DIR@/"$install_dir"}
    line=${line//@BROWSER_EXE@/"$browser_reg"}
    line=${line//@LAST_UPDATE@/"$last_update"}
    printf '%s\n' "$line" >>"$reg_file"
done <"$source_dir/demo/demo.reg"

store=$dest/registry.db
rm -f "$store" "$store-wal" "$store-shm" "$store-journal"
SKYVANE_REGISTRY=$store "$reg" --store "$store" import "$reg_file" >/dev/null ||
    die "importing $reg_file into $store failed"

# The phone book and an empty dial-up state: no connection is up.
rm -f "$dest/phonebook.pbk"
if [ -f "$source_dir/demo/phonebook.pbk" ]; then
    cp "$source_dir/demo/phonebook.pbk" "$dest/phonebook.pbk"
else
    echo "demo/setup.sh: note: no demo/phonebook.pbk yet; the Dialer will list no entries" >&2
fi
rm -rf "$dest/dialup-state"
mkdir -p "$dest/dialup-state"

shell_quote() {
    printf "'%s'" "${1//\'/\'\\\'\'}"
}
{
    echo "# The demo installation made by demo/setup.sh. Use:  . $(shell_quote "$dest/env.sh")"
    echo "export SKYVANE_REGISTRY=$(shell_quote "$store")"
    echo "export SKYVANE_PHONEBOOK=$(shell_quote "$dest/phonebook.pbk")"
    echo "export SKYVANE_DIALUP_STATE=$(shell_quote "$dest/dialup-state")"
} >"$dest/env.sh"

echo "Demo installation made in $dest"
echo "Run the launcher on it:  . $(shell_quote "$dest/env.sh") && $(shell_quote "$launcher")"
