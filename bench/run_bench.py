#!/usr/bin/env python3
"""Benchmark of vlc3: realistic songs of about 1, 10 and 50 MB, their export
to MIDI files by vld2mid, adversarial shapes, and a per-note comparison with
abc2midi.

    bench/run_bench.py [--vlc3 PATH] [--vld2mid PATH] [--sizes 1,10,50]
                       [--repeat N] [--no-export] [--no-adversarial]
                       [--no-peer] [--work DIR]

For every song it reports the best wall time of N runs, source MB/s, peak
resident memory (of the compiler process, from wait4), the time of plainly
reading the same file (cat to /dev/null) and the ratio of the two, and checks
the memory bound 3 x (source + output) + 16 MB. Between sizes it reports the
growth factor of the time against that of the source.

The export plays each song's compiled file into a MIDI file with vld2mid
(beside vlc3 unless --vld2mid names it; up to the longest music it allows,
so that the whole song is played) and is measured the same way. It checks
that exporting a song takes less time than compiling it, and the memory
bound 2 x (compiled file + MIDI file) + 16 MB.

The peer comparison installs abc2midi (Debian package abcmidi) when it is
missing, writes an ABC tune with the notes, bars and tracks of the 10 MB song
and compares the time per note.
"""
import argparse
import json
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TIME = os.path.exists('/usr/bin/time')  # GNU time, for the peak memory
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import gen_song  # noqa: E402
import adversarial  # noqa: E402


