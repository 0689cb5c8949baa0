#!/usr/bin/env bash
# Makes the seed corpus of fuzz_zip_extract from small archives of independent
# writers (Info-ZIP zip, Python's zipfile). Run from anywhere; writes
# fuzz/seeds/fuzz_zip_extract/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/seeds/fuzz_zip_extract
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/src/maps/sub"
printf 'velmor %.0s' $(seq 1 200) > "$work/src/maps/a.txt"
printf 'stored' > "$work/src/maps/sub/s.bin"
: > "$work/src/empty"
(cd "$work/src" && zip -q -r -n .bin "$out/infozip.zip" . && zip -q -P pw "$out/encrypted.zip" empty maps/a.txt)
python3 - "$out" <<'PY'
import io, sys, zipfile
out = sys.argv[1]
class Unseekable(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
for name, stream in (('zipfile.zip', io.BytesIO()), ('descriptor.zip', Unseekable())):
    with zipfile.ZipFile(stream, 'w') as z:
        z.writestr(zipfile.ZipInfo('dir/'), b'')
        z.writestr('dir/deflated.txt', b'abc' * 100, compress_type=zipfile.ZIP_DEFLATED)
        z.writestr('stored.bin', bytes(range(64)), compress_type=zipfile.ZIP_STORED)
        z.writestr('\u66f4\u65b0.txt', b'utf-8', compress_type=zipfile.ZIP_DEFLATED)
    data = stream.getvalue() if isinstance(stream, io.BytesIO) else bytes(stream.data)
    open(f'{out}/{name}', 'wb').write(data)
# A stub in front and a comment behind.
data = open(f'{out}/zipfile.zip', 'rb').read()
open(f'{out}/stub-comment.zip', 'wb').write(b'MZ' + b'\0' * 62 + data[:-2] + b'\x05\x00hello')
PY
echo "seeds in $out"
