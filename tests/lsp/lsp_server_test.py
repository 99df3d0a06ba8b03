#!/usr/bin/env python3
"""vls-language-server end to end: a client that speaks the protocol over the
server's standard input and output, as an editor does.

    lsp_server_test.py SERVER SOURCE_DIR
"""
import json
import os
import subprocess
import sys
import tempfile
import unittest

SERVER = None
ROOT = None


def uri_of(path):
    return 'file://' + path


class Client:
    def __init__(self, options=None):
        self.proc = subprocess.Popen([SERVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 0
        self.notes = []
        if options is not False:
            params = {'processId': None, 'rootUri': None, 'capabilities': {}}
            if options is not None:
                params['initializationOptions'] = options
            self.request('initialize', params)
            self.notify('initialized', {})

    def send_raw(self, body):
        self.proc.stdin.write(b'Content-Length: %d\r\n\r\n' % len(body) + body)
        self.proc.stdin.flush()

    def send(self, message):
        self.send_raw(json.dumps(message).encode())

    def read(self):
        length = None
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise EOFError('the server closed its output')
            if line in (b'\r\n', b'\n'):
                break
            name, _, value = line.decode().partition(':')
            if name.lower() == 'content-length':
                length = int(value)
        return json.loads(self.proc.stdout.read(length))

    def response(self, request_id):
        while True:
            message = self.read()
            if message.get('id') == request_id and 'method' not in message:
                return message
            self.notes.append(message)

    def request(self, method, params=None):
        self.next_id += 1
        message = {'jsonrpc': '2.0', 'id': self.next_id, 'method': method}
        if params is not None:
            message['params'] = params
        self.send(message)
        reply = self.response(self.next_id)
        if 'error' in reply:
            raise RuntimeError(reply['error'])
        return reply['result']

    def notify(self, method, params):
        self.send({'jsonrpc': '2.0', 'method': method, 'params': params})

    def diagnostics(self, uri):
        """The next diagnostics published for `uri`."""
        while True:
            for i, note in enumerate(self.notes):
                if note.get('method') == 'textDocument/publishDiagnostics' and note['params']['uri'] == uri:
                    del self.notes[i]
                    return note['params']['diagnostics']
            self.notes.append(self.read())

    def open(self, path, text, version=1):
        uri = uri_of(path)
        self.notify('textDocument/didOpen',
                    {'textDocument': {'uri': uri, 'languageId': 'vls', 'version': version, 'text': text}})
        return uri

    def change(self, uri, text, version):
        self.notify('textDocument/didChange',
                    {'textDocument': {'uri': uri, 'version': version}, 'contentChanges': [{'text': text}]})

    def at(self, method, uri, line, character):
        return self.request(method, {'textDocument': {'uri': uri}, 'position': {'line': line, 'character': character}})

    def close(self):
        self.request('shutdown')
        self.notify('exit', None)
        return self.wait()

    def wait(self):
        code = self.proc.wait(timeout=10)
        self.proc.stdin.close()
        self.proc.stdout.close()
        return code


def short(diagnostics):
    """Each diagnostic as (line, start, end, severity, message)."""
    return [(d['range']['start']['line'], d['range']['start']['character'], d['range']['end']['character'],
             d['severity'], d['message']) for d in diagnostics]


ASSIGN = '.ASSIGN 1 {midi1}\n'


class Diagnostics(unittest.TestCase):
    def setUp(self):
        self.client = Client()
        self.dir = tempfile.mkdtemp(prefix='vls-lsp-')

    def tearDown(self):
        self.assertEqual(self.client.close(), 0)

    def check(self, text, options_path='song.vls'):
        uri = self.client.open(os.path.join(self.dir, options_path), text)
        return short(self.client.diagnostics(uri))

    def test_errors_and_warnings_at_their_commands(self):
        cases = [
            (ASSIGN + '(t1) o4 l4 c d e f o10 g\n', [(1, 20, 22, 1, 'octave parameter is out of range(-1 - 9).')]),
            # The compiler's caret stands just behind the stray `)`.
            (ASSIGN + '(t1) o4 l4 c d ) e\n', [(1, 16, 17, 2, 'unknown MML.')]),
            # Columns count UTF-16 units: three kana are nine bytes but three units.
            (ASSIGN + '(t1) [COMMENT ドレミ] o10 c\n', [(1, 20, 22, 1, 'octave parameter is out of range(-1 - 9).')]),
            # A text without a final line end still places its last line.
            (ASSIGN + '(t1) c o10', [(1, 8, 10, 1, 'octave parameter is out of range(-1 - 9).')]),
            # A line a macro changed is marked whole: its columns are the expansion's.
            ('.define up {o10}\n' + ASSIGN + '(t1) c up c\n', [(2, 0, 11, 1, 'octave parameter is out of range(-1 - 9).')]),
            ('.define riff {c}\n.define RIFF {d}\nriff\n', [(1, 12, 13, 1, 'same macro name is already used.')]),
            (ASSIGN + '(t1) c d e\n', []),
            ('', []),
        ]
        for text, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(self.check(text), expected)

    def test_every_example_compiles_clean(self):
        examples = os.path.join(ROOT, 'examples')
        paths = [os.path.join(examples, name) for name in sorted(os.listdir(examples)) if name.endswith('.vls')]
        paths.append(os.path.join(examples, 'song_form', 'song_form.vls'))
        for path in paths:
            with self.subTest(path=path), open(path, encoding='utf-8') as f:
                uri = self.client.open(path, f.read())
                self.assertEqual(self.client.diagnostics(uri), [])

    def test_diagnostics_follow_the_edits(self):
        uri = self.client.open(os.path.join(self.dir, 'song.vls'), ASSIGN + '(t1) c o10 d\n')
        self.assertEqual(len(self.client.diagnostics(uri)), 1)
        self.client.change(uri, ASSIGN + '(t1) c o5 d\n', 2)
        self.assertEqual(self.client.diagnostics(uri), [])
        self.client.change(uri, ASSIGN + '(t1) c )\n', 3)
        self.assertEqual(short(self.client.diagnostics(uri)), [(1, 7, 8, 2, 'unknown MML.')])
        # A change that carries no version is taken all the same.
        self.client.notify('textDocument/didChange',
                           {'textDocument': {'uri': uri}, 'contentChanges': [{'text': ASSIGN + '(t1) c\n'}]})
        self.assertEqual(self.client.diagnostics(uri), [])

    def test_includes_come_from_open_documents_first(self):
        main = ASSIGN + '.include lib\n(t1) riff\n'
        lib = os.path.join(self.dir, 'lib.vlc')
        # lib.vlc is not on disk: only the editor holds it.
        lib_uri = self.client.open(lib, '.define riff {c d e}\n')
        self.assertEqual(self.client.diagnostics(lib_uri), [])
        uri = self.client.open(os.path.join(self.dir, 'song.vls'), main)
        self.assertEqual(self.client.diagnostics(uri), [])
        # A fault in the included text shows on the include line, pointing at its place.
        self.client.change(lib_uri, '.define riff {c d e}\n.define riff {f}\n', 2)
        self.assertEqual(self.client.diagnostics(lib_uri)[0]['message'], 'same macro name is already used.')
        diagnostics = self.client.diagnostics(uri)
        self.assertEqual(short(diagnostics), [(1, 9, 12, 1, 'lib.vlc, line 2: same macro name is already used.')])
        related = diagnostics[0]['relatedInformation'][0]['location']
        self.assertEqual((related['uri'], related['range']['start']['line']), (lib_uri, 1))
        # Closed, and not on disk: not found.
        self.client.notify('textDocument/didClose', {'textDocument': {'uri': lib_uri}})
        self.assertEqual(self.client.diagnostics(lib_uri), [])
        self.assertEqual(short(self.client.diagnostics(uri)), [(1, 9, 12, 1, 'file not found.')])

    def test_warning_level_setting(self):
        text = ASSIGN + '(t1) "ceg" c )\n'
        uri = self.client.open(os.path.join(self.dir, 'song.vls'), text)
        self.assertEqual([d[4] for d in short(self.client.diagnostics(uri))], ['unknown MML.'])
        self.client.notify('workspace/didChangeConfiguration', {'settings': {'vls': {'warningLevel': 4}}})
        self.assertEqual(len(self.client.diagnostics(uri)), 2)
        self.client.notify('workspace/didChangeConfiguration', {'settings': {'vls': {'warningLevel': 1}}})
        self.assertEqual(self.client.diagnostics(uri), [])

    def test_warning_level_from_initialization_options(self):
        client = Client({'warningLevel': 1})
        uri = client.open(os.path.join(self.dir, 'quiet.vls'), ASSIGN + '(t1) c )\n')
        self.assertEqual(client.diagnostics(uri), [])
        self.assertEqual(client.close(), 0)


SONG_FORM = os.path.join('examples', 'song_form', 'song_form.vls')


class Features(unittest.TestCase):
    """Hover, completion, definition and symbols on the examples."""

    @classmethod
    def setUpClass(cls):
        cls.client = Client()
        cls.path = os.path.join(ROOT, SONG_FORM)
        with open(cls.path, encoding='utf-8') as f:
            cls.text = f.read()
        cls.lines = cls.text.split('\n')
        cls.uri = cls.client.open(cls.path, cls.text)
        cls.client.diagnostics(cls.uri)

    @classmethod
    def tearDownClass(cls):
        assert cls.client.close() == 0

    def where(self, line_start, word, offset=0):
        """The line that begins with `line_start` and the column of `word` in it."""
        for number, line in enumerate(self.lines):
            if line.startswith(line_start):
                return number, line.index(word) + offset
        raise AssertionError('no line begins with ' + line_start)

    def hover(self, line_start, word, offset=0):
        result = self.client.at('textDocument/hover', self.uri, *self.where(line_start, word, offset))
        return result and result['contents']['value']

    def test_hover_one_name_of_each_family(self):
        cases = [
            ('.TEMPO', '.TEMPO', 2, 'the starting tempo, in quarter notes a minute'),
            ('.KEY', 'KEY', 0, '`.KEY key`'),
            ('(t1) [segno]', '[segno]', 2, 'the sign that `[d.s.]` goes back to'),
            ('(t1,2,3,4)', 'K.SIGN', 0, "the track's key signature"),
            ('(t1) @41', '@v', 1, 'channel volume'),
            ('(t1) @41', '@41', 0, 'program change'),
            ('(t1) @41', 'q7', 0, 'notes sound n/8 of their length'),
            ('(t3) @33', 'o2', 0, 'the octave'),
            ('(t4) @49', 'swell', 2, 'macro `swell`'),
            # o5 l4: d is D5 (MIDI 74), a quarter note of 48 clocks; g8 a G5 of 24.
            ('(t1) [segno]', ' d g8', 1, '**D5**: MIDI note 74, 48 clocks'),
            ('(t1) [segno]', 'g8', 0, '**G5**: MIDI note 79, 24 clocks'),
            ('(t1) [segno]', 'a2.', 0, '**A5**: MIDI note 81, 144 clocks'),
            ('(t1) [coda]', '<c2>', 1, '**C6**: MIDI note 84, 96 clocks'),
        ]
        for line_start, word, offset, expected in cases:
            with self.subTest(word=word):
                self.assertIn(expected, self.hover(line_start, word, offset) or '')

    def test_no_hover_in_comments(self):
        self.assertIsNone(self.client.at('textDocument/hover', self.uri, 0, 5))

    def test_completion(self):
        def labels(text, character=None):
            uri = self.client.open(os.path.join(ROOT, 'examples', 'song_form', 'scratch.vls'), text)
            self.client.diagnostics(uri)
            line = text.count('\n')
            last = text.split('\n')[-1]
            result = self.client.at('textDocument/completion', uri, line, len(last) if character is None else character)
            self.client.notify('textDocument/didClose', {'textDocument': {'uri': uri}})
            self.client.diagnostics(uri)
            return result['items']
        items = labels('.TE')
        self.assertIn('TEMPO', [i['label'] for i in items])
        self.assertEqual(items[0]['textEdit']['range']['start']['character'], 1)
        items = labels(ASSIGN + '(t1) c [BEND.S')
        self.assertIn('BEND.SWITCH', [i['label'] for i in items])
        self.assertEqual(items[0]['textEdit']['range']['start']['character'], 8)
        self.assertIn('midi10', [i['label'] for i in labels('.ASSIGN 1 {mi')])
        self.assertIn('fm1', [i['label'] for i in labels('.ASSIGN 1 {')])
        macros = [i['label'] for i in labels('.include motifs\n.define riff {c}\n' + ASSIGN + '(t1) ')]
        self.assertEqual(macros, ['riff', 'arp', 'swell'])

    def test_definition_across_the_include(self):
        motifs = os.path.join(ROOT, 'examples', 'song_form', 'motifs.vlc')
        result = self.client.at('textDocument/definition', self.uri, *self.where('(t2) arp', 'arp', 1))
        self.assertEqual(result['uri'], uri_of(motifs))
        self.assertEqual(result['range'], {'start': {'line': 6, 'character': 8}, 'end': {'line': 6, 'character': 11}})
        result = self.client.at('textDocument/definition', self.uri, *self.where('.include', 'motifs', 2))
        self.assertEqual(result['uri'], uri_of(motifs))
        self.assertIsNone(self.client.at('textDocument/definition', self.uri, *self.where('.TEMPO', 'TEMPO')))

    def test_symbols(self):
        symbols = self.client.request('textDocument/documentSymbol', {'textDocument': {'uri': self.uri}})
        named = [(s['name'], s['range']['start']['line']) for s in symbols]
        first = self.where('(t1,2,3,4)', '(')[0]
        self.assertEqual(named[:4], [('Track %d' % n, first) for n in (1, 2, 3, 4)])
        self.assertEqual([n for n, _ in named[4:]], ['segno'] * 4 + ['coda'] * 4)
        path = os.path.join(ROOT, 'examples', 'first_song.vls')
        with open(path, encoding='utf-8') as f:
            uri = self.client.open(path, f.read())
        symbols = self.client.request('textDocument/documentSymbol', {'textDocument': {'uri': uri}})
        self.assertEqual([s['name'] for s in symbols],
                         ['arp', 'Track 1', 'segno', 'coda', 'Track 2', 'Track 10', 'Track 3'])


class Protocol(unittest.TestCase):
    def error_of(self, client):
        return client.read()['error']['code']

    def test_malformed_messages_get_errors(self):
        client = Client()
        cases = [
            (b'{"jsonrpc": "2.0", "id": 9, "method": ', -32700),
            (b'[1, 2]', -32600),
            (b'{"jsonrpc": "2.0", "id": 9}', -32600),
            (b'{"jsonrpc": "2.0", "id": {"a": 1}, "method": "shutdown"}', -32600),
            (b'{"jsonrpc": "2.0", "id": 9, "method": "no/such"}', -32601),
            (b'{"jsonrpc": "2.0", "id": 9, "method": "textDocument/hover", "params": {}}', -32602),
            (b'{"jsonrpc": "2.0", "id": 9, "method": "textDocument/hover", "params": '
             b'{"textDocument": {"uri": "file:///nowhere.vls"}, "position": {"line": 0, "character": 0}}}', -32602),
        ]
        for body, code in cases:
            with self.subTest(body=body):
                client.send_raw(body)
                self.assertEqual(self.error_of(client), code)
        client.proc.stdin.write(b'Content-Type: nothing\r\n\r\n')
        client.proc.stdin.flush()
        self.assertEqual(self.error_of(client), -32700)
        # The server goes on answering.
        self.assertIsNone(client.request('shutdown'))
        client.notify('exit', None)
        self.assertEqual(client.wait(), 0)

    def test_requests_before_initialize(self):
        client = Client(options=False)
        client.send({'jsonrpc': '2.0', 'id': 1, 'method': 'textDocument/documentSymbol', 'params': {}})
        self.assertEqual(self.error_of(client), -32002)
        client.notify('exit', None)
        self.assertEqual(client.wait(), 1)

    def test_exit_codes(self):
        client = Client()
        client.notify('exit', None)
        self.assertEqual(client.wait(), 1)
        client = Client()
        client.proc.stdin.close()
        self.assertEqual(client.proc.wait(timeout=10), 1)
        client.proc.stdout.close()
        client = Client()
        client.request('shutdown')
        client.proc.stdin.close()
        self.assertEqual(client.proc.wait(timeout=10), 0)
        client.proc.stdout.close()


if __name__ == '__main__':
    SERVER, ROOT = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
