#!/usr/bin/env bash
# Every public header compiles on its own, with g++ and with clang++: the platform's headers
# (platform/include/platform/*.h) and those of the system's folders (each folder whose
# CMakeLists.txt makes a skyvane_folder_library). A header that leans on an include it does not
# make itself fails here with the compiler's message.
set -euo pipefail
cd "$(dirname "$0")/.."

headers=(platform/include/platform/*.h)
for list in */CMakeLists.txt; do
  if grep -q '^skyvane_folder_library' "$list"; then
    for header in "$(dirname "$list")"/*.h; do
      [ -e "$header" ] && headers+=("$header")
    done
  fi
done

compilers=()
for cxx in g++ clang++; do
  command -v "$cxx" >/dev/null && compilers+=("$cxx")
done
[ ${#compilers[@]} -eq 2 ] || { echo "check-headers: needs g++ and clang++" >&2; exit 1; }

check() {
  local cxx=$1 header=$2 include=$2
  include=${include#platform/include/}
  if ! out=$(printf '#include "%s"\n' "$include" |
      "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -x c++ -I. -Iplatform/include -Iplatform/ui/private - 2>&1); then
    printf 'check-headers: %s does not compile alone with %s:\n%s\n' "$header" "$cxx" "$out"
    return 1
  fi
}
export -f check

jobs=()
for cxx in "${compilers[@]}"; do
  for header in "${headers[@]}"; do
    jobs+=("$cxx" "$header")
  done
done
if printf '%s\0' "${jobs[@]}" | xargs -0 -n 2 -P 2 bash -c 'check "$0" "$1"'; then
  echo "check-headers: ${#headers[@]} headers compile alone with ${compilers[*]}"
else
  exit 1
fi
