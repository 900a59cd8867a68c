#!/usr/bin/env bash
# Times `loom` (file source -> JSatFix -> counter) and Debian's gpsdecode on
# the same logs and prints the ratio:
#  1. a generated 600000-sentence GGA/GLL/GSV log of a GPS receiver, JSatFix
#     with its defaults;
#  2. a current multi-constellation receiver: the corpus's u-blox ZED-F9P log
#     (GN positions, GPS/GLONASS/Galileo/BeiDou GSV runs per signal, GSA,
#     RMC, GST, ZDA...) repeated to about 600000 sentences, JSatFix with
#     "any talker" on.
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

seconds() {  # best of three wall-clock runs of the command
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 $best" | awk '{ d = $2 - $1; if ($3 == "" || d < $3) print d; else print $3 }')
  done
  echo "$best"
}

# compare TITLE LOG SENTENCES EXPECTED ANY_TALKER: EXPECTED is the number of
# events JSatFix must send to the counter (satellite counts and longitudes).
compare() {
  local title=$1 log=$2 sentences=$3 expected=$4 any=$5
  cat > "$work/count.json" <<JSON
{"libraries": ["JSatFix"],
 "modules": [
   {"name": "src", "class": "JByteSource", "properties": {"path": "$log", "block": 65536}},
   {"name": "gps", "class": "JSatFix", "properties": {"any talker": $any}},
   {"name": "count", "class": "JCounter", "properties": {"tag": "sentences"}}],
 "links": [
   {"from": "src", "output": 0, "to": "gps", "input": 0},
   {"from": "gps", "output": 2, "to": "count", "input": 0},
   {"from": "gps", "output": 4, "to": "count", "input": 0}]}
JSON
  local counted loom_s gpsdecode_s
  counted=$("$loom" "$work/count.json" | awk '/^sentences:/ { print $2 }')
  [ "$counted" = "$expected" ] || { echo "loom counted $counted of $expected events" >&2; exit 1; }
  loom_s=$(seconds "$loom" "$work/count.json")
  gpsdecode_s=$(seconds sh -c "gpsdecode < '$log'")
  echo "$title"
  awk -v n="$sentences" -v a="$loom_s" -v b="$gpsdecode_s" 'BEGIN {
    printf "  loom (JSatFix): %10.0f sentences/s (%.3f s)\n", n / a, a
    printf "  gpsdecode:      %10.0f sentences/s (%.3f s)\n", n / b, b
    printf "  ratio:          %10.1f x\n", b / a
  }'
}

log=$work/bench.nmea
"$bench" --write-log "$log"
compare "generated GPS log, 600000 GGA/GLL/GSV sentences, defaults:" "$log" 600000 600000 0

# The receiver's sentences without the log's '#' header, repeated.
f9p=testing/corpus/nmea/gnss/ukyg9e5r6k7gubiekd6__gpsd__ublox-zed-f9p-nmea.log
grep -a '^\$' "$f9p" > "$work/f9p-once.nmea"
once=$(wc -l < "$work/f9p-once.nmea")
repeats=$(( (600000 + once - 1) / once ))
for _ in $(seq "$repeats"); do cat "$work/f9p-once.nmea"; done > "$work/f9p.nmea"
# Every GSV gives a count, every GGA and GLL (all with a fix here) a longitude.
events=$(grep -acE '^\$..(GSV|GGA|GLL),' "$work/f9p-once.nmea")
compare "u-blox ZED-F9P log x $repeats ($((once * repeats)) sentences), any talker:" \
  "$work/f9p.nmea" $((once * repeats)) $((events * repeats)) 1
