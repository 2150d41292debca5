# shellcheck shell=bash disable=SC2034  # source_dir and the option variables are the sourcing script's
# What the demo scripts share: their usage text, their errors, the options of the two set-up
# scripts, and the pieces of the installation both set-ups make alike. Sourced by the scripts
# beside it.

# The source tree (or the package's data folder) and the script's name for its messages.
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
demo_script=demo/$(basename "$0")

# The header comment of the script that sources this, from its second line to `set -euo`.
demo_usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//' >&2
    exit 2
}
demo_die() {
    echo "$demo_script: $*" >&2
    exit 1
}

# demo_build_dir ARG HINT: the build folder the first argument names, as an absolute path, or
# an error with HINT on how to make one. -h and --help give the usage.
demo_build_dir() {
    case "${1:-}" in -h | --help | '') demo_usage ;; esac
    [ -d "$1" ] || demo_die "no build directory $1 ($2)"
    (cd "$1" && pwd)
}

# demo_parse_setup_options BUILD_DIR [options]: the set-up scripts' options. Sets dest,
# update_due (yes or no), browser_exe and updater_exit (empty: no file).
demo_parse_setup_options() {
    dest=$1/demo
    update_due=no
    updater_exit=
    local browser=netscape
    shift
    while [ $# -gt 0 ]; do
        case "$1" in
        --dest) [ $# -ge 2 ] || demo_usage; dest=$2; shift 2 ;;
        --update-due) update_due=yes; shift ;;
        --browser) [ $# -ge 2 ] || demo_usage; browser=$2; shift 2 ;;
        --updater-exit) [ $# -ge 2 ] || demo_usage; updater_exit=$2; shift 2 ;;
        -h | --help) demo_usage ;;
        *) echo "$demo_script: unknown option $1" >&2; demo_usage ;;
        esac
    done
    case "$browser" in
    netscape) browser_exe='C:\Program Files\Netscape\Communicator\Program\netscape.exe' ;;
    iexplore) browser_exe='C:\Program Files\Internet Explorer\IEXPLORE.EXE' ;;
    *) demo_die "--browser takes netscape or iexplore, not $browser" ;;
    esac
    if [ -n "$updater_exit" ] && ! [[ "$updater_exit" =~ ^-?[0-9]+$ ]]; then
        demo_die "--updater-exit takes a number, not $updater_exit"
    fi
}

# demo_install_folder FOLDER JAVA_EXE BOOT_EXE: the installation folder, as the product's
# installer lays it out, made anew. jdk/classes.zip is left out: the class path names it, and
# Java passes over a missing entry.
demo_install_folder() {
    rm -rf "$1"
    mkdir -p "$1/jdk" "$1/Classes"
    cp "$2" "$1/jdk/java.exe"
    cp "$3" "$1/VIZevu.exe"
    if [ -n "$updater_exit" ]; then
        printf '%s\n' "$updater_exit" >"$1/updater-exit-code"
    fi
}

# In a .reg string a backslash and a quotation mark are escaped with a backslash.
demo_reg_string() {
    local text=${1//\\/\\\\}
    printf '%s' "${text//\"/\\\"}"
}

# demo_reg_lines SOURCE_DIR INSTALL_DIR EOL: the lines of demo/demo.reg but its header, with its
# fields filled in (INSTALL_DIR as the .reg string of the installation folder, the browser, today
# as "Last Update", which --update-due leaves out), each ended with EOL.
demo_reg_lines() {
    local line install_dir browser_reg last_update
    install_dir=$(demo_reg_string "$2")
    browser_reg=$(demo_reg_string "$browser_exe")
    last_update="$(date +%Y) $((10#$(date +%m))) $((10#$(date +%d)))"
    while IFS= read -r line || [ -n "$line" ]; do
        line=${line%$'\r'}
        [ "$line" = REGEDIT4 ] && continue
        if [ "$update_due" = yes ] && [[ "$line" == *@LAST_UPDATE@* ]]; then
            continue
        fi
        line=${line//@INSTALL_DIR@/"$install_dir"}
        line=${line//@BROWSER_EXE@/"$browser_reg"}
        line=${line//@LAST_UPDATE@/"$last_update"}
        printf '%s%s' "$line" "$3"
    done <"$1/demo/demo.reg"
}

# demo_dialup_files SOURCE_DIR DEST: the phone book and an empty dial-up state, in which no
# connection is up.
demo_dialup_files() {
    rm -f "$2/phonebook.pbk"
    if [ -f "$1/demo/phonebook.pbk" ]; then
        cp "$1/demo/phonebook.pbk" "$2/phonebook.pbk"
    else
        echo "$demo_script: note: no demo/phonebook.pbk; the Dialer will list no entries" >&2
    fi
    rm -rf "$2/dialup-state"
    mkdir -p "$2/dialup-state"
}

demo_shell_quote() {
    printf "'%s'" "${1//\'/\'\\\'\'}"
}

# demo_need_display HOW: a run needs an X display for the windows; HOW is the command that runs
# it under a virtual one.
demo_need_display() {
    [ -n "${DISPLAY:-}" ] && return
    echo "$demo_script: no X display (DISPLAY is not set), so the launcher's windows cannot be" >&2
    echo "shown. Run it on a desktop, or under a virtual display:" >&2
    echo "    $1" >&2
    exit 1
}

# demo_stale ENV_FILE BUILT...: yes when there is no ENV_FILE or any BUILT program is newer.
demo_stale() {
    local env_file=$1 built
    shift
    [ -f "$env_file" ] || { echo yes; return; }
    for built in "$@"; do
        [ "$built" -nt "$env_file" ] && { echo yes; return; }
    done
    echo no
}
