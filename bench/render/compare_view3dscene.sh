#!/usr/bin/env bash
# Compares our renderer with Debian's view3dscene, the reference VRML browser.
#
#   compare_view3dscene.sh [--size WxH] [--out DIR] [--no-masks] [--no-timing] [--models]
#                          [--real] [--dir DIR]... [FILE...]
#
# Masks: renders every file of the VRML corpus (testing/corpus/vrml), or the
# worlds of each --dir DIR (.wrl, .wrl.gz, .wrz; images are shown on a quad
# by a small generated world), or the FILEs given; --real takes the real
# worlds that need more than a strict plain-text reader: testing/corpus/
# vrml_lenient (gzip, GIF), textures (GIF and cut-out images) and media
# (MovieTexture). Each is rendered with our snapshot program and with `view3dscene FILE --screenshot 0 OUT`
# at the same size, and compares the foreground masks (pixels that differ
# from the background colour) by intersection over union (mask_iou.py).
# view3dscene places its camera from the bounding box when a file has no
# Viewpoint, where a VRML97 browser starts at the default Viewpoint
# (0 0 10 looking down -Z); and its sky and ground gradients are no
# foreground though they differ from the corner colour. So each file is
# also rendered as a copy with a plain Background of its own, the file's
# Backgrounds drawing nothing, and `Viewpoint { }` first when it has none;
# the "same view" column (the one the share counts) uses that copy.
#
# Models (--models): the model files of testing/corpus/models (glTF, OBJ
# with its MTL and images, STL, PLY), each seen from one Viewpoint in front
# of its bounding box on the plain background: ours is
# `kestrel --snapshot OUT VIEW.wrl MODEL` ($KESTREL_PROGRAM, default
# build/default/viewer/shell/kestrel), view3dscene's the same VIEW.wrl with
# `Inline { url "MODEL" }`. Formats view3dscene does not read show as
# ref-failed or an empty mask of theirs.
#
# Timing: frames per second of both programs on the 1000-box and
# 700 x 700 terrain scenes of bench_render, written as .wrl files here.
# Both are timed the same way: (time of N frames - time of one frame) /
# (N - 1), so start-up and loading cancel out, and every frame is read
# back and written as a PNG (view3dscene --screenshot-range, our snapshot
# program with a frame count). bench_render's figures (read back, no PNG)
# follow. Frames per second come from wall-clock time; CPU time per frame
# (user + system of the program and its threads) is also shown, as it
# holds when the machine is busy. KESTREL_TIMING_FRAMES (30) and
# KESTREL_TIMING_ROUNDS (2) set N and how often each is repeated.
#
# Our snapshot program: $KESTREL_SNAPSHOT, default
# build/default/viewer/browser/render/gl/kestrel_snapshot (called as
# `kestrel_snapshot SCENE OUT W H`); when it names the `kestrel` program it
# is called as `kestrel --snapshot OUT --size WxH SCENE`.
# view3dscene is installed with apt-get when missing; it needs a display,
# so the script runs itself under xvfb-run when DISPLAY is unset.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
size=640x480
out=""
masks=1
timing=1
models=0
files=()
dirs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --no-masks) masks=0; shift ;;
    --no-timing) timing=0; shift ;;
    --models) models=1; shift ;;
    --real) dirs+=("$repo/testing/corpus/vrml_lenient" "$repo/testing/corpus/textures"
                   "$repo/testing/corpus/media"); shift ;;
    --dir) dirs+=("$(cd "$2" && pwd)"); shift 2 ;;
    -h|--help) sed -n '2,/^set -u/p' "$0" | sed '$d'; exit 0 ;;
    *) files+=("$1"); shift ;;
  esac
