// The command line as a user meets it, through the real binary: switches,
// help texts, source lookup, destination names, standard input and output,
// the error file, diagnostics and failures to write.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/harness.h"
#include "support/vld_reader.h"

namespace {

using Args = std::vector<std::string>;

constexpr const char* kUsageFirst = "usage: vlc3 [-switches] source[.VLS] [-o destination[.VLD]] [-e errfile]\n";
constexpr const char* kUsageLast = "Some FM/ADPCM MMLs will be ignored. (however to be supported)\n";

std::string joined(const Args& args) {
    std::string out = "vlc3";
    for (const std::string& a : args) out += " " + a;
    return out;
}

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// What follows the exact leading text of standard error.
enum class Tail { None, Usage, Tips };

void expectTail(const std::string& rest, Tail tail) {
    switch (tail) {
        case Tail::None:
            EXPECT_EQ(rest, "");
            break;
        case Tail::Usage:
            EXPECT_EQ(rest.substr(0, std::string(kUsageFirst).size()), kUsageFirst) << rest;
            EXPECT_TRUE(rest.ends_with(std::string("\n\n") + kUsageLast)) << rest;
            EXPECT_EQ(lineCount(rest), 13u) << rest;
            break;
        case Tail::Tips:
            EXPECT_EQ(rest.substr(0, 10), "vlc3 tips\n") << rest;
            EXPECT_EQ(lineCount(rest), 5u) << rest;
            break;
    }
}

// Standard error is the banner (or not), then `lead` exactly, then the tail.
void expectStderr(const std::string& stderrText, bool banner, const std::string& lead, Tail tail) {
    EXPECT_EQ(hasBanner(stderrText), banner) << stderrText;
    std::string rest = withoutBanner(stderrText);
    ASSERT_EQ(rest.substr(0, lead.size()), lead);
    expectTail(rest.substr(lead.size()), tail);
}

struct SwitchCase {
    Args args;
    int exitCode;
    bool banner;
    std::string lead;
    Tail tail = Tail::None;
};

TEST(CommandLine, SwitchesHelpAndFatalMessages) {
    const SwitchCase cases[] = {
        {{}, 0, true, "", Tail::Usage},
        {{"-h"}, 0, true, "", Tail::Usage},
        {{"-h2", "song"}, 0, true, "", Tail::Usage},
        {{"-H0", "song"}, 0, true, "", Tail::Usage},
        {{"-h1"}, 0, true, "", Tail::Tips},
        {{"song", "-H1"}, 0, true, "", Tail::Tips},
        {{"-?"}, 0, false, "", Tail::Usage},
        {{"song", "-x?"}, 0, false, "", Tail::Usage},
        {{"-1", "song"}, 7, false, "Error: 1: it's a invalid switch.\n"},
        {{"-w2-", "song"}, 7, false, "Error: -: it's a invalid switch.\n"},
        {{"-"}, 11, true, "Error: destination file is not specified.\n"},
        {{"a", "b"}, 8, false, "Error: too many sources are specified.\n"},
        {{"song", "-"}, 8, false, "Error: too many sources are specified.\n"},
        {{"-c", "-o", "x", "song"}, 8, true, "You cannot use both -c and -o.\n"},
        {{"-ox", "song", "-C"}, 8, true, "You cannot use both -c and -o.\n"},
        {{"-W", "song"}, 7, true, "You cannot omit -w's parameter.\n"},
        {{"-lw", "song"}, 7, true, "You cannot omit -w's parameter.\n"},
        {{"song", "-o"}, 7, false, "Error: -o: no VLD file specified.\n"},
        {{"song", "-e"}, 7, false, "Error: -e: no output file specified.\n"},
        {{"-e", "nodir/err.txt", "song"}, 7, false, "Error: -e: failed to redirect.\n"},
        {{"-w99999999999", "song"}, 1, false, "invalid number.\n", Tail::Usage},
        {{"-w2147483648", "song"}, 1, false, "invalid number.\n", Tail::Usage},
        {{"-w2"}, 1, true, "Error: source file is not specified.\n"},
        {{"missing"}, 1, true, "missing\tError: file not found.\n"},
        {{"-o", "nodir/x", "song"}, 1, true, "nodir/x.VLD\tError: destination file can't open."},
        {{"-o", "nodir/", "song"}, 1, true, "nodir/song.VLD\tError: destination file can't open."},
        {{"--helpme"}, 7, false, "Error: -: it's a invalid switch.\n"},
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(joined(c.args));
        TempDir dir;
        dir.write("song.vls", "");
        RunResult r = runVlc3In(dir, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        expectStderr(r.stderrText, c.banner, c.lead, c.tail);
        EXPECT_TRUE(r.stdoutBytes.empty());
        EXPECT_EQ(dir.list(), Args{"song.vls"}) << "nothing may be written";
    }
}

TEST(CommandLine, UnknownLettersAndNumbersAreAcceptedSilently) {
    for (const Args& args : {Args{"-x", "song"}, Args{"-w2z3v9", "song"}, Args{"song", "-QRS", "-w0"},
                             Args{"-w2147483647", "song"}}) {
        SCOPED_TRACE(joined(args));
        TempDir dir;
        dir.write("song.vls", "");
        RunResult r = runVlc3In(dir, args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(stderrWithoutBanner(r), "");
        EXPECT_EQ(toHex(r.vldBytes), kEmptyVldHex);
    }
}

// Every candidate holds a line the compiler stops at, so the message names
// the file that was read.
TEST(CommandLine, LooksUpTheSourceNameThenEachExtension) {
    struct Case {
        Args present;
        std::string read;
    };
    const Case cases[] = {
        {{"song", "song.VLS", "song.vls"}, "song"},
        {{"song.VLS", "song.VL3", "song.vls"}, "song.VLS"},
        {{"song.VL3", "song.OPM", "song.vls"}, "song.VL3"},
        {{"song.OPM", "song.vls"}, "song.OPM"},
        {{"song.vls", "song.vl3", "song.opm"}, "song.vls"},
        {{"song.vl3", "song.opm"}, "song.vl3"},
        {{"song.opm"}, "song.opm"},
        {{"song/", "song.VL3"}, "song.VL3"},  // a directory is no source
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const std::string& name : c.present) {
            if (name.ends_with("/")) {
                dir.makeDir(name);
            } else {
                dir.write(name, "(K\n");
            }
        }
        RunResult r = runVlc3In(dir, {"song"});
        SCOPED_TRACE(c.read);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(stderrWithoutBanner(r), c.read + "\t1: Error: UNKNOWN MML\n(K\n  ^\n");
    }
}

TEST(CommandLine, NamesTheCompiledFile) {
    struct Case {
        Args files;
        Args args;
        std::string written;
    };
    const Case cases[] = {
        {{"song.vls"}, {"song.vls"}, "song.VLD"},
        {{"song.vls"}, {"song"}, "song.VLD"},
        {{"my.song.vls"}, {"my.song"}, "my.song.VLD"},
        {{"dir/song.vls"}, {"dir/song.vls"}, "song.VLD"},
        {{"dir/song.vls"}, {"dir/song"}, "song.VLD"},
        {{"dir/song.vls"}, {"dir/song.vls", "-o", "out.bin"}, "out.VLD"},
        {{"song.vls"}, {"song.vls", "-oOUT"}, "out.VLD"},
        {{"song.vls"}, {"song.vls", "-o", "OUT"}, "OUT.VLD"},
        {{"song.vls"}, {"-o", ".hidden", "song.vls"}, ".hidden.VLD"},
        {{"song.vls", "sub/keep"}, {"-o", "sub/out.x", "song.vls"}, "sub/out.VLD"},
        {{"a.b/song"}, {"a.b/song"}, "a.VLD"},  // the last '.' may sit in a directory name
        // A destination that is a directory receives the file the source
        // would give in the current directory.
        {{"song.vls", "out/keep"}, {"song.vls", "-o", "out/"}, "out/song.VLD"},
        {{"song.vls", "out/keep"}, {"song.vls", "-o", "out"}, "out/song.VLD"},
        {{"sub/my.song.vls", "out.d/keep"}, {"-o", "out.d", "sub/my.song"}, "out.d/my.song.VLD"},
        {{"song.vls"}, {"song.vls", "-o", "."}, "song.VLD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(joined(c.args));
        TempDir dir;
        for (const std::string& name : c.files) dir.write(name, "");
        RunResult r = runVlc3In(dir, c.args, {}, c.written);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(stderrWithoutBanner(r), "");
        EXPECT_EQ(toHex(r.vldBytes), kEmptyVldHex);
        EXPECT_EQ(dir.list().size(), c.files.size() + (c.written.find('/') == std::string::npos ? 1 : 0))
            << "only the compiled file is new";
    }
}

// The long options answer on standard output, whatever else is given.
TEST(CommandLine, LongOptionsShowTheUsageAndTheVersion) {
    std::string usage = kUsageFirst;
    for (const Args& args : {Args{"--help"}, Args{"song", "--help"}, Args{"-w2", "--help", "missing"}}) {
        SCOPED_TRACE(joined(args));
        TempDir dir;
        dir.write("song.vls", "");
        RunResult r = runVlc3In(dir, args);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.stderrText, "");
        std::string text = textOf(r.stdoutBytes);
        EXPECT_EQ(text.substr(0, usage.size()), usage);
        EXPECT_TRUE(text.ends_with(std::string("\n\n") + kUsageLast)) << text;
        EXPECT_EQ(lineCount(text), 13u);
        EXPECT_EQ(dir.list(), Args{"song.vls"});
    }
    TempDir dir;
    RunResult version = runVlc3In(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.stderrText, "");
    EXPECT_EQ(textOf(version.stdoutBytes), "vlc3 0.78 (VLS to VLD version 3 compiler)\n");
}

TEST(CommandLine, AbsoluteSourcePathWritesIntoTheCurrentDirectory) {
    TempDir dir;
    dir.write("sub/song.vls", "");
    RunResult r = runVlc3In(dir, {dir.pathOf("sub/song.vls")});
    EXPECT_EQ(r.exitCode, 0) << r.stderrText;
    EXPECT_TRUE(r.vldExists);
    EXPECT_FALSE(dir.exists("sub/song.VLD"));
}

TEST(CommandLine, ReplacesAnOldCompiledFileOnlyOnSuccess) {
    TempDir dir;
    dir.write("song.VLD", "old");
    dir.write("song.vls", "(K");
    RunResult failed = runVlc3In(dir, {"song"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(textOf(failed.vldBytes), "old");

    dir.write("song.vls", "");
    RunResult done = runVlc3In(dir, {"song"});
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_EQ(toHex(done.vldBytes), kEmptyVldHex);
    EXPECT_EQ(dir.list(), (Args{"song.VLD", "song.vls"}));
}

TEST(CommandLine, DestinationThatCannotBeReplacedFailsCleanly) {
    TempDir dir;
    dir.write("song.vls", "");
    dir.makeDir("song.VLD");
    RunResult r = runVlc3In(dir, {"song"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(stderrWithoutBanner(r), "song.VLD\tError: destination file can't open.");
    EXPECT_EQ(dir.list(), (Args{"song.VLD", "song.vls"})) << "no temporary file is left behind";
}

TEST(StandardStreams, CompiledFileGoesToStandardOutputUnderC) {
    const std::string source = "/ a piece with nothing in it yet\r\n\t\r\n";
    TempDir dir;
    dir.write("song.vls", source);
    RunResult toFile = runVlc3In(dir, {"song.vls"});
    ASSERT_EQ(toFile.exitCode, 0);
    ASSERT_EQ(toHex(toFile.vldBytes), kEmptyVldHex);

    for (const Args& args : {Args{"-", "-c"}, Args{"-c", "-"}, Args{"-lc", "-"}}) {
        SCOPED_TRACE(joined(args));
        TempDir piped;
        RunResult r = runVlc3In(piped, args, source);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(stderrWithoutBanner(r), "");
        EXPECT_EQ(toHex(r.stdoutBytes), toHex(toFile.vldBytes));
        EXPECT_TRUE(piped.list().empty());
    }
    RunResult named = runVlc3In(dir, {"song.vls", "-c"});
    EXPECT_EQ(toHex(named.stdoutBytes), kEmptyVldHex);

    TempDir outDir;
    RunResult toNamed = runVlc3In(outDir, {"-", "-o", "piped"}, source, "piped.VLD");
    EXPECT_EQ(toHex(toNamed.vldBytes), kEmptyVldHex);
}

// Track streams far larger than the writer gathers before writing go out in
// full and in order, to a file and to standard output alike.
TEST(StandardStreams, LargeTrackStreamsArriveWholeInFileAndOnStandardOutput) {
    std::string source = "(t1,2)";
    for (int i = 0; i < 20000; ++i) source += " c8 d16";
    source += "\r\n(t3) r1 e4\r\n";
    TempDir dir;
    dir.write("song.vls", source);
    RunResult toFile = runVlc3In(dir, {"song.vls"});
    ASSERT_EQ(toFile.exitCode, 0) << toFile.stderrText;
    VldFile file = readVld(toFile.vldBytes);
    ASSERT_TRUE(file.ok()) << file.error;
    ASSERT_EQ(file.tracks.size(), 3u);
    for (int t = 0; t < 2; ++t) {
        const Bytes& events = file.tracks[t].events;
        ASSERT_GT(events.size(), 120000u);
        EXPECT_EQ(toHex(Bytes(events.begin(), events.begin() + 8)), "3C 18 18 80 3E 0C 0C 80");
    }
    EXPECT_EQ(toHex(file.tracks[2].events), "80 80 C0 80 C0 40 30 30 80 FF FF FF");

    RunResult piped = runVlc3In(dir, {"song.vls", "-c"});
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_TRUE(piped.stdoutBytes == toFile.vldBytes);
}

// Standard input keeps every byte; only a final end-of-file mark (0x1A) is
// dropped. A source the compiler stops at shows what it read.
TEST(StandardStreams, StandardInputKeepsItsLastByte) {
    struct Case {
        std::string input;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {"", 0, ""},
        {"\x1A", 0, ""},
        {"\n\n\x1A", 0, ""},
        {"(K", 1, "-\t1: Error: UNKNOWN MML\n(K\n  ^\n"},
        {"  (K\x1A", 1, "-\t1: Error: UNKNOWN MML\n  (K\n    ^\n"},
        {"\r\n\n(K", 1, "-\t3: Error: UNKNOWN MML\n(K\n  ^\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toHex(bytesOf(c.input)));
        TempDir dir;
        RunResult r = runVlc3In(dir, {"-", "-c"}, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(stderrWithoutBanner(r), c.message);
        EXPECT_EQ(toHex(r.stdoutBytes), c.exitCode == 0 ? kEmptyVldHex : "");
    }
}

// Only the final end-of-file mark goes: one inside the text stays in it.
TEST(StandardStreams, StandardInputKeepsAnEndOfFileMarkInsideTheText) {
    TempDir dir;
    RunResult r = runVlc3In(dir, {"-", "-c"}, ".COMMENT \x1A\x1A");
    ASSERT_EQ(r.exitCode, 0);
    VldFile vld = readVld(r.stdoutBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(toHex(vld.common), "40 1A 0D 0A 00 FF");
}

// Standard input that cannot be read (closed, or a directory in its place)
// is a read error, not an empty source: exit code 4 and nothing written.
TEST(StandardStreams, AFailedReadOfStandardInputEndsWithCode4) {
    const std::string vlc3 = VLC3_BINARY;
    for (const std::string& command : {vlc3 + " - -c <&-", vlc3 + " - -o y < sub", vlc3 + " -o y - < sub"}) {
        SCOPED_TRACE(command);
        TempDir dir;
        dir.makeDir("sub");
        RunResult r = runProgramIn(dir, "/bin/sh", {"-c", command});
        EXPECT_EQ(r.exitCode, 4);
        EXPECT_EQ(stderrWithoutBanner(r), "-\tError: read error.\n");
        EXPECT_TRUE(r.stdoutBytes.empty());
        EXPECT_EQ(dir.list(), Args{"sub"});
    }
    // A directory names no file for a source without a name.
    TempDir dir;
    dir.makeDir("out");
    RunResult r = runVlc3In(dir, {"-", "-o", "out/"}, "");
    EXPECT_EQ(r.exitCode, 11);
    EXPECT_EQ(stderrWithoutBanner(r), "Error: destination file is not specified.\n");
    EXPECT_EQ(dir.list(), Args{"out"});
    EXPECT_FALSE(dir.exists("out/-.VLD"));
}

TEST(StandardStreams, ErrorFileReceivesEverythingFromItsSwitchOn) {
    struct Case {
        Args args;
        int exitCode;
        std::string errFile;
        std::string stderrText;
    };
    const std::string tooLong(2049, 'a');
    const Case cases[] = {
        {{"-e", "err.txt", "song.vls"}, 1, "err.txt", ""},
        {{"song.vls", "-eERR.TXT"}, 1, "err.txt", ""},
        {{"song.vls", tooLong, "-e", "err.txt"}, 1, "err.txt", "Warning: too long switches.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errFile);
        TempDir dir;
        dir.write("song.vls", "\t(K\n");
        RunResult r = runVlc3In(dir, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.stderrText, c.stderrText);
        std::string errors = textOf(dir.read(c.errFile));
        EXPECT_TRUE(hasBanner(errors)) << errors;
        EXPECT_EQ(withoutBanner(errors), "song.vls\t1: Error: UNKNOWN MML\n\t(K\n\t  ^\n");
    }

    TempDir dir;
    RunResult help = runVlc3In(dir, {"-e", "err.txt", "-?"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.stderrText, "");
    expectStderr(textOf(dir.read("err.txt")), false, "", Tail::Usage);
}

// A source saved with a UTF-8 byte-order mark compiles as one without: the
// mark is dropped at the start of the file, the included files and standard
// input alike.
TEST(Compile, ALeadingByteOrderMarkIsSkipped) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string song = ".TEMPO 90\n.include part\n.ASSIGN 1 {midi1}\n(t1) c\n";
    RunResult plain = compileSource(song, {}, {{"part", ".METER 3/4\n"}});
    ASSERT_EQ(plain.exitCode, 0) << plain.stderrText;
    RunResult marked = compileSource(bom + song, {}, {{"part", bom + ".METER 3/4\n"}});
    EXPECT_EQ(marked.exitCode, 0);
    EXPECT_EQ(stderrWithoutBanner(marked), "");
    EXPECT_EQ(toHex(marked.vldBytes), toHex(plain.vldBytes));
    EXPECT_EQ(readVld(marked.vldBytes).tempo, 90);

    TempDir dir;
    RunResult piped = runVlc3In(dir, {"-", "-c"}, bom + song.substr(0, 10));
    EXPECT_EQ(piped.exitCode, 0);
    EXPECT_EQ(readVld(piped.stdoutBytes).tempo, 90);
}

TEST(Compile, SourcesOfBlanksAndCommentsGiveTheEmptyFile) {
    const char* sources[] = {
        "",
        "\n",
        "\r\n\r\n\r\n",
        " \t \n\t\n",
        "/ a comment",
        "/ comment\n  / indented comment\n\t/ after a tab\n",
        "\x81\x40\x81\x40/ ideographic spaces, then a comment\n",
        "/ \x82\xA0\x82\xA2 Shift_JIS in a comment\r\n",
    };
    for (const char* source : sources) {
        SCOPED_TRACE(toHex(bytesOf(source)));
        RunResult r = compileSource(source);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(stderrWithoutBanner(r), "");
        EXPECT_EQ(toHex(r.vldBytes), kEmptyVldHex);
        VldFile vld = readVld(r.vldBytes);
        EXPECT_TRUE(vld.ok()) << vld.error;
    }
}

TEST(Diagnostics, MessageSourceLineAndCaret) {
    struct Case {
        std::string source;
        Args args;
        std::string message;
    };
    const std::string tabbed = "\n\n  \t(K\n";
    const Case cases[] = {
        {"(K", {}, "song.vls\t1: Error: UNKNOWN MML\n(K\n  ^\n"},
        {tabbed, {}, "song.vls\t3: Error: UNKNOWN MML\n  \t(K\n  \t  ^\n"},
        {tabbed, {"-l"}, "song.vls\tL3C6: Error: UNKNOWN MML\n  \t(K\n  \t  ^\n"},
        {tabbed, {"-L"}, "song.vls\tL3C6: Error: UNKNOWN MML\n  \t(K\n  \t  ^\n"},
        {tabbed, {"-l5"}, "song.vls\t3: Error: UNKNOWN MML\n  \t(K\n  \t  ^\n"},
        {tabbed, {"-W1"}, "song.vls\t3: Error: UNKNOWN MML\n  \t(K\n  \t  ^\n"},
        {tabbed, {"-W0"}, "song.vls\t3: Error: UNKNOWN MML\n  \t(K\n  \t  ^\n"},
        {"\r\n\r\n(K\r\ncd\r\n", {}, "song.vls\t3: Error: UNKNOWN MML\n(K\n  ^\n"},
        {"(K\ty / a comment\n", {}, "song.vls\t1: Error: UNKNOWN MML\n(K\ty / a comment\n  ^\n"},
        {"/ c\n\t/ c\n \x81\x40 (K\n", {"-l"}, "song.vls\tL3C7: Error: UNKNOWN MML\n \x81\x40 (K\n      ^\n"},
        {"(\x82\xA0\n", {}, "song.vls\t1: Error: UNKNOWN MML\n(\x82\xA0\n  ^\n"},
        // Control bytes but the TAB are shown escaped, and the caret counts
        // the width of each escape.
        {"(C\x1B[2J\x07)\t(K\n", {}, "song.vls\t1: Error: UNKNOWN MML\n(C\\x1B[2J\\x07)\t(K\n" + std::string(14, ' ') + "\t  ^\n"},
        {"(C\x01\x7F)(K\n", {"-l"}, "song.vls\tL1C8: Error: UNKNOWN MML\n(C\\x01\\x7F)(K\n" + std::string(13, ' ') + "^\n"},
        // A UTF-8 byte-order mark is no part of line 1.
        {"\xEF\xBB\xBF(K\n", {"-l"}, "song.vls\tL1C3: Error: UNKNOWN MML\n(K\n  ^\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(toHex(bytesOf(c.source)) + " " + joined(c.args));
        RunResult r = compileSource(c.source, c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(stderrWithoutBanner(r), c.message);
        EXPECT_TRUE(hasBanner(r.stderrText));
        EXPECT_FALSE(r.vldExists);
    }
}

}  // namespace
