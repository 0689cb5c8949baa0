#!/usr/bin/env bash
# Download throughput: the same 256 MiB file from nginx on loopback, fetched by
# `velmor fetch` (2048-byte reads, each written at once) and by `curl -o`,
# alternating, in one run. Prints the throughput ratio ours/curl (goal >= 0.8).
set -euo pipefail
source "$(dirname "$0")/lib/nginx.bash"
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

mkdir -p "$work/root/velmor"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/root/velmor/big.bin"
start_bench_nginx "$work"

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
