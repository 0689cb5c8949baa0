#!/usr/bin/env bash
# Makes the seed corpus of fuzz_zip_extract from small archives of independent
# writers (Info-ZIP zip, bsdtar, Perl's Archive::Zip, Python's zipfile), and that of
# fuzz_zip_inflate. Run from anywhere; writes fuzz/seeds/fuzz_zip_extract/ and
# fuzz/seeds/fuzz_zip_inflate/.
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
(cd "$work/src" && LC_ALL=C.UTF-8 bsdtar --format zip -cf "$out/bsdtar.zip" .)
(cd "$work/src" && perl -MArchive::Zip -e '$z = Archive::Zip->new(); $z->addTree({root => ".", compressionLevel => 9});
  $z->writeToFileNamed($ARGV[0]) == 0 or die' "$out/perl-level9.zip")
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
# fuzz_zip_inflate: level, strategy, window bits, memory level, repeat, read buffer,
# request (16-bit values less 1 or 1024), options, then the body that is repeated.
python3 - "$here/seeds/fuzz_zip_inflate" <<'PY'
import os, random, struct, sys
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
def seed(name, level, strategy, bits, memory, repeat, read, request, options, body):
    head = bytes([level, strategy, bits - 9, memory - 1]) + struct.pack('<HHH', repeat - 1, read - 1024, request - 1)
    open(f'{out}/{name}', 'wb').write(head + bytes([options]) + body)
seed('zeros-65536', 6, 0, 15, 8, 16, 16384, 65535, 0, bytes(4096))
seed('text-131083', 9, 0, 15, 9, 47, 16384, 65535, 1, b''.join(b'line %d of the notes\n' % i for i in range(140))[:2789])
seed('random-rle', 1, 3, 9, 1, 33, 1024, 4093, 0, random.Random(22).randbytes(2048))
PY
echo "seeds in $out and $here/seeds/fuzz_zip_inflate"