done
. "$here/view3dscene_setup.sh"
check_size compare_view3dscene "$size"
width=${size%x*}
height=${size#*x}

need_view3dscene compare_view3dscene
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1600x1200x24" "$0" --size "$size" ${out:+--out "$out"} \
    $([ $masks = 0 ] && echo --no-masks) $([ $timing = 0 ] && echo --no-timing) \
    $([ $models = 1 ] && echo --models) $(for d in "${dirs[@]}"; do echo --dir "$d"; done) \
    "${files[@]}"
fi

snapshot=${KESTREL_SNAPSHOT:-$repo/build/default/viewer/browser/render/gl/kestrel_snapshot}
if [ ! -x "$snapshot" ]; then
  echo "compare_view3dscene: no snapshot program at $snapshot (build it or set KESTREL_SNAPSHOT)" >&2
  exit 1
fi
ours() {  # ours SCENE OUT
  if [ "$(basename "$snapshot")" = kestrel ]; then
    "$snapshot" --snapshot "$2" --size "${width}x${height}" "$1"
  else
    "$snapshot" "$1" "$2" "$width" "$height"
  fi
}
theirs() {  # theirs SCENE OUT
  timeout 120 view3dscene "$1" --geometry "${width}x${height}" -H --no-sound \
    --screenshot 0 "$2" > /dev/null 2>&1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "$out" ] || out=$work/images
mkdir -p "$out"

corpus="$repo/testing/corpus/vrml"

# Takes the place of Background in the "same view" copies: sky and ground
# gradients are background, not foreground, yet differ from a corner's
# colour; and the two programs' default backgrounds differ (black, dark
# grey). The copies are drawn on one plain colour few shapes have.
mask_sky="0.3 0.1 0.5"
flat_background='PROTO FlatBackground [ exposedField MFColor skyColor [] exposedField MFFloat skyAngle []
  exposedField MFColor groundColor [] exposedField MFFloat groundAngle []
  exposedField MFString backUrl [] exposedField MFString bottomUrl [] exposedField MFString frontUrl []
  exposedField MFString leftUrl [] exposedField MFString rightUrl [] exposedField MFString topUrl []
  eventIn SFBool set_bind eventOut SFBool isBound ] { Group { } }'

# Where each corpus model is seen from: in front (+Z) of its bounding box,
# far enough to see all of it.
model_viewpoint() {
  case "$(basename "$1")" in
    spider.obj) echo "-17 0 320" ;;
    *Spider_ascii.stl|*Spider_binary.stl) echo "0 0 14" ;;
    *Wuson.ply) echo "0 0.75 4" ;;
    *) echo "0 0 3" ;;
  esac
}

if [ $models = 1 ]; then
  program=${KESTREL_PROGRAM:-$repo/build/default/viewer/shell/kestrel}
  [ -x "$program" ] || { echo "compare_view3dscene: no kestrel program at $program" >&2; exit 1; }
  models_dir="$repo/testing/corpus/models"
  printf '%-46s %-12s %9s %9s %9s\n' model viewpoint IoU ours-px theirs-px
  total=0; good=0
  for f in "$models_dir"/*.* "$models_dir"/*/*.obj; do
    case "$f" in *.md|*.jpg|*.png|*.mtl) continue ;; esac
    name=$(basename "$f"); name=${name%.*}
    vp=$(model_viewpoint "$f")
    view=$work/models/$name
    mkdir -p "$view"
    {
      echo "#VRML V2.0 utf8"
      echo "Background { skyColor $mask_sky }"
      echo "Viewpoint { position $vp }"
    } > "$view/view.wrl"
    { cat "$view/view.wrl"; echo "Inline { url \"$f\" }"; } > "$view/theirs.wrl"
    result="ours-failed"
    if "$program" --snapshot "$out/$name.model.ours.png" --size "${width}x${height}" \
        "$view/view.wrl" "$f" > "$out/$name.model.ours.log" 2>&1; then
      result="ref-failed"
      theirs "$view/theirs.wrl" "$out/$name.model.theirs.png" &&
        result=$(python3 "$here/mask_iou.py" "$out/$name.model.ours.png" \
                 "$out/$name.model.theirs.png" --diff "$out/$name.model.diff.png") ||
        result="compare-failed"
    fi
    read -r iou na nb _ <<< "$result"
    printf '%-46s %-12s %9s %9s %9s\n' "$name" "$vp" "$iou" "${na:--}" "${nb:--}"
    total=$((total + 1))
    if python3 -c "import sys; sys.exit(0 if float('$iou') >= 0.9 else 1)" 2> /dev/null; then
      good=$((good + 1))
    fi
  done
  echo "models with IoU >= 0.9: $good of $total"
  echo "images and diffs (white both, red ours only, green theirs only): $out"
  masks=0; timing=0
