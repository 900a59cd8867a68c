#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number
# of seconds (default 60). Corpora live in build/fuzz/corpus/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
for bin in build/fuzz/fuzzers/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/seeds/${name#fuzz_}
  extra=()
  [ -d "$seeds" ] && extra+=("$seeds")
  echo "-- $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "${extra[@]}" 2>&1 | tail -n 12
done
