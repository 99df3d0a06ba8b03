#!/usr/bin/python3
"""vld2mid's MIDI files checked with tools that share no code with it.

mido reads every file strictly (it raises on a data byte over 127 or a
truncated chunk) and the notes it finds must be the notes `vld2mid --list`
prints, note for note; its length of the piece must be the one in the
summary. fluidsynth renders a few files with the General MIDI soundfont and
sox measures the sound: loud enough, as long as the piece, and at the pitch
the notes and the portamento glide call for.

    /usr/bin/python3 real_tools_test.py VLC3 VLD2MID

Exit code 0 when every check passes, 1 when one fails, 77 (skipped) when
mido, fluidsynth, sox or the soundfont is missing. Debian's interpreter is
named on purpose: another python3 earlier on the PATH may not see mido.
"""
import difflib
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SOUNDFONT = '/usr/share/sounds/sf2/FluidR3_GM.sf2'
EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples')

# Sources whose MIDI file mido reads; a source without `.ASSIGN` gets
# track 1 on MIDI channel 1. (name, source, extra vld2mid switches)
SOURCES = [
    ('lengths', 'o4 l4 c d8 e8. f16 g4^8 r8 a2&a4 b4', []),
    ('chords', "o4 l4 'ceg'& 'cfa' 'ceg'& c4 c& d e", []),
    ('rolled', "o4 l4 'ceg',8 'dfa',12 r", []),
    ('endings', 'o4 l8 |:3 c |1 d :| |2 e :| |3 f :|', []),
    ('coda', 'o4 l4 c [segno] d [tocoda] e [d.s.] [coda] f', []),
    ('coda-skip', 'o4 l8 [segno] |:2 c |1 d :| |2 e :| [d.s.] f', ['--repeats-after-jump', 'skip']),
    ('loops', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 r [do] c d [loop]\n(t2) o3 l4 [do] e f g [loop]', []),
    ('loops3', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 r [do] c d [loop]\n(t2) o3 l4 [do] e f g [loop]',
     ['--loops', '3']),
    ('subtrack', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 c [BACK e2] d e [BACK g] f', []),
    ('subtrack-held', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 c [BACK e2] d f [BACK g] f', []),
    ('tempo', 't120 c4 t60 c4', []),
    # A4, then from A4 up to A5 over the first half of a whole note, then A4.
    ('glide', '.TEMPO 120\n.ASSIGN 1 {midi1}\n(t1) @80 o4 l1 a (a <a)192,0,96 >a', []),
    # An organ and an ocarina hold their notes to the end of the piece.
    ('organ', '.TEMPO 120\n.ASSIGN 1 {midi1}\n(t1) @20 o4 l2 c e g <c', []),
    ('ocarina', '.TEMPO 120\n.ASSIGN 1 {midi1}\n(t1) @80 o5 l4 c d e f g2 e2', []),
    ('velocities', '.RANDOMIZE_SEED 7\n.ASSIGN 1 {midi1}\n(t1) o4 l8 q6 u100:20 c d e f g,,+10 a b', []),
    ('tuplets', 'o4 l4 {c d e}4 {c d e f g}4 k2 c @w4 c [TRACK_DELAY 12] c', []),
    ('fm', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {fm1}\n(t1) o4 l4 c d e\n(t2) o3 @5 l2 g a', []),
    ('fm-skipped', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {fm1}\n(t1) o4 l4 c d e\n(t2) o3 @5 l2 g a', ['--fm', 'skip']),
    ('two-ports', '.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi17}\n(t1) o4 l4 c d\n(t2) o4 e f', []),
    # A quarter note of 22.5 and 24.25 clocks: 2 and 4 ticks a clock.
    ('time-base-90', '.MASTER_CLOCK 90\n.ASSIGN 1 {midi1}\n(t1) o4 l4 c d8 e8 {c d e}4', []),
    ('time-base-97', '.MASTER_CLOCK 97\n.ASSIGN 1 {midi1}\n(t1) o4 l4 c d8 e16 {c d e}4', []),
    # A rest of 19,200 ticks takes a three-byte delta time.
    ('long-rest', '.MASTER_CLOCK 1920\n.ASSIGN 1 {midi1}\n(t1) o4 l1 c |:10 r :| c', []),
]

# Pieces of the above that fluidsynth renders. `length`: the sound lasts as
# long as the piece; `frequencies`: (start s, length s, Hz) windows of the left
# channel (at 120 beats a minute a whole note is 2 s).
RENDERS = [
    ('organ', {'length': True}),
    ('ocarina', {'length': True}),
    ('glide', {'length': True, 'frequencies': [(0.3, 1.4, 440), (3.1, 0.8, 880), (4.3, 1.4, 440)]}),
    ('first_song', {}),
]

failures = []


def fail(what, detail=''):
    failures.append(what)
    print(f'FAIL {what}' + (f'\n{detail}' if detail else ''))


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, errors='replace')


def with_assignment(source):
    return source if '.ASSIGN' in source else f'.ASSIGN 1 {{midi1}}\n(t1) {source}'


def compile_source(vlc3, work, name, source=None):
    """The compiled file of a source text, or of examples/NAME.vls; None on an error."""
    path = os.path.join(os.path.abspath(EXAMPLES), name + '.vls')
    if source is not None:
        path = os.path.join(work, name + '.vls')
        with open(path, 'w') as f:
            f.write(with_assignment(source) + '\n')
    r = run([vlc3, path], work)
    vld = os.path.join(work, name + '.VLD')
    if r.returncode != 0 or not os.path.exists(vld):
        fail(f'{name}: vlc3 exit code {r.returncode}', r.stderr)
        return None
    return vld


def export(vld2mid, work, name, vld, switches):
    """(MIDI file, summary clocks and seconds, listed notes) or None."""
    mid = os.path.join(work, name + '.mid')
    r = run([vld2mid, vld, '-o', mid] + switches, work)
    summary = re.search(r'-> .*?: .*?(\d+) clocks, (\d+):(\d\d)\.(\d)$', r.stderr, re.M)
    if r.returncode != 0 or not summary:
        fail(f'{name}: vld2mid exit code {r.returncode}', r.stderr)
        return None
    clocks = int(summary[1])
    seconds = int(summary[2]) * 60 + int(summary[3]) + int(summary[4]) / 10
    listing = run([vld2mid, vld, '--list', '-q'] + switches, work)
    lines = listing.stdout.splitlines()
    if listing.returncode != 0 or not lines or lines[0].split()[0] != 'track':
        fail(f'{name}: vld2mid --list exit code {listing.returncode}', listing.stdout + listing.stderr)
        return None
    notes = []
    for line in lines[1:]:
        track, _, start, end, _, channel, note, _, velocity = line.split()
        notes.append((int(track), int(start), int(end), channel, int(note), int(velocity)))
    return mid, clocks, seconds, notes


def mido_notes(midi, ticks_per_clock):
    """Every note mido finds, as the listing shows it: a note-on paired with
    the next note-off of its channel and key in the same track; a stray
    note-off or a note left sounding shows as a line of its own."""
    several_ports = any(m.type == 'midi_port' for track in midi.tracks for m in track)
    notes = []

    def clocks(tick):
        return tick // ticks_per_clock if tick % ticks_per_clock == 0 else tick / ticks_per_clock

    for index, track in enumerate(midi.tracks):
        port, tick, sounding = 0, 0, {}
        for m in track:
            tick += m.time
            if m.type == 'midi_port':
                port = m.port
            if m.type not in ('note_on', 'note_off'):
                continue
            channel = f'{port + 1}:{m.channel + 1}' if several_ports else str(m.channel + 1)
            key = (channel, m.note)
            if m.type == 'note_on' and m.velocity > 0:
                sounding.setdefault(key, []).append((tick, m.velocity))
            elif sounding.get(key):
                start, velocity = sounding[key].pop(0)
                notes.append((index, clocks(start), clocks(tick), channel, m.note, velocity))
            else:
                notes.append((index, 'note-off without a note-on at', clocks(tick), channel, m.note, 0))
        for (channel, note), starts in sounding.items():
            for start, velocity in starts:
                notes.append((index, clocks(start), 'never ends', channel, note, velocity))
    return notes


def check_with_mido(mido, name, mid, clocks, seconds, listed):
    try:
        midi = mido.MidiFile(mid)
    except Exception as e:  # mido's strict reading raises several kinds
        fail(f'{name}: mido cannot read {os.path.basename(mid)}: {type(e).__name__}: {e}')
        return None
    conductor_ticks = sum(m.time for m in midi.tracks[0])
    ticks_per_clock = conductor_ticks // clocks if clocks and conductor_ticks % clocks == 0 else 1
    found = mido_notes(midi, ticks_per_clock)
    if sorted(found, key=str) != sorted(listed, key=str):
        by_start = lambda n: (n[1] if isinstance(n[1], (int, float)) else -1, n[0], n[4])
        show = lambda notes: [' '.join(map(str, n)) for n in sorted(notes, key=by_start)]
        diff = difflib.unified_diff(show(listed), show(found), 'vld2mid --list', 'mido', lineterm='')
        fail(f'{name}: mido\'s notes differ from the listing (track start end channel note velocity)',
             '\n'.join(diff))
    if abs(midi.length - seconds) > 0.05 + 1e-9:
        fail(f'{name}: mido\'s length {midi.length:.3f} s, the summary says {seconds} s')
    return midi


def sox_stat(wav, *effects):
    r = subprocess.run(['sox', wav, '-n'] + list(effects) + ['stat'], capture_output=True, text=True)
    return {' '.join(k.split()): float(v) for k, v in re.findall(r'^([A-Za-z ]+):\s+(-?[\d.]+)$', r.stderr, re.M)}


def render(work, name, mid, seconds, checks):
    wav = os.path.join(work, name + '.wav')
    r = run(['fluidsynth', '-ni', '-g', '1', '-F', wav, '-r', '22050', SOUNDFONT, mid], work)
    if r.returncode != 0 or 'error' in (r.stdout + r.stderr).lower() or not os.path.exists(wav):
        fail(f'{name}: fluidsynth exit code {r.returncode}', r.stdout + r.stderr)
        return
    loudest = sox_stat(wav).get('Maximum amplitude', 0)
    if loudest <= 0.01:
        fail(f'{name}: silent, maximum amplitude {loudest}')
    if checks.get('length'):
        trimmed = os.path.join(work, name + '-trim.wav')
        subprocess.run(['sox', wav, trimmed, 'reverse', 'silence', '1', '0.01', '-40d', 'reverse'], check=True)
        audible = float(subprocess.run(['soxi', '-D', trimmed], capture_output=True, text=True).stdout)
        if not seconds - 0.05 <= audible <= seconds + 0.8:
            fail(f'{name}: sounds for {audible:.2f} s, the piece lasts {seconds} s')
    for start, length, hz in checks.get('frequencies', []):
        heard = sox_stat(wav, 'remix', '1', 'trim', str(start), str(length)).get('Rough frequency', 0)
        if abs(heard - hz) > 0.03 * hz:
            fail(f'{name}: {heard:.0f} Hz from {start} s, expected {hz} Hz')


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    vlc3, vld2mid = map(os.path.abspath, sys.argv[1:])
    try:
        import mido
    except ImportError:
        print('skipped: mido is missing (Debian package python3-mido)')
        return 77
    for tool, package in (('fluidsynth', 'fluidsynth'), ('sox', 'sox'), ('soxi', 'sox')):
        if not shutil.which(tool):
            print(f'skipped: {tool} is missing (Debian package {package})')
            return 77
    if not os.path.exists(SOUNDFONT):
        print(f'skipped: {SOUNDFONT} is missing (Debian package fluid-soundfont-gm)')
        return 77

    began = time.monotonic()
    with tempfile.TemporaryDirectory() as work:
        examples = [(os.path.basename(p)[:-4], None, []) for p in sorted(glob.glob(os.path.join(EXAMPLES, '*.vls')))]
        if not examples:
            fail('no examples/*.vls found')
        exported = {}
        for name, source, switches in examples + SOURCES:
            before = len(failures)
            vld = compile_source(vlc3, work, name, source)
            result = vld and export(vld2mid, work, name, vld, switches)
            if result and check_with_mido(mido, name, *result):
                exported[name] = result
            if len(failures) > before and source:
                print('  source:\n    ' + with_assignment(source).replace('\n', '\n    '))

        tempo = exported.get('tempo')
        if tempo and abs(mido.MidiFile(tempo[0]).length - 1.5) > 1e-6:
            fail(f'tempo: a quarter note at 120 and one at 60 last {mido.MidiFile(tempo[0]).length} s, not 1.5 s')

        # The checks above can fail: a truncated file is refused by mido and
        # reported by fluidsynth.
        if 'first_song' in exported:
            truncated = os.path.join(work, 'truncated.mid')
            with open(exported['first_song'][0], 'rb') as f, open(truncated, 'wb') as out:
                out.write(f.read()[:-7])
            try:
                mido.MidiFile(truncated)
                fail('mido read a truncated file without complaint')
            except Exception:
                pass
            r = run(['fluidsynth', '-ni', '-F', os.path.join(work, 't.wav'), SOUNDFONT, truncated], work)
            if 'error' not in r.stderr.lower():
                fail('fluidsynth rendered a truncated file without an error', r.stderr)

        for name, checks in RENDERS:
            if name in exported:
                render(work, name, exported[name][0], exported[name][2], checks)

    count = len(examples) + len(SOURCES)
    print(f'{count} pieces, {len(RENDERS)} renders, {len(failures)} failed, {time.monotonic() - began:.1f} s')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
