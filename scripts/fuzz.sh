#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ (clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer: the "fuzz" preset) and runs each from its seeds for a short, bounded
# time. A fault fails the script; the input that caused it is kept as build-fuzz/crash-NAME-*.
#   FUZZ_SECONDS  seconds per target (default 15)
#   FUZZ_RUNS     a number of inputs per target instead of a time
#   scripts/fuzz.sh [NAME...]   only these targets (regfile, phonebook, ...)
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

limit=(-max_total_time="${FUZZ_SECONDS:-15}")
if [ -n "${FUZZ_RUNS:-}" ]; then
  limit=(-runs="$FUZZ_RUNS")
fi
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for seeds in fuzz/corpus/*/; do
    names+=("$(basename "$seeds")")
  done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for name in "${names[@]}"; do
  mkdir -p "$work/$name"
  # New inputs go to the scratch folder; the seeds in the tree are only read. Standard output of
  # the code under test (diagnostics) is closed.
  if build-fuzz/fuzz/fuzz_"$name" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/crash-$name-" \
      "$work/$name" "fuzz/corpus/$name" >"$work/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$name.log")
    echo "fuzz $name: ${runs:-?} inputs (${rate:-?} a second), no fault"
  else
    echo "fuzz $name: FAULT (see below; the input is kept as build-fuzz/crash-$name-*)"
    tail -n 60 "$work/$name.log"
    status=1
  fi
done
exit $status
