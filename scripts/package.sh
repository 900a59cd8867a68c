#!/usr/bin/env bash
# Builds the Release type and makes the Debian package build/release/kestrel_VERSION_ARCH.deb
# (dependencies computed by dpkg-shlibdeps). Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
(cd build/release && cpack -G DEB >/dev/null)
ls "$PWD"/build/release/kestrel_*.deb
