#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it on the bundled
# demo directory. Extra arguments go to kestrel (for example --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)" --target kestrel pokeline
exec build/default/viewer/shell/kestrel -C share/kestrel --headless "$@"