def run_measured(argv, cwd, stdout=subprocess.DEVNULL):
    """Runs a program; returns (wall seconds, peak RSS bytes, exit code).
    The peak comes from GNU time, which forks the program from its own small
    process (a child forked from this Python process would inherit its
    resident size before the exec and report that)."""
    with tempfile.NamedTemporaryFile('r', suffix='.rss') as rss_file:
        timed = ['/usr/bin/time', '-q', '-f', '%M', '-o', rss_file.name] + argv if TIME else argv
        start = time.perf_counter()
        proc = subprocess.run(timed, cwd=cwd, stdout=stdout, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        rss = 0
        if TIME:
            text = rss_file.read().strip().splitlines()
            rss = int(text[-1]) * 1024 if text and text[-1].isdigit() else 0
    return wall, rss, proc.returncode


def best_of(argv, cwd, repeat):
    runs = [run_measured(argv, cwd) for _ in range(repeat)]
    wall = min(r[0] for r in runs)
    rss = max(r[1] for r in runs)
    codes = {r[2] for r in runs}
    return wall, rss, codes.pop() if len(codes) == 1 else sorted(codes)


def floor_time(path, cwd, repeat):
    return best_of(['cat', path], cwd, repeat)[0]


def mb(n):
    return n / 1e6


def machine():
    cpu = ''
    try:
        for line in open('/proc/cpuinfo'):
            if line.startswith('model name'):
                cpu = line.split(':', 1)[1].strip()
                break
    except OSError:
        pass
    mem = os.sysconf('SC_PAGE_SIZE') * os.sysconf('SC_PHYS_PAGES') / 2**30
    return '%s, %d cores, %.0f GiB, %s' % (cpu or platform.processor(), os.cpu_count(), mem, platform.platform())


def realistic(vlc3, sizes, repeat, work):
    print('== realistic songs')
    print('%8s %10s %9s %9s %10s %9s %9s %7s  %s' % (
        'source', 'output', 'time s', 'MB/s', 'peak MB', 'bound MB', 'floor s', 'x floor', 'exit'))
    results = []
    for size in sizes:
        path = os.path.join(work, 'song%d.vls' % size)
        stats = gen_song.generate(int(size * 1e6), path)
        vld = os.path.join(work, 'song%d.VLD' % size)
        wall, rss, code = best_of([vlc3, os.path.basename(path)], work, repeat)
        out = os.path.getsize(vld) if os.path.exists(vld) else 0
        floor = floor_time(path, work, repeat)
        bound = 3 * (stats['bytes'] + out) + 16e6
        r = dict(size=size, bytes=stats['bytes'], out=out, wall=wall, rss=rss, floor=floor, code=code,
                 notes=stats['notes'], bars=stats['bars'], tracks=stats['tracks'], bound=bound, vld=vld)
        results.append(r)
        print('%8.1f %10.1f %9.3f %9.1f %10.1f %9.1f %9.4f %7.1f  %s%s' % (
            mb(r['bytes']), mb(out), wall, mb(r['bytes']) / wall, mb(rss), mb(bound), floor, wall / floor, code,
            '' if rss <= bound else '  OVER MEMORY BOUND'))
    for a, b in zip(results, results[1:]):
        grow_src = b['bytes'] / a['bytes']
        grow_time = b['wall'] / a['wall']
        print('growth %g -> %g MB: source x%.2f, time x%.2f (per byte x%.2f)' % (
            a['size'], b['size'], grow_src, grow_time, grow_time / grow_src))
    return results


def export_songs(vld2mid, songs, repeat, work):
    """Exports every compiled song and prints each check's verdict."""
    print('== export to MIDI (vld2mid)')
    print('%8s %10s %10s %9s %10s %10s %9s %5s  %s' % (
        'source', 'VLD', 'MIDI', 'time s', 'compile s', 'peak MB', 'bound MB', 'exit', 'checks'))
    for song in songs:
        if not os.path.exists(song['vld']):
            print('%8.1f  no compiled file: nothing to export' % mb(song['bytes']))
            continue
        mid = os.path.join(work, 'song%g.mid' % song['size'])
        argv = [vld2mid, '-q', '--max-minutes', '1440', os.path.basename(song['vld']), '-o', os.path.basename(mid)]
        wall, rss, code = best_of(argv, work, repeat)
        midi = os.path.getsize(mid) if os.path.exists(mid) else 0
        bound = 2 * (song['out'] + midi) + 16e6
        checks = []
        if code != 0:
            checks.append('EXIT %s' % code)
        checks.append('time %s' % ('pass' if wall < song['wall'] else 'FAIL: not faster than the compile'))
        checks.append('memory %s' % ('pass' if rss <= bound else 'FAIL: OVER MEMORY BOUND'))
        song['export'] = wall
        print('%8.1f %10.1f %10.1f %9.3f %10.3f %10.1f %9.1f %5s  %s' % (
            mb(song['bytes']), mb(song['out']), mb(midi), wall, song['wall'], mb(rss), mb(bound), code,
            ', '.join(checks)))
    done = [song for song in songs if 'export' in song]
    for a, b in zip(done, done[1:]):
        grow_vld = b['out'] / max(1, a['out'])
        grow_time = b['export'] / a['export']
        print('growth %g -> %g MB: compiled file x%.2f, export time x%.2f (per byte x%.2f)' % (
            a['size'], b['size'], grow_vld, grow_time, grow_time / grow_vld))


def adversarial_shapes(vlc3, repeat, work):
    print('== adversarial shapes')
    print('%-40s %9s %9s %10s  %s' % ('shape', 'source MB', 'time s', 'peak MB', 'exit / first message'))
    for name, text in adversarial.shapes():
        folder = os.path.join(work, 'adv')
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, 'shape.vls')
        with open(path, 'wb') as f:
            f.write(text)
        wall, rss, code = best_of([vlc3, '-W1', 'shape.vls'], folder, repeat)
        message = ''
        if code != 0:
            err = subprocess.run([vlc3, 'shape.vls'], cwd=folder, capture_output=True).stderr.decode('latin-1')
            lines = [l for l in err.splitlines()[2:] if l.strip()]
            message = lines[0][:70] if lines else ''
        print('%-40s %9.2f %9.3f %10.1f  %s %s' % (name, mb(len(text)), wall, mb(rss), code, message))


def ensure_abc2midi():
    if shutil.which('abc2midi'):
        return shutil.which('abc2midi')
    print('abc2midi is missing: installing the Debian package abcmidi')
    env = dict(os.environ, DEBIAN_FRONTEND='noninteractive')
    subprocess.run(['apt-get', 'update'], env=env, stdout=subprocess.DEVNULL, check=False)
    subprocess.run(['apt-get', 'install', '-y', 'abcmidi'], env=env, stdout=subprocess.DEVNULL, check=False)
    return shutil.which('abc2midi')


