#!/usr/bin/env python3
"""The benchmark songs compile to the very bytes they compiled to before.

    compiled_bytes_test.py VLC3 GEN_SONG

Generates the benchmark songs (1 and 10 MB with seed 1, and 1 MB with seeds
2 and 3) into a temporary directory, compiles each there with VLC3 and
compares the SHA-256 of the compiled file with the digest recorded before
the compiler's sources were reorganised or its inner loops rewritten. A change of a single output byte anywhere in a long, varied
song fails here, whichever command wrote it.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

# Size in MB, generator seed, SHA-256 of the compiled file.
SONGS = [
    (1, 1, '31a6614a40fb3b8a9cbff00dd354f31e11b32f05a7ac905293c04530a85dabb1'),
    (10, 1, 'd6f95f846a7d4795c0e496351a481969e65573abb639a1dba9bbdb0f086088b5'),
    (1, 2, '4b1a85a0fdb358e76027933909a467398e57b51e7824ab5ad70d287afdffc621'),
    (1, 3, '75265dd3d2e638845dce3fe4ad84b48df4515f172f8559a62533cab603471109'),
]


def main():
    vlc3, gen_song = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for size, seed, expected in SONGS:
            name = 'song%d_%d' % (size, seed)
            source = name + '.vls'
            subprocess.run([sys.executable, gen_song, str(size), source, '--seed', str(seed)],
                           cwd=work, check=True, stdout=subprocess.DEVNULL)
            run = subprocess.run([vlc3, source], cwd=work, capture_output=True)
            if run.returncode != 0:
                failures.append('%s: vlc3 ended with %d: %s'
                                % (name, run.returncode, run.stderr.decode(errors='replace')))
                continue
            with open(os.path.join(work, name + '.VLD'), 'rb') as f:
                got = hashlib.sha256(f.read()).hexdigest()
            if got != expected:
                failures.append('%s: SHA-256 %s, expected %s' % (name, got, expected))
            else:
                print('%s: %s' % (name, got))
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
