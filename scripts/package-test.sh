#!/usr/bin/env bash
# Makes the Debian package, installs it with apt-get, runs the installed
# programs from a temporary directory outside the source tree, removes the
# package again. Also installs with `cmake --install` into a folder, moves the
# folder and runs from there (installed programs find their data by their own
# location). Needs root (or sudo) for apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
deb=$(bash scripts/package.sh | tail -n 1)
sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
work=$(mktemp -d /tmp/kestrel-package.XXXXXX)
viewer=""
cleanup() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null || true
  $sudo apt-get remove -y -qq kestrel >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

echo "== package $(basename "$deb") ($(du -k "$deb" | cut -f1) KiB)"
dpkg-deb --field "$deb" Depends Recommends
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq "$deb" >/dev/null
cd "$work"

echo "== installed programs answer --version and --help"
for program in kestrel pokeline loom fleetsim; do
  path=$(command -v "$program") || fail "$program is not on the PATH"
  [ "$path" = "/usr/bin/$program" ] || fail "$program runs from $path"
  "$program" --version | grep -qx "$program [0-9.]*" || fail "$program --version"
  "$program" --help >/dev/null || fail "$program --help"
  if grep -q "$repo/build" "$path"; then fail "$program holds a build-tree path"; fi
done
for page in kestrel pokeline loom fleetsim; do
  [ -f "/usr/share/man/man1/$page.1.gz" ] || fail "no man page for $page"
done
[ -f /usr/share/applications/kestrel.desktop ] || fail "no desktop entry"

echo "== a snapshot of the installed demo"
cp -r /usr/share/kestrel demo
kestrel --snapshot demo.png --size 320x240 -C demo
[ "$(head -c 8 demo.png | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "no PNG"

echo "== a movie shown by the installed media codecs"
cp -r "$repo/testing/corpus/media" media
movie_snapshot() {
  "$1" --snapshot media.png --size 160x120 -C media castle-engine__demo-models__movie_texture_tests.wrl
  if grep -E "Media codecs not loaded|Movie not shown" media/kestrel.log; then fail "$1 shows no movie"; fi
}
movie_snapshot kestrel

echo "== a model read by the installed model formats"
model_check() {
  "$1" --check "$repo/testing/corpus/models/KhronosGroup__glTF-Sample-Models__Box.gltf" |
    grep -q ": ok$" || fail "$1 reads no model"
}
model_check kestrel

echo "== the installed window starts under a virtual display and ends on SIGTERM"
# The viewer's window comes from its module in lib/kestrel; the run counts
# when its command port answered and it ended with status 0.
window_run() {
  local secondary
  secondary=$(free_port)
  xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
    "$1" --command-port "$2" --secondary-port "$3" --web-port 0 -C demo > window.out 2>&1 &
    pid=$!; up=no
    for _ in $(seq 100); do
      if nc -z 127.0.0.1 "$3" 2>/dev/null; then up=yes; break; fi
      sleep 0.1
    done
    kill -TERM "$pid"; wait "$pid"; status=$?
    [ "$up" = yes ] || exit 3
    exit "$status"' sh "$1" "$(free_port)" "$secondary" ||
    fail "$1's window did not run: $(cat window.out)"
}
window_run kestrel

echo "== loom checks an installed demo document with the installed plug-ins"
loom --check /usr/share/kestrel/loom/gps.json | grep -q "is sound" || fail "loom --check"
loom --list | grep -qx JSatFix || fail "loom --list finds no JSatFix"

echo "== pokeline sends to a headless viewer"
primary=$(free_port); secondary=$(free_port)
kestrel --headless --command-port "$primary" --secondary-port "$secondary" --web-port 0 \
  -C demo --save-state "$work/viewer.state" > viewer.out 2>&1 &
viewer=$!
for _ in $(seq 100); do nc -z 127.0.0.1 "$secondary" 2>/dev/null && break; sleep 0.1; done
printf 'startdata probe\nDEF Xform_probe Transform { }\nenddata\nquit\n' |
  KESTREL_SECONDARY_PORT=$secondary pokeline > pokeline.out
kill -TERM "$viewer"; wait "$viewer" || fail "the viewer ended with status $?"
viewer=""
grep -q probe viewer.state || fail "the object sent through pokeline is not in the state file"

echo "== remove the package"
$sudo apt-get remove -y -qq kestrel >/dev/null
[ ! -e /usr/bin/kestrel ] || fail "kestrel is still installed"

echo "== cmake --install into a folder that is then moved"
cmake --install "$repo/build/release" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
"$work/moved/bin/loom" --check "$work/moved/share/kestrel/loom/gps.json" | grep -q "is sound" ||
  fail "a moved tree's loom finds no plug-ins"
"$work/moved/bin/kestrel" --snapshot moved.png --size 160x120 -C demo || fail "moved kestrel"
movie_snapshot "$work/moved/bin/kestrel"
model_check "$work/moved/bin/kestrel"
window_run "$work/moved/bin/kestrel"
echo "package test: passed"
