#!/usr/bin/env python3
"""Writes a realistic benchmark song of about the size asked for.

    gen_song.py SIZE_MB OUT.vls [--seed N]

Besides OUT.vls it writes bench_inc.vls (the included macro file) into the
same directory; compile from that directory. The song has 16 assigned tracks
(8 FM, 2 ADPCM, 6 MIDI with a rhythm track), a header with tempo, meter, key
and GS/XG setup messages, parameterised macros used on most lines, and track
lines that mix notes with lengths, dots and ties, rests, octave changes,
velocities, quantize, chords, portamento, nested repeats with endings,
tuplets, at-commands, bracket commands, D.S./coda marks and ARCC blocks.

The counts of notes, bars and tracks are written to OUT.vls.json for the
peer comparison.
"""
import json
import os
import random
import sys

TRACKS = [(n, 'fm%d' % n) for n in range(1, 9)] + [(9, 'adpcm1'), (10, 'adpcm2')] + \
    [(11, 'midi1'), (12, 'midi2'), (13, 'midi3'), (14, 'midi4'), (15, 'midi5'), (16, 'midi10')]

HEADER = """/ Benchmark song, generated
.COMMENT Benchmark song
.TEMPO 138
.METER 4/4
.KEY D
.GATETIME_RESOLUTION 48
.GS_RESET
.GS_REVERB {4}
.GS_CHORUS {2}
.GS_PART_SETUP 1 {$10}
.GS_DRUM_SETUP 0, 36 {1,2,3,4,5,6,7,8}
.XG_SYSTEM_ON
.XG_EQUALIZER 16, 1, flat {rock, 64, 65, 66, 67, 68}
.EXCLUSIVE {$41, $10, $42, $12, $40, $00, $7F, $00, $41}
"""

# Macros: name, parameter declaration, body, notes per call (an estimate
# used for the note count) and how a call's arguments are made.
MACROS = """.define xarp %1,%2 {%1%2 <%1 >}
.define xrun %1 {l16 c d e f g a b <c> l8 %1}
.define xbas %1,%2 {o2 %1%2 %1%2 o4}
.define xchd %1 {'%1eg'4}
.define xtri %1,%2,%3 {{%1 %2 %3}8}
"""
INCLUDE = """/ bench_inc.vls: more macros, pulled in with .include
.define xpor %1,%2 {(%1 %2)4}
.define xfil %1 {[VOLUME %1] @q6}
.define xdrm %1 {c%1 d%1 c%1 d%1}
"""
NOTES = 'cdefgab'
LENGTHS = ['4', '8', '8', '16', '8.', '4.', '2', '16']


def note(r):
    n = r.choice(NOTES)
    if r.random() < 0.15:
        n += r.choice('+-')
    return n


def bar(r, kind):
    """One bar-sized piece of MML and the number of notes it holds."""
    pick = r.random()
    if kind == 'drum':
        ln = r.choice(['8', '16'])
        return 'xdrm %s c4 r8 d8' % ln, 6
    if pick < 0.20:
        parts = [note(r) + r.choice(LENGTHS) for _ in range(6)]
        parts.insert(r.randrange(6), 'r' + r.choice(['8', '16']))
        return ' '.join(parts), 6
    if pick < 0.30:
        return '%s4^8 %s8 <%s4 >%s4&%s8' % (note(r), note(r), note(r), note(r), note(r)), 5
    if pick < 0.40:
        return "'%s%s%s'4 '%s%s%s'8 r8 %s4" % tuple(note(r) for _ in range(7)), 7
    if pick < 0.48:
        return '{%s %s %s}4 {%s %s %s %s %s}2' % tuple(note(r) for _ in range(8)), 8
    if pick < 0.56:
        return '(%s <%s)4 %s8 r8 (%s >%s)2' % tuple(note(r) for _ in range(5)), 5
    if pick < 0.70:
        return '|:2 %s8 %s8 |:2 %s16 %s16 :| |1 %s4 :| |2 %s8 %s8 :|' % tuple(note(r) for _ in range(7)), 7
    if pick < 0.78:
        return 'xarp %s,8 xchd %s xtri %s,%s,%s' % tuple(note(r) for _ in range(5)), 7
    if pick < 0.86:
        return 'xrun %s xpor %s,%s' % tuple(note(r) for _ in range(3)), 10
    if pick < 0.93:
        return 'u%d q%d v%d %s4 @q%d %s8. %s16 r4' % (
            r.randrange(60, 127), r.randrange(4, 9), r.randrange(8, 15), note(r), r.randrange(2, 8), note(r), note(r)), 3
    return '[ARCC1.level %d] [K.SIGN d] %s4 xfil %d %s4 r2' % (
        r.randrange(0, 100), note(r), r.randrange(60, 120), note(r)), 2


def generate(size, out_path, seed=1):
    r = random.Random(seed)
    folder = os.path.dirname(os.path.abspath(out_path))
    with open(os.path.join(folder, 'bench_inc.vls'), 'w', newline='\r\n') as f:
        f.write(INCLUDE)
    head = [HEADER]
    for number, device in TRACKS:
        kind = ',128,1,play,rhythm,Drums' if device == 'midi10' else ''
        head.append('.ASSIGN %d {%s%s}\n' % (number, device, kind))
    head.append(MACROS)
    head.append('.include bench_inc.vls\n')
    text = ''.join(head)
    chunks = [text]
    total = len(text)
    notes = bars = lines = 0
    # Opening lines: sound settings and the structure marks of every track.
    for number, device in TRACKS:
        line = '(t%d) @%d o4 l8 q7 v13 u100 [PANPOT %d] xbas c,4 [segno] %s4 [tocoda] %s4 [d.s.] [coda] %s2\n' % (
            number, r.randrange(1, 100), r.randrange(0, 128), note(r), note(r), note(r))
        chunks.append(line)
        total += len(line)
        notes += 5
        bars += 1
    while total < size:
        number, device = TRACKS[lines % len(TRACKS)]
        kind = 'drum' if device == 'midi10' else 'tone'
        parts = []
        for _ in range(r.randrange(2, 5)):
            piece, n = bar(r, kind)
            parts.append(piece)
            notes += n
            bars += 1
        line = '(t%d) %s\n' % (number, ' | '.join(parts) if False else '  '.join(parts))
        chunks.append(line)
        total += len(line)
        lines += 1
    with open(out_path, 'w', newline='\r\n') as f:
        f.write(''.join(chunks))
    stats = {'bytes': os.path.getsize(out_path), 'notes': notes, 'bars': bars, 'tracks': len(TRACKS), 'lines': lines}
    with open(out_path + '.json', 'w') as f:
        json.dump(stats, f)
    return stats


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    seed = int(sys.argv[sys.argv.index('--seed') + 1]) if '--seed' in sys.argv else 1
    stats = generate(int(float(sys.argv[1]) * 1e6), sys.argv[2], seed)
    print(json.dumps(stats))


if __name__ == '__main__':
    main()
