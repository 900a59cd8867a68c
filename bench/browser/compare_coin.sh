#!/usr/bin/env bash
# Kestrel's browser core against Coin3D on the benchmark's two generated
# scenes (20000 DEF'd objects; a 700 x 700 terrain IndexedFaceSet):
#  1. parse speed in memory: bench_browser's BM_Parse* against SoDB::readAll
#     of the same text (MB/s and their ratio), and the heap the parsed
#     objects scene holds (BM_SceneMemory);
#  2. whole processes, as a user runs them: `kestrel --check FILE` against a
#     program that reads FILE with Coin3D and exits, each run
#     KESTREL_COIN_RUNS times (7) in turn: the fastest wall-clock and CPU
#     time of each, and the resident memory of a run (GNU time's %M).
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

echo "Heap held by the parsed objects scene:"
"$bench" --benchmark_filter='BM_SceneMemory' --benchmark_format=csv 2>/dev/null | awk -F, '
  NR == 1 { gsub(/"/, ""); for (i = 1; i <= NF; ++i) column[$i] = i }
  /BM_SceneMemory/ { printf "  %.1f MB, %.0f bytes per object\n",
                     $column["scene_MB"], $column["bytes_per_object"] }'

# Each program run RUNS times in turn; the fastest wall-clock and CPU time
# (user + system, which still means something on a busy machine), from
# getrusage of the children.
whole_process() {  # whole_process FILE
  python3 - "$runs" "$1" "$kestrel" "$work/coin_read" <<'PY'
import os, resource, subprocess, sys, time
runs, path, kestrel, coin = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
programs = {"kestrel": [kestrel, "--check", path], "Coin3D": [coin, "--once", path]}
best = {name: [1e9, 1e9] for name in programs}
for _ in range(runs):
    for name, command in programs.items():
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        b = best[name]
        b[0], b[1] = min(b[0], wall), min(b[1], cpu)
k, c = best["kestrel"], best["Coin3D"]
mb = os.path.getsize(path) / 1e6
print(f"  {os.path.basename(path)} ({mb:.1f} MB): wall kestrel {k[0]:.4f} s, Coin3D {c[0]:.4f} s,"
      f" {c[0] / k[0]:.1f}x; CPU kestrel {k[1]:.4f} s, Coin3D {c[1]:.4f} s, {c[1] / k[1]:.1f}x")
PY
}
maxrss() {  # maxrss COMMAND...: the largest resident memory of one run, in MB
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.1f", $1 / 1024 }'
}
echo "Whole process (fastest of $runs runs each):"
printf '#VRML V2.0 utf8\n' > "$work/empty.wrl"
for kind in objects terrain; do
  whole_process "$work/$kind.wrl"
  echo "    memory: kestrel $(maxrss "$kestrel" --check "$work/$kind.wrl") MB" \
    "($(maxrss "$kestrel" --check "$work/empty.wrl") MB for an empty file)," \
    "Coin3D $(maxrss "$work/coin_read" --once "$work/$kind.wrl") MB"
done