def abc_tune(notes, bars, tracks, path, bars_per_tune=200):
    """ABC tunes with `tracks` voices and, over all voices, about `bars` bars
    and `notes` notes (the counts of the vlc3 song). abc2midi refuses one
    very large MIDI file, so the music is cut into tunes of `bars_per_tune`
    bars per voice, all in one file and compiled in one run."""
    per_voice_bars = max(1, bars // tracks)
    notes_per_bar = max(1, round(notes / max(1, bars)))
    # 4/4 with L:1/16: 16 units per bar, shared among the bar's notes.
    lengths = [16 // notes_per_bar] * notes_per_bar
    lengths[-1] += 16 - sum(lengths)
    pitches = 'CDEFGABcdefgab'
    out = []
    count = 0
    tune = 0
    for first in range(0, per_voice_bars, bars_per_tune):
        tune += 1
        out += ['X:%d' % tune, 'T:Benchmark %d' % tune, 'M:4/4', 'L:1/16', 'Q:1/4=138', 'K:D']
        for v in range(1, tracks + 1):
            out.append('V:%d' % v)
            out.append('%%%%MIDI channel %d' % v)
            line = []
            for b in range(first, min(per_voice_bars, first + bars_per_tune)):
                line.append(''.join('%s%s' % (pitches[(b * 7 + i * 3 + v) % len(pitches)], '' if ln == 1 else ln)
                                    for i, ln in enumerate(lengths)))
                count += len(lengths)
                if len(line) == 8:
                    out.append('|'.join(line) + '|')
                    line = []
            if line:
                out.append('|'.join(line) + '|')
        out.append('')
    with open(path, 'w') as f:
        f.write('\n'.join(out) + '\n')
    return count, tune


def peer(vlc3, song, repeat, work):
    print('== peer: abc2midi')
    abc2midi = ensure_abc2midi()
    if not abc2midi:
        print('abc2midi could not be installed; no comparison')
        return
    folder = os.path.join(work, 'peer')
    os.makedirs(folder, exist_ok=True)
    notes, tunes = abc_tune(song['notes'], song['bars'], song['tracks'], os.path.join(folder, 'peer.abc'))
    wall, rss, code = best_of([abc2midi, 'peer.abc'], folder, repeat)
    midis = [n for n in os.listdir(folder) if n.endswith('.mid')]
    ours = song['wall'] / song['notes']
    theirs = wall / notes
    print('abc2midi: %d notes, %d bars, %d voices in %d tunes (%d MIDI files), %.3f s (exit %s), '
          '%.1f MB peak -> %.0f ns/note' % (notes, song['bars'], song['tracks'], tunes, len(midis), wall, code,
                                            mb(rss), theirs * 1e9))
    print('vlc3:     %d notes, %d bars, %d tracks, %.3f s -> %.0f ns/note' % (
        song['notes'], song['bars'], song['tracks'], song['wall'], ours * 1e9))
    print('vlc3 is %.1f times faster per note' % (theirs / ours))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--vlc3', default=os.path.join(ROOT, 'build-bench', 'vlc3'))
    ap.add_argument('--vld2mid', help='the exporter (default: beside vlc3)')
    ap.add_argument('--sizes', default='1,10,50')
    ap.add_argument('--repeat', type=int, default=3)
    ap.add_argument('--no-export', action='store_true')
    ap.add_argument('--no-adversarial', action='store_true')
    ap.add_argument('--no-peer', action='store_true')
    ap.add_argument('--work')
    args = ap.parse_args()
    vlc3 = os.path.abspath(args.vlc3)
    if not os.path.exists(vlc3):
        sys.exit('no compiler at %s: build it with\n  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release '
                 '-DVLC3_TESTS=OFF && cmake --build build-bench -j2' % vlc3)
    work = args.work or tempfile.mkdtemp(prefix='vlc3-bench-')
    os.makedirs(work, exist_ok=True)
    print('machine: %s' % machine())
    print('date:    %s' % time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime()))
    print('vlc3:    %s' % vlc3)
    sizes = [float(s) for s in args.sizes.split(',')]
    results = realistic(vlc3, sizes, args.repeat, work)
    if not args.no_export:
        vld2mid = os.path.abspath(args.vld2mid or os.path.join(os.path.dirname(vlc3), 'vld2mid'))
        if os.path.exists(vld2mid):
            export_songs(vld2mid, results, args.repeat, work)
        else:
            print('== export: no vld2mid at %s' % vld2mid)
    if not args.no_adversarial:
        adversarial_shapes(vlc3, args.repeat, work)
    if not args.no_peer:
        song = min(results, key=lambda r: abs(r['size'] - 10))
        peer(vlc3, song, args.repeat, work)
    if not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
