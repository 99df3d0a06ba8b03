#!/usr/bin/env python3
"""The benchmark songs compile to the very bytes they compiled to before.

    compiled_bytes_test.py VLC3 GEN_SONG

Generates the 1 MB and the 10 MB benchmark song (seed 1) into a temporary
directory, compiles each there with VLC3 and compares the SHA-256 of the
compiled file with the digest recorded when the compiler's sources were
reorganised. A change of a single output byte anywhere in a long, varied
song fails here, whichever command wrote it.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

# Size in MB, SHA-256 of the compiled file.
SONGS = [
    (1, '31a6614a40fb3b8a9cbff00dd354f31e11b32f05a7ac905293c04530a85dabb1'),
    (10, 'd6f95f846a7d4795c0e496351a481969e65573abb639a1dba9bbdb0f086088b5'),
]


def main():
    vlc3, gen_song = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for size, expected in SONGS:
            source = 'song%d.vls' % size
            subprocess.run([sys.executable, gen_song, str(size), source, '--seed', '1'],
                           cwd=work, check=True, stdout=subprocess.DEVNULL)
            run = subprocess.run([vlc3, source], cwd=work, capture_output=True)
            if run.returncode != 0:
                failures.append('%d MB: vlc3 ended with %d: %s'
                                % (size, run.returncode, run.stderr.decode(errors='replace')))
                continue
            with open(os.path.join(work, 'song%d.VLD' % size), 'rb') as f:
                got = hashlib.sha256(f.read()).hexdigest()
            if got != expected:
                failures.append('%d MB: SHA-256 %s, expected %s' % (size, got, expected))
            else:
                print('%d MB: %s' % (size, got))
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
