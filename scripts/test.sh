#!/usr/bin/env bash
# Installs what is missing, builds the default preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
# The window tests need a display: a private X server for the whole run.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset default -j"$(nproc)"
