#!/usr/bin/env python3
"""Fails on mutable global state in the compiled programs.

Every object of the programs' libraries and of their mains is read with
objdump; a data object in a writable section (.data, .bss and their
thread-local forms, not the read-only-after-relocation .data.rel.ro) is
mutable state that outlives a run. A compile keeps its state in values the
run owns and hands down, so the only such objects allowed are those listed
below, each with the reason it must be global.

usage: check_globals.py BUILD_DIR
"""
import re
import subprocess
import sys
from pathlib import Path

ALLOWED = {
    # Constants built once, on first use, from the constant tables (the
    # bracket names, the event table); never written after that.
    "(anonymous namespace)::matchBracketName(Pos&)::index",
    "vld::(anonymous namespace)::layoutTokens(vld::EventRow const&)::tokens",
    "vld::(anonymous namespace)::rowIndex()::index",
    # The language server's command help, read once from the reference page
    # compiled into it.
    "commandDocs[abi:cxx11]()::docs",
    # A signal handler can only reach a global: the name of the temporary
    # output file it removes when vlc3 or vld2mid is interrupted.
    "(anonymous namespace)::g_temporaryFile",
}
WRITABLE = re.compile(r"^\.(data|bss|tdata|tbss)(\.|$)")


def objects(build: Path):
    for archive in sorted(build.glob("lib*.a")):
        listing = subprocess.run(["objdump", "-t", str(archive)], capture_output=True, text=True, check=True).stdout
        yield from listing.splitlines()
    for main in build.glob("CMakeFiles/*.dir/src/**/*main.cpp.o"):
        yield from subprocess.run(["objdump", "-t", str(main)], capture_output=True, text=True,
                                  check=True).stdout.splitlines()


def main() -> int:
    build = Path(sys.argv[1])
    found = []
    for line in objects(build):
        fields = line.split()
        # address, flags..., section, size, name: data objects carry the flag O.
        if len(fields) < 5 or "O" not in fields[1:-3]:
            continue
        section = fields[-3]
        if not WRITABLE.match(section) or section.startswith(".data.rel.ro"):
            continue
        found.append(fields[-1])
    names = subprocess.run(["c++filt"], input="\n".join(found), capture_output=True, text=True,
                           check=True).stdout.splitlines()
    bad = sorted({n for n in names if n and not n.startswith("guard variable for ") and n not in ALLOWED
                  and not n.startswith("DW.ref.")})
    for name in bad:
        print(f"mutable global: {name}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
