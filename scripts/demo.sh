#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it on the bundled
# demo directory, in a window when there is a display. Extra arguments go to
# kestrel (for example --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kestrel pokeline
# The window needs a display; without one the viewer runs headless.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  set -- --headless "$@"
fi
# The control page (http://localhost:3504/kestrel.html) shows snapshot.png, or
# the live view (http://localhost:3504/live.html) where the browser has WebGL.
exec build/default/viewer/shell/kestrel -C share/kestrel --snapshot-every 1000 snapshot.png "$@"
