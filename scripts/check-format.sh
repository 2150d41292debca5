#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from the layout of .clang-format, naming the files
# (clang-format -i FILE mends one).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
bad=$(clang-format --dry-run "${files[@]}" 2>&1 | grep -oE '^[^:]+:[0-9]+:[0-9]+: warning' | cut -d: -f1 | sort -u || true)
if [ -n "$bad" ]; then
  echo "check-format: these files differ from .clang-format (clang-format -i FILE mends them):" >&2
  echo "$bad" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
