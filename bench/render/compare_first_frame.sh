#!/usr/bin/env bash
# Time to the first frame of large real models: ours against Debian's view3dscene.
#
#   compare_first_frame.sh [--size WxH] [--runs N] [FILE...]
#
# Each FILE (default: the .wrl and .wrl.gz files of testing/corpus/large and its
# subfolders) is opened by both programs, whole process, from start to a
# written PNG of the first frame:
#   ours:   kestrel --snapshot OUT.png --size WxH FILE   ($KESTREL_PROGRAM,
#           default build/default/viewer/shell/kestrel)
#   theirs: view3dscene FILE --geometry WxH -H --no-sound --screenshot 0 OUT.png
# Runs alternate the programs (N rounds, default 5) so a busy moment hits
# both; the best wall-clock time and the best CPU time (user + system of the
# process and its threads) of each program are printed, with the ratio
# view3dscene / ours. With $KESTREL_BEFORE naming another kestrel program
# (an older build, say), it runs in the same rounds and gets a row of its
# own, so a change is measured against the same busy moments as the
# reference. view3dscene is installed with apt-get when missing; it
# needs a display, so the script runs itself under xvfb-run when DISPLAY is
# unset.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
size=640x480
runs=5
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -u/p' "$0" | sed '$d'; exit 0 ;;
    *) files+=("$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"); shift ;;
  esac
done
. "$here/view3dscene_setup.sh"
check_size compare_first_frame "$size"

need_view3dscene compare_first_frame
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" --size "$size" --runs "$runs" "${files[@]}"
fi

program=${KESTREL_PROGRAM:-$repo/build/default/viewer/shell/kestrel}
[ -x "$program" ] || { echo "compare_first_frame: no kestrel program at $program" >&2; exit 1; }
programs=(view3dscene kestrel)
if [ -n "${KESTREL_BEFORE:-}" ]; then
  [ -x "$KESTREL_BEFORE" ] || { echo "compare_first_frame: no program at $KESTREL_BEFORE" >&2; exit 1; }
  programs=(view3dscene before kestrel)
fi
if [ ${#files[@]} = 0 ]; then
  while IFS= read -r f; do files+=("$f"); done \
    < <(find "$repo/testing/corpus/large" \( -name '*.wrl' -o -name '*.wrl.gz' \) | sort)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure COMMAND...: "WALL CPU OK" of one run; CPU is user + system of the
# command and its children, OK is 1 when it exited 0 and wrote $work/out.png.
# The children's time before the run is subtracted: a python3 started
# through a wrapper script (pyenv's shims) inherits the wrapper's own
# children's time, some 45 ms.
measure() {
  rm -f "$work/out.png"
  python3 -c 'import os, resource, subprocess, sys, time
def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
c = cpu()
t = time.time()
rc = subprocess.run(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
w = time.time() - t
print("%.3f %.3f %d" % (w, cpu() - c, rc == 0 and os.path.exists(sys.argv[1])))' \
    "$work/out.png" "$@"
}

printf '%-66s %-11s %8s %8s %7s %7s\n' model program "wall s" "CPU s" "x wall" "x CPU"
for f in "${files[@]}"; do
  name=${f#"$repo/testing/corpus/large/"}
  declare -A best=()
  for _ in $(seq "$runs"); do
    for prog in "${programs[@]}"; do
      if [ $prog = kestrel ]; then
        read -r w c ok <<< "$(measure "$program" --snapshot "$work/out.png" --size "$size" "$f")"
      elif [ $prog = before ]; then
        read -r w c ok <<< "$(measure "$KESTREL_BEFORE" --snapshot "$work/out.png" --size "$size" "$f")"
      else
        read -r w c ok <<< "$(measure timeout 300 view3dscene "$f" --geometry "$size" -H \
                               --no-sound --screenshot 0 "$work/out.png")"
      fi
      [ "$ok" = 1 ] || { best[$prog-failed]=1; continue; }
      best[$prog-w]=$(python3 -c "print(min($w, ${best[$prog-w]:-1e9}))")
      best[$prog-c]=$(python3 -c "print(min($c, ${best[$prog-c]:-1e9}))")
    done
  done
  for prog in "${programs[@]}"; do
    if [ -z "${best[$prog-w]:-}" ]; then
      printf '%-66s %-11s %8s\n' "$name" $prog failed; continue
    fi
    ratio="" rc=""
    if [ $prog != view3dscene ] && [ -n "${best[view3dscene-w]:-}" ]; then
      ratio=$(python3 -c "print('%.1f' % (${best[view3dscene-w]} / ${best[$prog-w]}))")
      rc=$(python3 -c "print('%.1f' % (${best[view3dscene-c]} / max(${best[$prog-c]}, 1e-3)))")
    fi
    printf '%-66s %-11s %8.3f %8.3f %7s %7s\n' "$name" $prog "${best[$prog-w]}" \
      "${best[$prog-c]}" "$ratio" "$rc"
  done
  unset best
done
echo "best of $runs runs at $size; x: view3dscene's time / ours"