fi

# image_world IMAGE WORLD: writes a world that shows IMAGE on a unit quad,
# unlit, in front of the default Viewpoint, so its transparent texels show
# the plain background.
image_world() {
  {
    echo "#VRML V2.0 utf8"
    echo "Background { skyColor $mask_sky }"
    echo "Shape { appearance Appearance { texture ImageTexture { url \"$1\" } }"
    echo "  geometry IndexedFaceSet { coord Coordinate { point [ -3 -2 0, 3 -2 0, 3 2 0, -3 2 0 ] }"
    echo "    coordIndex [ 0 1 2 3 -1 ] texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1 ] }"
    echo "    texCoordIndex [ 0 1 2 3 -1 ] } }"
  } > "$2"
}

if [ $masks = 1 ]; then
  for d in "${dirs[@]}"; do
    for f in "$d"/*; do
      case "$f" in
        *.wrl|*.wrl.gz|*.wrz) files+=("$f") ;;
        *.gif|*.png|*.jpg|*.jpeg)
          mkdir -p "$work/images"
          w=$work/images/$(basename "$f").wrl
          image_world "$f" "$w"
          files+=("$w") ;;
      esac
    done
  done
  if [ ${#files[@]} = 0 ]; then
    [ -n "$corpus" ] || { echo "compare_view3dscene: corpus not found" >&2; exit 1; }
    for f in "$corpus"/*.wrl; do files+=("$f"); done
  fi
  total=0; good=0
  printf '%-62s %8s %8s %9s %9s\n' file as-is "same view" ours-px theirs-px
  for f in "${files[@]}"; do
    name=$(basename "$f"); name=${name%.gz}; name=${name%.wrz}; name=${name%.wrl}
    dir=$(cd "$(dirname "$f")" && pwd)
    if ! ours "$f" "$out/$name.ours.png" 2> "$out/$name.ours.log"; then
      iou_raw="ours-failed"
    elif ! theirs "$f" "$out/$name.theirs.png"; then
      iou_raw="ref-failed"
    else
      iou_raw=$(python3 "$here/mask_iou.py" "$out/$name.ours.png" "$out/$name.theirs.png" \
                --diff "$out/$name.diff.png") || iou_raw="compare-failed"
    fi
    line="$iou_raw"
    has_view=0; has_bg=0
    text=$work/text.wrl
    gzip -dcf "$f" > "$text"  # compressed worlds are edited as plain text
    grep -q '\bViewpoint\b' "$text" && has_view=1
    grep -q '\bBackground\b' "$text" && has_bg=1
    {
      # A copy beside links to its neighbours, and one level up to its
      # folder's neighbours, so relative URLs (also ../x) still resolve.
      up=$work/view/$name
      view=$up/$(basename "$dir")
      mkdir -p "$view"
      for n in "$(dirname "$dir")"/*; do [ "$n" = "$dir" ] || ln -sfn "$n" "$up/"; done
      for n in "$dir"/*; do ln -sfn "$n" "$view/"; done
      rm -f "$view/$name.wrl"
      {
        head -n 1 "$text"
        echo "$flat_background"
        echo "Background { skyColor $mask_sky }"
        [ $has_view = 0 ] && echo "Viewpoint { }"
        if [ $has_bg = 1 ]; then tail -n +2 "$text" | sed 's/\bBackground\b/FlatBackground/g'
        else tail -n +2 "$text"; fi
      } > "$view/$name.wrl"
      line_vp="ours-failed"
      if ours "$view/$name.wrl" "$out/$name.vp.ours.png" 2>> "$out/$name.ours.log"; then
        line_vp="ref-failed"
        theirs "$view/$name.wrl" "$out/$name.vp.theirs.png" &&
          line_vp=$(python3 "$here/mask_iou.py" "$out/$name.vp.ours.png" \
                    "$out/$name.vp.theirs.png" --diff "$out/$name.vp.diff.png") ||
          line_vp="compare-failed"
      fi
    }
    read -r raw _ <<< "$line"
    read -r vp na nb _ <<< "$line_vp"
    printf '%-62s %8s %8s %9s %9s\n' "$name" "$raw" "$vp" "${na:--}" "${nb:--}"
    total=$((total + 1))
    if python3 -c "import sys; sys.exit(0 if float('$vp') >= 0.9 else 1)" 2> /dev/null; then
      good=$((good + 1))
    fi
  done
  echo "files with IoU >= 0.9 (same view): $good of $total" \
       "($(( total ? 100 * good / total : 0 )) %)"
  echo "images and diffs (white both, red ours only, green theirs only): $out"
fi

if [ $timing = 1 ]; then
  python3 - "$work" <<'PY'
import math, sys
d = sys.argv[1]
with open(f"{d}/boxes.wrl", "w") as s:
    s.write("#VRML V2.0 utf8\nViewpoint { position 0 0 60 }\n")
    for i in range(1000):
        x, y = i % 40 - 20, i // 40 - 12
        s.write(f"Transform {{ translation {x * 1.5:g} {y * 1.5:g} 0 children Shape {{"
                f" appearance Appearance {{ material Material {{ diffuseColor {(i % 7) / 7:g}"
                f" {(i % 11) / 11:g} {(i % 13) / 13:g} }} }} geometry Box {{ }} }} }}\n")
with open(f"{d}/terrain.wrl", "w") as s:
    s.write("#VRML V2.0 utf8\nViewpoint { position 350 250 900 orientation 1 0 0 -0.35 }\n"
            "Shape { appearance Appearance { material Material { diffuseColor 0.4 0.7 0.3 } }"
            " geometry ElevationGrid { xDimension 700 zDimension 700 creaseAngle 1 height [")
    s.write(" ".join(f"{20 * math.sin(i * 0.05) * math.cos(j * 0.04):g}"
                     for j in range(700) for i in range(700)))
    s.write("] } }\n")
PY
  frames=${KESTREL_TIMING_FRAMES:-30}
  rounds=${KESTREL_TIMING_ROUNDS:-2}
  # measure COMMAND...: "WALL CPU" seconds of one run (CPU: user + system of
  # the command and its children, so a busy machine shows in WALL only)
  measure() {
    python3 -c 'import resource, subprocess, sys, time
t = time.time()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(time.time() - t, r.ru_utime + r.ru_stime)' "$@"
  }
  v3d=(view3dscene --geometry "${width}x${height}" -H --no-sound)
  echo
  echo "per frame at ${width}x${height}, each frame read back and written as a PNG:"
  echo "(cost of $frames frames - cost of 1) / $((frames - 1)); rounds alternate the programs"
  printf '  %-8s %-12s %9s %9s %11s %11s\n' scene program "1 frame s" "$frames frames" "frames/s" "CPU ms/frame"
  for scene in boxes terrain; do
    f=$work/$scene.wrl
    for round in $(seq "$rounds"); do
      for prog in view3dscene kestrel; do
        if [ $prog = view3dscene ]; then
          one=$(measure "${v3d[@]}" "$f" --screenshot 0 "$work/v.png")
          many=$(measure "${v3d[@]}" "$f" --screenshot-range 0 0.04 "$frames" "$work/v@counter(4).png")
        elif [ "$(basename "$snapshot")" = kestrel ]; then
          continue  # kestrel --snapshot writes one frame
        else
          one=$(measure "$snapshot" "$f" "$work/o.png" "$width" "$height")
          many=$(measure "$snapshot" "$f" "$work/o.png" "$width" "$height" "$frames")
        fi
        python3 -c "
(w1, c1), (wn, cn) = ($(echo $one | tr ' ' ,)), ($(echo $many | tr ' ' ,))
f, c = (wn - w1) / ($frames - 1), (cn - c1) / ($frames - 1)
print('  %-8s %-12s %9.2f %9.2f %11s %11.0f' % ('$scene', '$prog', w1, wn, '%.1f' % (1 / f) if f > 0 else '-', c * 1000))"
      done
    done
  done
  bench=${KESTREL_BENCH_RENDER:-$repo/build/default/bench/render/bench_render}
  if [ -x "$bench" ]; then
    echo "ours, bench_render (frames read back, no PNG):"
    "$bench" --benchmark_min_time=2 2>/dev/null | grep -E '^BM_' | sed 's/^/  /'
  fi
fi
