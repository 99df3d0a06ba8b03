#!/usr/bin/env python3
"""Adversarial source shapes for the benchmark: each must compile in time
close to linear in its size, or stop with a clear message.

    adversarial.py DIR      writes every shape into DIR as <name>.vls
"""
import os
import random
import sys

HEAD = b'.ASSIGN 1 {midi1}\n'


def many_macros(macros=1000, lines=100000):
    r = random.Random(7)
    names = set()
    while len(names) < macros:
        names.add(''.join(r.choice('hjkmnswxyz') for _ in range(r.randrange(4, 8))))
    names = sorted(names)
    out = [HEAD]
    for i, name in enumerate(names):
        out.append(b'.define %s %%1 {c%%1 d e}\n' % name.encode())
    for i in range(lines):
        a, b = names[(i * 7) % macros], names[(i * 13 + 5) % macros]
        out.append(b'(t1) %s 8 %s 16 r4\n' % (a.encode(), b.encode()))
    return b''.join(out)


def long_tuplet(notes=10000):
    return HEAD + b'(t1) {' + b' '.join(b'cdefgab'[i % 7:i % 7 + 1] for i in range(notes)) + b'}1\n'


def every_track_every_line(lines=20000):
    head = b''.join(b'.ASSIGN %d {midi%d}\n' % (t, (t - 1) % 16 + 1) for t in range(1, 81))
    select = b'(t' + b','.join(b'%d' % t for t in range(1, 81)) + b')'
    return head + b''.join(select + b' c8 d8 e4 r4 g4\n' for _ in range(lines))


def one_long_line(size=1000000):
    unit = b'c8 d16 e16 f8. r16 g4 '
    return HEAD + b'(t1) l8 ' + unit * (size // len(unit)) + b'\n'


def nested_repeats(depth=100):
    return HEAD + b'(t1) ' + b'|:2 ' * depth + b'c16 ' + b':| ' * depth + b'\n'


def long_exclusive(size=1000000):
    items = b','.join(b'%d' % (i % 100) for i in range(size // 3))
    return HEAD + b'.EXCLUSIVE {' + items + b'}\n(t1) c4\n'


def shapes():
    yield '1,000 macros over 100,000 lines', many_macros()
    yield 'one tuplet of 10,000 notes', long_tuplet()
    yield 'all 80 tracks on every line (20k lines)', every_track_every_line()
    yield 'a single 1 MB line', one_long_line()
    yield 'repeats nested 100 deep', nested_repeats()
    yield 'an exclusive list of 1 MB', long_exclusive()


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(folder, exist_ok=True)
    for i, (name, text) in enumerate(shapes()):
        path = os.path.join(folder, 'shape%d.vls' % (i + 1))
        with open(path, 'wb') as f:
            f.write(text)
        print(path, name, len(text))


if __name__ == '__main__':
    main()
