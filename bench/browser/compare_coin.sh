#!/usr/bin/env bash
# Parses the benchmark's two generated scenes with Kestrel's browser core and
# with Coin3D (SoDB::readAll) and prints MB/s and the ratio. Installs
# libcoin-dev for this comparison only; nothing in Kestrel links Coin3D.
# Run from the repository root after `cmake --build --preset default`.
set -euo pipefail
cd "$(dirname "$0")/../.."
bench=build/default/bench/browser/bench_browser
[ -x "$bench" ] || { echo "build the default preset first" >&2; exit 1; }
if ! dpkg -s libcoin-dev >/dev/null 2>&1; then
  apt-get install -y libcoin-dev >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write-inputs "$work"
g++ -O2 -std=c++17 bench/browser/coin_read.cpp -o "$work/coin_read" -lCoin
ours=$("$bench" --benchmark_filter='BM_Parse' --benchmark_format=csv 2>/dev/null |
  awk -F, '/BM_Parse/ { gsub(/"/, "", $1); print $1, $6 / 1e6 }')
for kind in terrain objects; do
  coin=$("$work/coin_read" "$work/$kind.wrl" 3)
  mine=$(echo "$ours" | awk -v k="$kind" 'tolower($1) ~ k { printf "%.1f", $2 }')
  ratio=$(awk -v a="$mine" -v b="$coin" 'BEGIN { printf "%.1f", a / b }')
  echo "$kind: kestrel $mine MB/s, Coin3D $coin MB/s, ratio ${ratio}x"
done
