#!/usr/bin/env python3
"""Writes the seed corpora from the test sources.

    fuzz/seed_corpus.py [vlc3 [corpus...]]

fuzz/corpus/compile: every string literal of the tests that looks like a
source (track-line fragments get a one-track header in front), plus the
example songs. fuzz/corpus/dump: the compiled files of a few of those, made
with the vlc3 given as the first argument. fuzz/corpus/export: the compiled
files of EXPORT_SOURCES, small songs that each lean on what the MIDI export
plays (repeats, jumps, loops, sub-tracks, chords, glides, ARCC, FM tracks).
Name corpora (compile, dump, export) to write only those; all by default.
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')


# One song a line, "\n" written out between source lines; a song with no
# `.ASSIGN` plays its track lines on MIDI channel 1.
EXPORT_SOURCES = [
    r'o4 l8 |:3 c d |1 e :| |2 f :| |3 g :| a',
    r'o4 l16 |:2 |:3 c d :| e :| f',
    r'o4 l8 |:65535 c0 :| d',
    r'o4 l4 |:4 c | d :| e',
    r'o4 l4 c [segno] d [tocoda] e [d.s.] [coda] f',
    r'o4 l4 c [fine] d [d.c.] e',
    r'o4 l8 [segno] |:2 c |1 d :| |2 e :| [d.s.] f',
    r'o4 l4 c [d.c.] d [d.c.] e [fine] f',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 r [do] c d [loop]\n(t2) o3 l4 [do] e f g [loop]',
    r'o4 l4 [do] [loop] c',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 c [BACK e2] d e [BACK g] f',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) c w\n(t2) d w1 e',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n.ASSIGN 3 {midi3}\n(t1) o4 c J2 d\n(t2) e f\n(t3) w g',
    r"o4 l4 'ceg'& 'cfa' 'ceg'& c4 c& d e",
    r"o4 l4 'ceg',8 'c>c<',4 'dfa'^8",
    r'o4 l4 c^8& d e& e r c&&d',
    r'o4 l8 ~~ c& d& e ~ f& g',
    r'o4 l4 (c g)96,12,24 (g c)48,8 [c g] e',
    r'o4 l8 [AUTO_PORTAMENT on, 1, 2] c e g [AUTO_PORTAMENT.SWITCH off] c',
    r'o4 l4 [ARCC1.level 64] [ARCC2.control volume] [ARCC1.deepen on,1,2,3] [ARCC1.speed 1,2] [ARCC1.delay 5] c d',
    r'o4 l4 [ARCC1.sync on,4] [ARCC4.mode normal] [ARCC1.waveform 8] [ARCC1.switch on] [ARCC1.phase reverse] @a 20 c',
    r'o4 l4 @h5,6 @s1,2 @m1,2,3 @z100,,90 c d e @z @c1,,3 f',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {fm1}\n.ASSIGN 3 {fm2}\n(t1) o4 c\n(t2) o4 @5 e y15,0 y48,100\n(t3) o5 @12 g',
    r'.ASSIGN 1 {fm1}\n(t1) o4 l8 @3 v12 c d e y2,300 y3,3 @o5 f',
    r'o4 l4 t90 c t+30 d @t19 e t200 f',
    r'o4 l4 v16 [@VOLUME 5] P3 [@PANPOT 10] u100 c u+10 d v10 e',
    r'o4 l4 @b100 c @b1,,3 d @k50 [PITCH 10] [@PITCH -10] @g12 e @f3 f',
    r'o4 l4 @i65,16,66 i1,2 @1:2,10 y7,100 [NRPN 1,200] c x 16,"AB" @x 1,2 @e10 [DAMPER 64] d @d on e',
    r'o4 l4 [TIMBRE_SPLIT on, 0, 1, 60, 79] c g >c <c',
    r'o4 l4 {c d e}4 {c d e f g}4 k2 c k0 c @w4 c [TRACK_DELAY 12] c',
    r'[METER 6/8] [KEY G] [GM_SYSTEM_ON] o4 l8 c d e f g a',
    r'.COMMENT {Seed song}\n.TEMPO 90\n.GS_RESET\n.ASSIGN 1 {midi1, 128, 1, play, normal, lead}\n(t1) o4 c4,,+3 c0 d',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 c N1 d\n(t2) o3 @r rhythm c d',
    r'.ASSIGN 1 {adpcm}\n(t1) o4 l8 c d e',
    r'.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi1}\n(t1) o4 l4 c& c\n(t2) o4 l4 r8 c',
    r'o4 l4 =31 ?10,-5 H0 M3,2 K-2 \-10 c "1 d ` e',
    r'o4 l4 [BAR] [DUMMY] [COMMENT abc] [EVENT word,string,"hi"] c',
]


def export_sources():
    for line in EXPORT_SOURCES:
        text = line.replace(r'\n', '\n')
        if '.ASSIGN' not in text:
            text = '.ASSIGN 1 {midi1}\n(t1) ' + text
        yield (text + '\n').encode('latin-1')


def compiled(vlc3, work, data):
    """The compiled file of a source, or None when vlc3 refuses it."""
    with open(os.path.join(work, 'song.vls'), 'wb') as f:
        f.write(data)
    out = os.path.join(work, 'song.VLD')
    if os.path.exists(out):
        os.remove(out)
    subprocess.run([vlc3, 'song.vls'], cwd=work, stderr=subprocess.DEVNULL, timeout=20)
    return open(out, 'rb').read() if os.path.exists(out) else None


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
    vlc3 = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build', 'vlc3'))
    wanted = set(sys.argv[2:]) or {'compile', 'dump', 'export'}
    corpus = os.path.join(ROOT, 'fuzz', 'corpus')
    all_sources = list(sources())
    if 'compile' in wanted:
        for data in all_sources:
            write(os.path.join(corpus, 'compile'), data)
    with tempfile.TemporaryDirectory() as work:
        if 'dump' in wanted:
            for data in sorted(all_sources, key=len, reverse=True)[:60]:
                vld = compiled(vlc3, work, data)
                if vld:
                    write(os.path.join(corpus, 'dump'), vld)
        if 'export' in wanted:
            refused = 0
            for data in export_sources():
                vld = compiled(vlc3, work, data)
                if vld:
                    write(os.path.join(corpus, 'export'), vld)
                else:
                    refused += 1
                    print('vlc3 refuses an export seed: %r' % data, file=sys.stderr)
            if refused:
                sys.exit(1)


if __name__ == '__main__':
    main()
