#!/usr/bin/env bash
# Pack merge speed. (a) A 512 MiB update pack that only appends, merged by
# `velmor pack merge`, against `cat update.vaf >> data.vaf` on the same files in
# the same run. The merge also flushes data.vaf before the header names its bytes
# and deletes update.vaf afterwards, so cat followed by the same flush is shown as
# well; peak memory of the merge. (b) Scale of header reading, writing
# and merging when the pack doubles.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
velmor=$build/tools/velmor
megabytes=${PACK_BENCH_MIB:-512}
work=$(mktemp -d "$build/bench-pack.XXXXXX")
trap '[[ -n ${PACK_BENCH_KEEP:-} ]] || rm -rf "$work"' EXIT

# A game pack of ten small files, an update pack of 1 MiB files appending new paths.
python3 - "$work" "$megabytes" <<'PY'
import struct, sys
work, mib = sys.argv[1], int(sys.argv[2])
def name(n): return struct.pack('<I', len(n) + 1) + n + b'\0'
def record(n, offset, size): return name(n) + struct.pack('<QII', offset, size, 0)
def header(files):
    tree = name(b'root') + struct.pack('<i', len(files)) + b''.join(files) + struct.pack('<i', 0)
    return b'VAH' + struct.pack('<II', 1, len(files)) + b'\0' * 40 + tree + struct.pack('<II', 0, 0)
with open(work + '/data.vaf', 'wb') as data:
    data.write((b'g' * 99 + b'\0') * 10)
open(work + '/data.vah', 'wb').write(header([record(b'game%d.bin' % i, i * 100, 99) for i in range(10)]))
block = bytes(range(256)) * 4096
with open(work + '/update.vaf', 'wb') as update:
    for i in range(mib):
        update.write(block[:len(block) - 1] + b'\0')
size = len(block) - 1
open(work + '/update.vah', 'wb').write(header([record(b'new%d.bin' % i, i * len(block), size) for i in range(mib)]))
PY
seconds() { echo "$1 $2" | awk '{ printf "%.3f", ($2 - $1) / 1e9 }'; }
min() { if [[ -z $1 ]]; then echo "$2"; else echo "$1 $2" | awk '{ print ($2 < $1) ? $2 : $1 }'; fi; }
# Best of three rounds; the machine may be shared.
cat_s="" catsync_s="" merge_s=""
mkdir -p "$work/run"
for round in 1 2 3; do
  rm -rf "$work/run"/*
  cp "$work"/data.va? "$work"/update.va? "$work/run/"
  cp "$work/data.vaf" "$work/cat.vaf"; cp "$work/data.vaf" "$work/catsync.vaf"
  sync
  start=$(date +%s%N); cat "$work/update.vaf" >> "$work/cat.vaf"; end=$(date +%s%N)
  cat_s=$(min "$cat_s" "$(seconds "$start" "$end")"); sync
  start=$(date +%s%N); cat "$work/update.vaf" >> "$work/catsync.vaf"; sync "$work/catsync.vaf"; end=$(date +%s%N)
  catsync_s=$(min "$catsync_s" "$(seconds "$start" "$end")"); sync
  rm -f "$work/cat.vaf" "$work/catsync.vaf"; sync
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time.txt" "$velmor" pack merge --folder "$work/run" >/dev/null
  end=$(date +%s%N)
  merge_s=$(min "$merge_s" "$(seconds "$start" "$end")")
  "$velmor" pack verify --folder "$work/run" >/dev/null
done
rss_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")

awk -v mib="$megabytes" -v c="$cat_s" -v cs="$catsync_s" -v m="$merge_s" -v rss="$rss_kb" 'BEGIN {
    printf "pack append: %d MiB, best of 3: cat %.3f s (%.0f MiB/s), cat+flush %.3f s, merge %.3f s (%.0f MiB/s)\n", mib, c, mib / c, cs, m, mib / m
    printf "pack append: throughput ours/cat %.2f (goal at least 0.9); ours/(cat+flush) %.2f\n", c / m, cs / m
    printf "pack append: peak memory of the merge %.1f MiB (goal under 64 MiB)\n", rss / 1024
}'

"$build/bench/bench_pack_scale" "$work/scale"
