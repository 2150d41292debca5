#!/usr/bin/env bash
# Installs what is missing, builds, makes the demo installation and runs the launcher on it.
# Arguments are passed on to the launcher (run in the console's place, as its own command line).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
exec demo/run.sh build "$@"
