#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   run each target SECONDS (default 60)
#   scripts/fuzz.sh --merge [TARGET...]     minimise what the runs found into
#                                           the kept corpus fuzz/corpus/TARGET
#
# TARGET is a name without "fuzz_" (all targets when none is given). A run
# works in build/fuzz/corpus/TARGET, which starts as a copy of the kept
# corpus and the hand-made seeds of fuzz/seeds/TARGET and grows from run
# to run; --merge folds it back into fuzz/corpus/TARGET (commit the result).
# Flags a target always needs are in build/fuzz/fuzzers/fuzz_TARGET.flags.
set -euo pipefail
cd "$(dirname "$0")/.."

merge=0
seconds=60
if [ "${1:-}" = "--merge" ]; then
  merge=1
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

cmake --preset fuzz >/dev/null
if [ $# -eq 0 ]; then
  cmake --build --preset fuzz -j"$(nproc)"
  targets=()
  for bin in build/fuzz/fuzzers/fuzz_*; do
    [ -x "$bin" ] && targets+=("$(basename "$bin")")
  done
else
  targets=("${@/#/fuzz_}")
  cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]}"
fi

flags_of() {
  local file=build/fuzz/fuzzers/$1.flags
  [ -f "$file" ] && grep -v '^$' "$file" || true
}

for name in "${targets[@]}"; do
  target=${name#fuzz_}
  bin=build/fuzz/fuzzers/$name
  kept=fuzz/corpus/$target
  work=build/fuzz/corpus/$name
  mapfile -t flags < <(flags_of "$name")
  mkdir -p "$work" "$kept"
  if [ "$merge" = 1 ]; then
    echo "-- merging $name into $kept"
    fresh=$(mktemp -d)
    # Edges only (no hit counts): every edge stays covered by a corpus a
    # few times smaller; the runs regrow the rest quickly.
    "$bin" -merge=1 -use_counters=0 -rss_limit_mb=2048 "${flags[@]}" "$fresh" "$kept" "$work" \
      2>&1 | tail -n 1
    rm -rf "$kept" && mv "$fresh" "$kept" && chmod 755 "$kept"
    continue
  fi
  cp -n "$kept"/* "$work"/ 2>/dev/null || true
  [ -d "fuzz/seeds/$target" ] && cp -n "fuzz/seeds/$target"/* "$work"/ 2>/dev/null || true
  echo "-- $name for ${seconds}s"
  "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "${flags[@]}" \
    "$work" 2>&1 | tail -n 12
done
