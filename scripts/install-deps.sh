#!/usr/bin/env bash
# Installs what the launcher needs to build, run and test on Debian 12. Safe to run again: it
# asks apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsqlite3-dev libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev libx11-dev libfontconfig-dev libxcursor-dev libxinerama-dev
  fonts-dejavu-core fonts-wine
  openjdk-17-jdk
  xvfb openbox x11-utils xdotool imagemagick
  dpkg-dev lintian desktop-file-utils
  clang libclang-rt-dev clang-format
  g++-mingw-w64-x86-64-posix wine64 googletest
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
