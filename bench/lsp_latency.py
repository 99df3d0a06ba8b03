#!/usr/bin/env python3
"""How long vls-language-server takes to check a document: the time from a
didOpen or didChange sent to the diagnostics received, for a song of about
100 KB written by gen_song.py.

    bench/lsp_latency.py SERVER [--kb 100] [--edits 20] [--limit-ms 50]

It opens the song, then sends whole-document changes (each appends a note
to the last track line, as a user typing would), and prints the median and
the slowest time. It fails when the median is above the limit.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('server')
    parser.add_argument('--kb', type=float, default=100)
    parser.add_argument('--edits', type=int, default=20)
    parser.add_argument('--limit-ms', type=float, default=50)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix='vls-latency-')
    song = os.path.join(work, 'song.vls')
    subprocess.run([sys.executable, os.path.join(HERE, 'gen_song.py'), str(args.kb / 1024), song, '--seed', '1'],
                   check=True, stdout=subprocess.DEVNULL)
    with open(song, encoding='latin-1') as f:
        text = f.read()

    proc = subprocess.Popen([args.server], stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def send(message):
        body = json.dumps(message).encode()
        proc.stdin.write(b'Content-Length: %d\r\n\r\n' % len(body) + body)
        proc.stdin.flush()

    def read():
        length = 0
        while True:
            line = proc.stdout.readline()
            if line in (b'\r\n', b''):
                break
            if line.lower().startswith(b'content-length:'):
                length = int(line.split(b':')[1])
        return json.loads(proc.stdout.read(length))

    def diagnostics():
        while True:
            message = read()
            if message.get('method') == 'textDocument/publishDiagnostics':
                return message['params']['diagnostics']

    send({'jsonrpc': '2.0', 'id': 1, 'method': 'initialize', 'params': {'capabilities': {}}})
    read()
    uri = 'file://' + song
    times = []
    start = time.perf_counter()
    send({'jsonrpc': '2.0', 'method': 'textDocument/didOpen',
          'params': {'textDocument': {'uri': uri, 'languageId': 'vls', 'version': 1, 'text': text}}})
    found = diagnostics()
    times.append(time.perf_counter() - start)
    if any(d['severity'] == 1 for d in found):
        sys.exit('the song does not compile: %s' % found[:3])
    for version in range(2, args.edits + 2):
        text = text.rstrip('\n') + ' c\n'
        start = time.perf_counter()
        send({'jsonrpc': '2.0', 'method': 'textDocument/didChange',
              'params': {'textDocument': {'uri': uri, 'version': version}, 'contentChanges': [{'text': text}]}})
        diagnostics()
        times.append(time.perf_counter() - start)
    send({'jsonrpc': '2.0', 'id': 2, 'method': 'shutdown'})
    read()
    send({'jsonrpc': '2.0', 'method': 'exit'})
    proc.wait()

    median = statistics.median(times) * 1000
    print('source %.0f KB, %d checks: median %.1f ms, slowest %.1f ms (limit %.0f ms)'
          % (len(text.encode('latin-1')) / 1024, len(times), median, max(times) * 1000, args.limit_ms))
    if median > args.limit_ms:
        sys.exit(1)


if __name__ == '__main__':
    main()
