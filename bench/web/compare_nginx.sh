#!/usr/bin/env bash
# Requests per second for GET of the bundled control page: the viewer's web
# server and nginx (installed here, for this comparison only) serving the
# same file on free loopback ports, with wrk at 1, 16 and 64 connections,
# with and without keep-alive. Needs the default preset built.
set -euo pipefail
cd "$(dirname "$0")/../.."
server=build/default/bench/web/web_bench_server
[ -x "$server" ] || { echo "build the default preset first" >&2; exit 1; }
sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
command -v wrk >/dev/null || $sudo apt-get install -y -qq wrk >/dev/null
[ -x /usr/sbin/nginx ] || $sudo apt-get install -y -qq nginx-light >/dev/null 2>&1 ||
  $sudo apt-get install -y -qq nginx >/dev/null

work=$(mktemp -d)
chmod 755 "$work"  # nginx workers read the page as another user
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
cp share/kestrel/kestrel.html "$work/kestrel.html"; chmod 644 "$work/kestrel.html"
kport=$(free_port)
nport=$(free_port)
mkdir -p "$work/nginx"
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx;
  server { listen 127.0.0.1:$nport; root $work; keepalive_requests 1000000; }
}
CONF
mkfifo "$work/hold"
"$server" "$work" "$kport" < "$work/hold" > /dev/null 2>&1 &
exec 3> "$work/hold"
/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx"
trap '/usr/sbin/nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" -s stop 2>/dev/null; exec 3>&-; wait; rm -rf "$work"' EXIT
sleep 0.5

run() {  # name port connections keepalive
  local header=(-H "Connection: close")
  [ "$4" = yes ] && header=(-H "Connection: keep-alive")
  local out
  out=$(wrk -t 1 -c "$3" -d 5s "${header[@]}" "http://127.0.0.1:$2/kestrel.html")
  local rate errors
  rate=$(echo "$out" | awk '/Requests\/sec/ {print $2}')
  errors=$(echo "$out" | awk '/Non-2xx|Socket errors/ {print}' | tr '\n' ' ')
  printf '%-7s c=%-3s keep-alive=%-3s %10s req/s %s\n' "$1" "$3" "$4" "$rate" "$errors"
  echo "$rate" > "$work/$1-$3-$4"
}
for keep in yes no; do
  for c in 1 16 64; do
    run kestrel "$kport" "$c" "$keep"
    run nginx "$nport" "$c" "$keep"
  done
done
awk -v k="$(cat "$work/kestrel-16-yes")" -v n="$(cat "$work/nginx-16-yes")" \
  'BEGIN { printf "kestrel/nginx at 16 connections with keep-alive: %.0f %%\n", 100 * k / n }'
