#!/usr/bin/env bash
# Builds the Debian package of a build tree, checks it (lintian, desktop entries, icon sizes, man
# pages, dependencies) and runs what it holds from the package unpacked with dpkg -x into a
# scratch root: every program's --version and bad usage, then the demo command, which makes the
# demo installation and runs the launcher on it, the client's java.exe and updater in the
# console's place.
#
#   tests/package/package_test.sh BUILD_DIR CPACK VERSION
#
# Exit status 0 passed, 1 failed, 77 skipped the launcher's run for want of an X display.
set -euo pipefail

build=$(cd "$1" && pwd)
cpack=$2
version=$3
scratch=$(mktemp -d "${TMPDIR:-/tmp}/skyvane-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "package test: $*" >&2
    exit 1
}
for tool in dpkg-deb dpkg-shlibdeps lintian desktop-file-validate identify; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

# The package.
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb=$scratch/out/skyvane-launcher_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libfltk1.3 libsqlite3-0 libx11-6 libstdc++6; do
    [[ "$depends" == *"$lib "* || "$depends" == *"$lib," || "$depends" == *"$lib" ]] ||
        fail "Depends lacks $lib (from shlibdeps): $depends"
done
lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log" >&2; fail "lintian reports errors"; }
grep '^[EW]:' "$scratch/lintian.log" || true

# What it holds, unpacked.
root=$scratch/root
dpkg -x "$deb" "$root"
programs=(skyvane-launcher skyvane-reg skyvane-restore skyvane-rasdial skyvane-demo)
for program in "${programs[@]}"; do
    [ -x "$root/usr/bin/$program" ] || fail "no /usr/bin/$program"
    [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "no man page of $program"
    out=$("$root/usr/bin/$program" --version) || fail "$program --version failed"
    [ "$out" = "$program $version" ] || fail "$program --version says \"$out\""
    "$root/usr/bin/$program" --help | grep -q "Usage: $program" || fail "$program --help"
done
# Bad usage: the usage on standard error, nothing on standard output, exit 2. (The launcher has
# no bad usage: any arguments are a command line.)
for program in skyvane-reg skyvane-restore skyvane-rasdial skyvane-demo; do
    status=0
    "$root/usr/bin/$program" --no-such-option >"$scratch/out.txt" 2>"$scratch/err.txt" || status=$?
    [ $status -eq 2 ] || fail "$program --no-such-option exits $status, not 2"
    [ ! -s "$scratch/out.txt" ] || fail "$program writes bad usage on standard output"
    grep -q "Usage: $program" "$scratch/err.txt" || fail "$program tells no usage on bad usage"
done
for doc in copyright changelog.gz; do
    [ -f "$root/usr/share/doc/skyvane-launcher/$doc" ] || fail "no /usr/share/doc/skyvane-launcher/$doc"
done
zcat "$root/usr/share/doc/skyvane-launcher/changelog.gz" | head -1 | grep -q "^skyvane-launcher ($version)" ||
    fail "the changelog does not start with version $version"
desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entries"
for size in 32 64; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/skyvane-launcher.png
    [ "$(identify -format %wx%h "$icon")" = "${size}x${size}" ] || fail "$icon is not ${size}x${size}"
done
[ -x "$root/usr/lib/skyvane-launcher/client/skyvane-java-exe" ] || fail "no client java.exe"

# The demo, made by the package's own command.
dest=$scratch/demo
"$root/usr/bin/skyvane-demo" --make-only --dest "$dest" 2>"$scratch/demo.log" ||
    { cat "$scratch/demo.log" >&2; fail "skyvane-demo --make-only failed"; }
[ "$(cat "$dest/install/launcher-path")" = "$root/usr/bin/skyvane-launcher" ] ||
    fail "the demo's boot program would start $(cat "$dest/install/launcher-path")"
if [ -z "${DISPLAY:-}" ]; then
    echo "package test: no X display: the launcher's run is skipped" >&2
    exit 77
fi
# A connection up first, so that no Dialer waits for a user.
(
    # shellcheck source=/dev/null
    . "$dest/env.sh"
    SKYVANE_DIALUP_STEP_MS=0 "$root/usr/bin/skyvane-rasdial" "Ostrel Online" >/dev/null
) || fail "skyvane-rasdial could not bring the demo's entry up"
status=0
SKYVANE_UPDATER_ARGS_FILE=$scratch/updater-args timeout 120 "$root/usr/bin/skyvane-demo" \
    --dest "$dest" -- "$dest/install/jdk/java.exe" -classpath "$dest/install/Classes" \
    Ostrel.Server.updater.ZARuzivuz from-the-package >"$scratch/run.log" 2>&1 || status=$?
(
    . "$dest/env.sh"
    "$root/usr/bin/skyvane-rasdial" /disconnect >/dev/null
) || true
[ $status -eq 0 ] || { cat "$scratch/run.log" >&2; fail "the launcher exited $status"; }
[ "$(cat "$scratch/updater-args" 2>/dev/null)" = from-the-package ] ||
    { cat "$scratch/run.log" >&2; fail "the updater did not run in the console's place"; }
# The run switched the browser and recorded what it found.
(
    . "$dest/env.sh"
    "$root/usr/bin/skyvane-reg" query 'HKLM\SOFTWARE\Ostrel Technologies\Skyvane\Restore' /v key1
) >/dev/null || fail "the run left no Restore record"
echo "package test: $(basename "$deb") ($(stat -c %s "$deb") bytes) passed"
