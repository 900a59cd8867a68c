#!/usr/bin/env bash
# Times `loom` (file source -> JSatFix -> counter) and Debian's gpsdecode on
# the same generated 600000-sentence GGA/GLL/GSV log and prints the ratio.
# gpsdecode (package gpsd-clients) is installed here, for this comparison
# only. Needs the default preset built (cmake --build --preset default).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build/default
bench=$build/bench/modules/satfix_host_bench
loom=$build/modules/host/loom
[ -x "$bench" ] && [ -x "$loom" ] || { echo "build the default preset first" >&2; exit 1; }

if ! command -v gpsdecode >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y -qq gpsd-clients >/dev/null 2>&1 || { echo "cannot install gpsd-clients" >&2; exit 1; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/bench.nmea
"$bench" --write-log "$log"
sentences=600000
cat > "$work/count.json" <<JSON
{"libraries": ["JSatFix"],
 "modules": [
   {"name": "src", "class": "JByteSource", "properties": {"path": "$log", "block": 65536}},
   {"name": "gps", "class": "JSatFix"},
   {"name": "count", "class": "JCounter", "properties": {"tag": "sentences"}}],
 "links": [
   {"from": "src", "output": 0, "to": "gps", "input": 0},
   {"from": "gps", "output": 2, "to": "count", "input": 0},
   {"from": "gps", "output": 4, "to": "count", "input": 0}]}
JSON

seconds() {  # best of three wall-clock runs of the command
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 $best" | awk '{ d = $2 - $1; if ($3 == "" || d < $3) print d; else print $3 }')
  done
  echo "$best"
}

counted=$("$loom" "$work/count.json" | awk '/^sentences:/ { print $2 }')
[ "$counted" = "$sentences" ] || { echo "loom counted $counted of $sentences sentences" >&2; exit 1; }
loom_s=$(seconds "$loom" "$work/count.json")
gpsdecode_s=$(seconds sh -c "gpsdecode < '$log'")

awk -v n="$sentences" -v a="$loom_s" -v b="$gpsdecode_s" 'BEGIN {
  printf "loom (JSatFix): %10.0f sentences/s (%.3f s)\n", n / a, a
  printf "gpsdecode:      %10.0f sentences/s (%.3f s)\n", n / b, b
  printf "ratio:          %10.1f x\n", b / a
}'
