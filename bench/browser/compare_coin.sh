#!/usr/bin/env bash
# Kestrel's browser core against Coin3D on the benchmark's two generated
# scenes (20000 DEF'd objects; a 700 x 700 terrain IndexedFaceSet):
#  1. parse speed in memory: bench_browser's BM_Parse* against SoDB::readAll
#     of the same text (MB/s and their ratio);
#  2. whole processes, as a user runs them: `kestrel --check FILE` against a
#     program that reads FILE with Coin3D and exits, each run
#     KESTREL_COIN_RUNS times (7) in turn, the fastest of each kept, with
#     the largest resident memory (GNU time's %M) of a run.
# Installs libcoin-dev for this comparison only; nothing in Kestrel links
# Coin3D. Run from the repository root after `cmake --build --preset default`.
set -euo pipefail
cd "$(dirname "$0")/../.."
bench=build/default/bench/browser/bench_browser
kestrel=build/default/viewer/shell/kestrel
for program in "$bench" "$kestrel"; do
  [ -x "$program" ] || { echo "build the default preset first ($program)" >&2; exit 1; }
done
if ! dpkg -s libcoin-dev >/dev/null 2>&1; then
  apt-get install -y libcoin-dev >/dev/null
fi
runs=${KESTREL_COIN_RUNS:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write-inputs "$work"
g++ -O2 -std=c++17 bench/browser/coin_read.cpp -o "$work/coin_read" -lCoin

echo "In memory (parse only):"
ours=$("$bench" --benchmark_filter='BM_Parse' --benchmark_format=csv 2>/dev/null |
  awk -F, '/BM_Parse/ { gsub(/"/, "", $1); print $1, $6 / 1e6 }')
for kind in terrain objects; do
  coin=$("$work/coin_read" "$work/$kind.wrl" 3)
  mine=$(echo "$ours" | awk -v k="$kind" 'tolower($1) ~ k { printf "%.1f", $2 }')
  ratio=$(awk -v a="$mine" -v b="$coin" 'BEGIN { printf "%.1f", a / b }')
  echo "  $kind: kestrel $mine MB/s, Coin3D $coin MB/s, ratio ${ratio}x"
done

# seconds COMMAND...: the wall-clock seconds of one run, output discarded.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", (b - a) / 1e9 }'
}
# maxrss COMMAND...: the largest resident memory of one run, in MB.
maxrss() {
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.1f", $1 / 1024 }'
}
echo "Whole process (fastest of $runs runs; largest resident memory):"
for kind in objects terrain; do
  file="$work/$kind.wrl"
  best_k=1e9 best_c=1e9
  for _ in $(seq "$runs"); do
    best_k=$(awk -v a="$best_k" -v b="$(seconds "$kestrel" --check "$file")" 'BEGIN { print (b < a ? b : a) }')
    best_c=$(awk -v a="$best_c" -v b="$(seconds "$work/coin_read" --once "$file")" 'BEGIN { print (b < a ? b : a) }')
  done
  size=$(awk -v b="$(stat -c %s "$file")" 'BEGIN { printf "%.1f", b / 1e6 }')
  rss_k=$(maxrss "$kestrel" --check "$file")
  rss_c=$(maxrss "$work/coin_read" --once "$file")
  empty_k=$(printf '#VRML V2.0 utf8\n' > "$work/empty.wrl"; maxrss "$kestrel" --check "$work/empty.wrl")
  ratio=$(awk -v a="$best_k" -v b="$best_c" 'BEGIN { printf "%.1f", b / a }')
  echo "  $kind ($size MB): kestrel ${best_k} s, Coin3D ${best_c} s, ${ratio}x;" \
    "memory kestrel ${rss_k} MB (${empty_k} MB for an empty file), Coin3D ${rss_c} MB"
done
