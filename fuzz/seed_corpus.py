#!/usr/bin/env python3
"""Writes the seed corpora from the test sources.

fuzz/corpus/compile: every string literal of the tests that looks like a
source (track-line fragments get a one-track header in front), plus the
example songs. fuzz/corpus/dump: the compiled files of a few of those, made
with the vlc3 given as the first argument.
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


def unescape(text):
    return text.encode('latin-1', 'backslashreplace').decode('unicode_escape').encode('latin-1', 'replace')


def sources():
    seen = set()
    for folder, _, files in os.walk(os.path.join(ROOT, 'tests')):
        for name in sorted(files):
            if not name.endswith(('.cpp', '.h', '.vls')):
                continue
            path = os.path.join(folder, name)
            if name.endswith('.vls'):
                yield open(path, 'rb').read()
                continue
            text = open(path, encoding='utf-8', errors='replace').read()
            for match in LITERAL.finditer(text):
                raw = match.group(1)
                if len(raw) < 3 or re.fullmatch(r'[0-9A-F ]+', raw):
                    continue
                data = unescape(raw)
                if not (data.startswith((b'.', b'(', b'/')) or b'\n' in data):
                    data = b'.ASSIGN 1 {midi1}\n(t1) ' + data + b'\n'
                if data not in seen:
                    seen.add(data)
                    yield data
    for name in sorted(os.listdir(os.path.join(ROOT, 'examples'))):
        yield open(os.path.join(ROOT, 'examples', name), 'rb').read()


def write(folder, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, hashlib.sha1(data).hexdigest()[:16]), 'wb') as f:
        f.write(data)


def main():
    vlc3 = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build', 'vlc3')
    compile_dir = os.path.join(ROOT, 'fuzz', 'corpus', 'compile')
    dump_dir = os.path.join(ROOT, 'fuzz', 'corpus', 'dump')
    all_sources = list(sources())
    for data in all_sources:
        write(compile_dir, data)
    with tempfile.TemporaryDirectory() as work:
        for data in sorted(all_sources, key=len, reverse=True)[:60]:
            with open(os.path.join(work, 'song.vls'), 'wb') as f:
                f.write(data)
            out = os.path.join(work, 'song.VLD')
            if os.path.exists(out):
                os.remove(out)
            subprocess.run([vlc3, 'song.vls'], cwd=work, stderr=subprocess.DEVNULL, timeout=20)
            if os.path.exists(out):
                write(dump_dir, open(out, 'rb').read())


if __name__ == '__main__':
    main()
