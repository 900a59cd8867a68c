#!/usr/bin/env bash
# How quickly `kestrel --check` of an empty VRML file starts and ends: the
# fastest wall-clock and CPU time of KESTREL_STARTUP_RUNS runs (20), and the
# shared objects the loader maps for it (the window, the model formats and
# the media codecs are modules the run should not map). Run from the
# repository root after `cmake --build --preset default`; builds nothing.
set -euo pipefail
cd "$(dirname "$0")/../.."
kestrel=${1:-build/default/viewer/shell/kestrel}
[ -x "$kestrel" ] || { echo "build the default preset first ($kestrel)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#VRML V2.0 utf8\n' > "$work/empty.wrl"
python3 - "${KESTREL_STARTUP_RUNS:-20}" "$kestrel" "$work/empty.wrl" <<'PY'
import resource, subprocess, sys, time
runs, kestrel, path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
wall = cpu = 1e9
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run([kestrel, "--check", path], stdout=subprocess.DEVNULL, check=True)
    wall = min(wall, time.perf_counter() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = min(cpu, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print(f"kestrel --check empty.wrl: wall {wall * 1e3:.2f} ms, CPU {cpu * 1e3:.2f} ms"
      f" (fastest of {runs})")
PY
objects=$(LD_DEBUG=files "$kestrel" --check "$work/empty.wrl" 2>&1 >/dev/null |
  grep -o 'file=[^ ]*' | sort -u | grep -vc '^file=$' || true)
echo "shared objects mapped: $objects"
