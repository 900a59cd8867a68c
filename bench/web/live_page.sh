#!/usr/bin/env bash
# The live view in headless Chromium beside a headless viewer: latency from
# a setvalue on the command port to the move in the page (p50/p99), and the
# page's frame rate with 1000 objects (viewer/web/browser_tests/live_bench.js).
# usage: bash bench/web/live_page.sh [SAMPLES] [OBJECTS]
set -euo pipefail
cd "$(dirname "$0")/../.."
sh viewer/web/browser_tests/install.sh >/dev/null
port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
dir=$(mktemp -d)
cp share/kestrel/live.html share/kestrel/live.js "$dir"
web=$(port) commands=$(port)
build/default/viewer/shell/kestrel --headless -C "$dir" --web-port "$web" \
  --command-port "$commands" --secondary-port "$(port)" >/dev/null 2>&1 &
viewer=$!
trap 'kill $viewer 2>/dev/null; wait $viewer 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$web/api/objects" >/dev/null && break
  sleep 0.1
done
printf '%s\n' 'starttemplate transform' 'Transform { children [ %s ] }' 'endtemplate' \
  'startdata ball' \
  'DEF Xform_ball Transform { children [ Shape { appearance Appearance { material DEF Mat_ball Material { diffuseColor 1 0 0 } } geometry Sphere { } } ] }' \
  'enddata' 'setinfo xmin -5' 'setinfo xmax 5' > /dev/tcp/127.0.0.1/"$commands"
# The registry holds 1000 objects: the ball and 999 more.
node viewer/web/browser_tests/live_bench.js "$web" "$commands" "${1:-200}" "${2:-999}"
