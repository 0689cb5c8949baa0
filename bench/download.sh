#!/usr/bin/env bash
# Download throughput: the same 256 MiB file from nginx on loopback, fetched by
# `velmor fetch` (2048-byte reads, each written at once) and by `curl -o`,
# alternating, in one run. Prints the throughput ratio ours/curl (goal >= 0.8).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
velmor="$build/tools/velmor"
rounds=${DOWNLOAD_ROUNDS:-4}
size_mib=${DOWNLOAD_MIB:-256}

work=$(mktemp -d /tmp/velmor-bench-download-XXXXXX)
nginx_pid=""
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root/velmor" "$work/nginx"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/root/velmor/big.bin"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
user=""
[[ $(id -u) -eq 0 ]] && user="user root;"
cat > "$work/nginx/nginx.conf" <<CONF
$user
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$port; root $work/root; }
}
CONF
/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done

url="http://127.0.0.1:$port/velmor/big.bin"
now() { date +%s.%N; }
ours=0
theirs=0
fetch_curl() {
  local start; start=$(now)
  curl -s -o "$work/curl.bin" "$url"
  theirs=$(awk -v a="$theirs" -v b="$(now)" -v c="$start" 'BEGIN { print a + b - c }')
  rm -f "$work/curl.bin"
}
fetch_ours() {
  local start; start=$(now)
  "$velmor" fetch "$url" "$work/ours.bin" > /dev/null
  ours=$(awk -v a="$ours" -v b="$(now)" -v c="$start" 'BEGIN { print a + b - c }')
  cmp -s "$work/ours.bin" "$work/root/velmor/big.bin" || { echo "download: velmor fetch stored a different file" >&2; exit 1; }
  rm -f "$work/ours.bin"
}
# The order flips every round, so that neither tool always runs after the other.
for round in $(seq "$rounds"); do
  if (( round % 2 )); then fetch_curl; fetch_ours; else fetch_ours; fetch_curl; fi
done

awk -v mib="$size_mib" -v n="$rounds" -v ours="$ours" -v theirs="$theirs" 'BEGIN {
  printf "download: %d MiB x %d, velmor fetch %.0f MiB/s, curl -o %.0f MiB/s, ratio ours/curl %.2f (goal >= 0.8)\n",
    mib, n, mib * n / ours, mib * n / theirs, theirs / ours
}'
