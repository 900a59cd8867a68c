#!/usr/bin/env bash
# Takes docs/screenshots/live-view.png: the bundled demo (share/kestrel/) in
# a headless viewer, its live view (live.html) drawn by headless Chromium.
# usage: bash scripts/live-screenshot.sh [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots/live-view.png}
mkdir -p "$(dirname "$out")"
sh viewer/web/browser_tests/install.sh >/dev/null
port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
web=$(port)
build/default/viewer/shell/kestrel --headless -C share/kestrel --web-port "$web" \
  --command-port "$(port)" --secondary-port "$(port)" >/dev/null 2>&1 &
viewer=$!
trap 'kill $viewer 2>/dev/null; wait $viewer 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  curl -sf "http://127.0.0.1:$web/api/objects" >/dev/null && break
  sleep 0.1
done
sleep 2  # the start-up files build the scene
node viewer/web/browser_tests/live_screenshot.js "http://127.0.0.1:$web/live.html" "$out" 1024x640
echo "wrote $out"
