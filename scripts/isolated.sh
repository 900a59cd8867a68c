#!/usr/bin/env bash
# Runs a command with every folder beside the clone hidden (an empty file
# system mounted over each, in a private mount namespace), so a test that
# reads anything outside the repository fails as it would on a user's
# machine where the clone stands alone. Needs root and unshare; elsewhere it
# runs the command as it is and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
  echo "isolated: cannot hide the folders beside the clone here; running as is" >&2
  exec "$@"
fi
exec unshare -m --propagation private bash -c '
  clone=$(pwd -P)
  for dir in "$(dirname "$clone")"/* "$(dirname "$clone")"/.[!.]*; do
    [ -d "$dir" ] && [ "$(cd "$dir" && pwd -P)" != "$clone" ] || continue
    # Writable and world-writable: where the clone stands in /tmp, its
    # siblings include /tmp/.X11-unix, which the test X server needs.
    mount -t tmpfs -o mode=1777,size=64m none "$dir"
  done
  exec "$@"' isolated "$@"
