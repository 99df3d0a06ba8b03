#!/usr/bin/env bash
# `cmake --install` puts everything in place: the three programs, their
# manual pages, the documentation and the example pieces, and the installed
# programs compile, list and export an installed example. A configure
# without GoogleTest turns the tests off and keeps the programs.
#
#     tests/install/install_test.sh BUILD_DIR
#
# BUILD_DIR is a configured and built tree (the README's `build`).
set -euo pipefail
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"

docdir="$prefix/share/doc/vlc3"
for program in vlc3 vldump vld2mid; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not installed"
    [ -f "$prefix/share/man/man1/$program.1" ] || fail "the manual page of $program is not installed"
done
# The language server, when the build has it (it needs nlohmann-json): it
# answers an initialize and ends cleanly after shutdown and exit.
if [ -x "$build/vls-language-server" ]; then
    server="$prefix/bin/vls-language-server"
    [ -x "$server" ] || fail "bin/vls-language-server is not installed"
    frame() { printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
    { frame '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}'
      frame '{"jsonrpc":"2.0","id":2,"method":"shutdown"}'
      frame '{"jsonrpc":"2.0","method":"exit"}'; } | "$server" > "$work/lsp.out" ||
        fail "vls-language-server did not end with exit code 0"
    grep -q '"capabilities"' "$work/lsp.out" || fail "vls-language-server did not answer initialize"
fi
for page in README.md docs/guide.md docs/reference.md docs/from-other-mml.md docs/export.md \
            docs/performance.md docs/fuzzing.md docs/editor-support.md; do
    [ -f "$docdir/$page" ] || fail "$page is not installed"
done
for piece in "$source_dir"/examples/*.vls "$source_dir"/examples/*/*.vls; do
    relative=${piece#"$source_dir"/}
    [ -f "$docdir/$relative" ] || fail "$relative is not installed"
done

# The manual pages render without a warning.
if command -v groff > /dev/null; then
    for page in "$prefix"/share/man/man1/*.1; do
        warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff cannot render $(basename "$page")"
        [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    done
fi

# The installed programs on installed examples: compile, list, export.
mkdir "$work/run"
cd "$work/run"
"$prefix/bin/vlc3" "$docdir/examples/gs_band.vls" 2> "$work/vlc3.log" || fail "vlc3 gs_band.vls: $(cat "$work/vlc3.log")"
"$prefix/bin/vldump" gs_band.VLD > /dev/null || fail "vldump gs_band.VLD"
"$prefix/bin/vld2mid" -q gs_band.VLD || fail "vld2mid gs_band.VLD"
[ -s gs_band.mid ] || fail "vld2mid wrote no gs_band.mid"
(cd "$docdir/examples/song_form" && "$prefix/bin/vlc3" song_form.vls -o "$work/run/" 2> /dev/null) ||
    fail "vlc3 song_form.vls in its installed folder"
"$prefix/bin/vld2mid" -q song_form.VLD || fail "vld2mid song_form.VLD"
"$prefix/bin/vlc3" --version > /dev/null || fail "vlc3 --version"
cd "$work"

# Without GoogleTest the configure says the tests are off and builds the
# programs alone.
cmake -S "$source_dir" -B "$work/no-gtest" -G Ninja -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > "$work/configure.log" 2>&1 ||
    fail "configuring without GoogleTest: $(tail -5 "$work/configure.log")"
grep -q "the tests are off" "$work/configure.log" || fail "configuring without GoogleTest does not say that the tests are off"
if [ -f "$work/no-gtest/build.ninja" ]; then
    grep -q "vlc3_tests" "$work/no-gtest/build.ninja" && fail "without GoogleTest the tests are still built"
    for program in vlc3 vldump vld2mid; do
        grep -q "build $program:" "$work/no-gtest/build.ninja" || fail "without GoogleTest $program is not built"
    done
fi

if [ "$failures" -ne 0 ]; then
    echo "install test: $failures failure(s)"
    exit 1
fi
echo "install test: the programs, manual pages, documentation and examples are in place"
