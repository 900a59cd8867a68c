#!/usr/bin/env bash
# Builds the Release type and makes the Debian package build/release/kestrel_VERSION_ARCH.deb
# (dependencies computed by dpkg-shlibdeps). Prints the package's path on standard output;
# everything else goes to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >&2
(cd build/release && cpack -G DEB >&2)
ls "$PWD"/build/release/kestrel_*.deb
