#!/usr/bin/env python3
"""Runs every source of a corpus again with its numbers at the ends of their
ranges, through the compiler's fuzz target.

    fuzz/number_sweep.py FUZZER CORPUS_DIR... [--all-numbers] [--jobs N]

Each number in a source is replaced, one at a time, by each of the values
below (with --all-numbers, also every number at once by each value). Random
mutation rarely reaches a value such as 2147483647, yet every command must
take it without overflow or fault. The run is deterministic. It prints each
distinct sanitizer report once, with an input that shows it, and exits 1
when there was any.
"""
import argparse
import concurrent.futures
import hashlib
import os
import re
import subprocess
import sys
import tempfile

VALUES = [b"2147483647", b"-2147483648", b"4294967295", b"$FFFFFFFF", b"99999999999",
          b"65535", b"65536", b"32767", b"-32768", b"255", b"256", b"-1", b"0"]
MAX_NUMBERS = 40   # sources with more numbers are skipped: too many variants
BATCH = 3000


def variants(data, all_numbers):
    numbers = list(re.finditer(rb"\d+", data))
    if not numbers or len(numbers) > MAX_NUMBERS:
        return
    for m in numbers:
        for v in VALUES:
            yield data[:m.start()] + v + data[m.end():]
    if all_numbers:
        for v in VALUES:
            yield re.sub(rb"\d+", v, data)


def run_batches(fuzzer, files):
    """Runs the files in batches; after a fault, goes on behind the input
    that showed it. Returns {place: (report line, input)}."""
    env = dict(os.environ, UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=0",
               ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1")
    found = {}
    i = 0
    while i < len(files):
        batch = files[i:i + BATCH]
        r = subprocess.run([fuzzer] + batch, env=env, capture_output=True, text=True, errors="replace")
        if r.returncode == 0:
            i += len(batch)
            continue
        out = (r.stdout + r.stderr).splitlines()
        running = [l.split("Running: ", 1)[1] for l in out if l.startswith("Running: ")]
        last = running[-1] if running else batch[0]
        reports = [l for l in out if "runtime error" in l or "ERROR:" in l or "left behind" in l]
        report = reports[0].split("/src/")[-1] if reports else "exit code %d" % r.returncode
        # One entry per place in the code: UBSan names it in its line, ASan
        # in the first frame of ours in its stack.
        frames = [l.split("/src/")[-1] for l in out if l.lstrip().startswith("#") and "/src/" in l]
        key = report.split(": runtime error")[0] if "runtime error" in report else \
            report + (" at " + frames[0] if frames else "")
        found.setdefault(key, (report, last))
        i += batch.index(last) + 1 if last in batch else len(batch)
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("fuzzer")
    ap.add_argument("corpus", nargs="+")
    ap.add_argument("--all-numbers", action="store_true")
    ap.add_argument("--jobs", type=int, default=2)
    args = ap.parse_args()

    with tempfile.TemporaryDirectory(prefix="vlc3-sweep-") as work:
        seen = set()
        files = []
        for corpus in args.corpus:
            for name in sorted(os.listdir(corpus)):
                with open(os.path.join(corpus, name), "rb") as f:
                    data = f.read()
                for v in variants(data, args.all_numbers):
                    digest = hashlib.sha1(v).hexdigest()
                    if digest in seen:
                        continue
                    seen.add(digest)
                    path = os.path.join(work, digest)
                    with open(path, "wb") as f:
                        f.write(v)
                    files.append(path)
        print("%d variants" % len(files), flush=True)
        share = (len(files) + args.jobs - 1) // args.jobs
        parts = [files[k:k + share] for k in range(0, len(files), share)]
        found = {}
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            for result in pool.map(lambda part: run_batches(args.fuzzer, part), parts):
                for key, seen_at in result.items():
                    found.setdefault(key, seen_at)
        for report, path in found.values():
            with open(path, "rb") as f:
                print("%s\n  input: %r" % (report, f.read()))
        print("%d distinct report(s)" % len(found))
        return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
