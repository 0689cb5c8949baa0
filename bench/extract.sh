#!/usr/bin/env bash
# Extraction speed against the standard unzip tool, and the peak memory of ours.
# Builds a 256 MiB archive of mixed files with Info-ZIP zip (a few large, many
# small, deflated), then extracts it with `velmor extract` and with `unzip -o -qq`,
# alternating, into fresh folders; prints the ratio of the total times
# (unzip/ours, goal at least 1.0) and the peak resident memory of velmor
# (goal under 32 MiB).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
velmor=$build/tools/velmor
rounds=${BENCH_ROUNDS:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-bench-extract-XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 - "$work/src" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1234)
words = [bytes(rng.choice(b'abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(3000)]
def text(size):
    out = bytearray()
    while len(out) < size:
        out += b' '.join(rng.choice(words) for _ in range(64)) + b'\n'
    return bytes(out[:size])
def mixed(size):
    # Half text-like, half noise: compresses about as game data does.
    noise = rng.randbytes(size // 2)
    return text(size - len(noise)) + noise
def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
total = 0
for i in range(4):  # a few large files
    size = 40 << 20
    write(f'{root}/data/pack{i}.vaf', mixed(size)); total += size
i = 0
while total < (256 << 20):  # many small ones, spread over folders
    size = rng.randint(1 << 10, 160 << 10)
    write(f'{root}/maps/area{i % 40:02d}/tile{i:05d}.dat', mixed(size) if i % 3 else text(size))
    total += size; i += 1
PY
(cd "$work/src" && zip -q -r -6 "$work/patch.zip" .)
files=$(find "$work/src" -type f | wc -l)
echo "archive: $(($(stat -c %s "$work/patch.zip") >> 20)) MiB compressed, $(du -sm "$work/src" | cut -f1) MiB in $files files"
rm -rf "$work/src"

now() { date +%s%N; }
ours=0; theirs=0; peak=0
for round in $(seq 1 "$rounds"); do
  rm -rf "$work/out"; sync
  start=$(now)
  /usr/bin/time -v -o "$work/time" "$velmor" extract "$work/patch.zip" "$work/out" >/dev/null
  ours=$((ours + $(now) - start))
  rss=$(awk '/Maximum resident set size/ {print $6}' "$work/time")
  (( rss > peak )) && peak=$rss
  rm -rf "$work/out"; sync
  start=$(now)
  unzip -o -qq "$work/patch.zip" -d "$work/out"
  theirs=$((theirs + $(now) - start))
done
rm -rf "$work/out"
awk -v ours="$ours" -v theirs="$theirs" -v peak="$peak" -v rounds="$rounds" 'BEGIN {
  printf "extract: velmor %.2f s, unzip %.2f s over %d rounds\n", ours / 1e9, theirs / 1e9, rounds
  printf "extract: time unzip/ours = %.2f (goal >= 1.0)\n", theirs / ours
  printf "extract: peak memory of velmor extract = %.1f MiB (goal < 32 MiB)\n", peak / 1024
}'
