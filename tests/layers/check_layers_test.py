#!/usr/bin/env python3
"""The layer check finds what it is there to find, on small made-up trees."""
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

PAGE = """# Page

## Layers

| Layer | Job | May include |
|---|---|---|
| `low` | the floor | |
| `mid/special` | one file pair | `low` |
| `mid` | the middle | `low`, `mid/special` |
| `side` | beside the middle | `low` |
| `top` | the programs | `low`, `mid` |

## Next section
| `ignored` | not a layer row | |
"""

# (what the case shows, files {path: includes}, the findings expected, each a
# piece of one finding's text)
CASES = [
    ('downhill, same layer and the file layer are fine',
     {'low/a.h': [], 'mid/b.h': ['low/a.h', 'mid/special.h'], 'mid/special.h': ['low/a.h'],
      'mid/b.cpp': ['mid/b.h'], 'top/main.cpp': ['mid/b.h']}, []),
    ('an include up the order',
     {'low/a.h': ['mid/b.h'], 'mid/b.h': []}, ['low/a.h (low) includes "mid/b.h" (mid): up']),
    ('an include across to a layer the row does not list',
     {'side/s.h': [], 'top/t.cpp': ['side/s.h']}, ['top/t.cpp (top) includes "side/s.h" (side): across']),
    ('a file layer below its folder: the folder may not be included from it',
     {'mid/special.h': ['mid/b.h'], 'mid/b.h': []}, ['mid/special.h (mid/special) includes "mid/b.h" (mid): up']),
    ('a circle through a header and its .cpp',
     {'mid/x.h': [], 'mid/x.cpp': ['mid/x.h', 'mid/y.h'], 'mid/y.h': ['mid/x.h']},
     ['include circle: mid/x <-> mid/y']),
    ('a file no layer claims, an include of a missing file',
     {'loose.h': [], 'low/a.cpp': ['low/gone.h']}, ['loose.h: no layer', 'no file under src/']),
]


def run(files, page=PAGE):
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, 'docs'))
        with open(os.path.join(root, 'docs', 'architecture.md'), 'w') as f:
            f.write(page)
        for path, includes in files.items():
            full = os.path.join(root, 'src', path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, 'w') as f:
                f.write(''.join('#include "%s"\n' % i for i in includes) + '#include <vector>\n')
        return check_layers.check(root)[0]


def main():
    failures = []
    for what, files, expected in CASES:
        found = run(files)
        if len(found) != len(expected) or any(not any(e in f for f in found) for e in expected):
            failures.append('%s: expected %s, found %s' % (what, expected, found))
    # A row that lists a layer above itself is a fault of the page.
    bad_page = PAGE.replace('| `low` | the floor | |', '| `low` | the floor | `top` |')
    found = run({'low/a.h': []}, bad_page)
    if found != ['layer table: low lists top, which is not below it']:
        failures.append('a row listing a higher layer: found %s' % found)
    for failure in failures:
        print(failure)
    print('%d of %d cases failed' % (len(failures), len(CASES) + 1))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
