// vld2mid end to end on files that do not hold together, on files built to
// make the player run away, and on the command line's own mistakes: the exit
// code, what standard error says first, and what is left in the directory.
// A refused file writes nothing and leaves an existing MIDI file as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "export/player.h"
#include "format/byte_order.h"
#include "support/harness.h"

namespace {

// Every run is stopped by `timeout` (exit 124) well before the harness's
// minute, so that a player caught in a loop fails its case at once.
constexpr const char* kTimeout = "/usr/bin/timeout";

RunResult runVld2mid(const TempDir& dir, const std::vector<std::string>& args, int seconds = 20) {
    std::vector<std::string> all{std::to_string(seconds), VLD2MID_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    RunResult run = runProgramIn(dir, kTimeout, all);
    if (run.exitCode == 124) ADD_FAILURE() << "vld2mid still runs after " << seconds << " s";
    return run;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// A sanitizer build plays 50 million events in well over a minute.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The compiled file of a source, compiled once: the harness plays every
// file it compiles, and a runaway repeat takes a while to stop.
Bytes compiledFile(const std::string& source) {
    static std::map<std::string, Bytes> compiled;
    auto it = compiled.find(source);
    if (it != compiled.end()) return it->second;
    RunResult run = compileSource(source, {"-W1"});
    EXPECT_EQ(run.exitCode, 0) << source << "\n" << stderrWithoutBanner(run);
    return compiled[source] = run.vldBytes;
}

// The file offset of the event stream of track 1.
size_t streamOf(const Bytes& file) {
    VldFile vld = readVld(file);
    EXPECT_TRUE(vld.ok()) << vld.error;
    if (vld.tracks.empty()) return 0;
    const Bytes& events = vld.tracks[0].events;
    return static_cast<size_t>(std::search(file.begin(), file.end(), events.begin(), events.end()) - file.begin());
}

void writeSong(const TempDir& dir, const Bytes& file) {
    dir.write("song.VLD", std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
}

bool isMidiFile(const Bytes& bytes) {
    return bytes.size() >= 14 && textOf(Bytes(bytes.begin(), bytes.begin() + 4)) == "MThd";
}

// One track, "c d" twice, then E, a segno, F and a D.S.; eighths are one-byte
// steps, so the stream, at file offset 0x74 behind the track table at 0x50,
// reads
//   0000 CD 00 01 00 00   repeat start, 2 passes
//   0005 3C 18 18 80      C          0009 3E 18 18 80   D
//   000D CE 00 00 00 11   repeat end, back to 0001
//   0012 40 18 18 80      E          0016 D0 00 00 00 05   segno
//   001B 41 18 18 80      F          001F D3 00 FF FF FF F6   D.S., to 0017
//   0025 FF               end
const char* const kSong = ".ASSIGN 1 {midi1}\n(t1) o4 l8 |:2 c d :| e [segno] f [d.s.]\n";

struct Damage {
    const char* what;
    std::function<void(Bytes& file, size_t stream)> apply;
    const char* message;  // the first line of standard error
};

TEST(Vld2midMalformed, RefusesDamagedFilesNamingTheOffsetAndWritesNothing) {
    const Bytes good = compiledFile(kSong);
    const size_t stream = streamOf(good);
    ASSERT_EQ(stream, 0x74u);
    ASSERT_EQ(toHex(&good[stream], 0x26),
              "CD 00 01 00 00 3C 18 18 80 3E 18 18 80 CE 00 00 00 11 40 18 18 80 D0 00 00 00 05 41 18 18 80 "
              "D3 00 FF FF FF F6 FF");
    const Damage cases[] = {
        // Truncations from the header to the end code.
        {"header cut", [](Bytes& f, size_t) { f.resize(40); },
         "vld2mid: song.VLD: offset 0x0000: the file has 40 bytes, too few for the 80-byte header; nothing written"},
        {"track table cut", [](Bytes& f, size_t) { f.resize(16 + getBE32(&f[12]) + 4); },
         "vld2mid: song.VLD: offset 0x0050: the track table of 1 track(s) runs past the end of the file; nothing "
         "written"},
        {"inside a note", [](Bytes& f, size_t s) { f.resize(s + 0x0B); },
         "vld2mid: song.VLD: offset 0x007D: track 1 at stream offset 0009: truncated event 0x3E (note): the stream "
         "ends 1 byte(s) after its code; nothing written"},
        {"before the repeat end's link", [](Bytes& f, size_t s) { f.resize(s + 0x0F); },
         "vld2mid: song.VLD: offset 0x0081: track 1 at stream offset 000D: truncated event 0xCE (repeat end): the "
         "stream ends 1 byte(s) after its code; nothing written"},
        {"without the end code", [](Bytes& f, size_t s) { f.resize(s + 0x25); },
         "vld2mid: song.VLD: offset 0x0099: track 1 at stream offset 0025: the stream ends without its end code "
         "0xFF; nothing written"},
        // Links that lead where the player cannot follow; the first to 001A, ahead of the repeat end.
        {"repeat end pointing forward", [](Bytes& f, size_t s) { putBE32(&f[s + 0x0E], static_cast<uint32_t>(-8)); },
         "vld2mid: song.VLD: offset 0x0081: track 1 at stream offset 000D: the repeat end leads back to no repeat "
         "start played before it; nothing written"},
        {"D.S. to a note", [](Bytes& f, size_t s) { putBE32(&f[s + 0x21], static_cast<uint32_t>(0x0A - 0x21)); },
         "vld2mid: song.VLD: offset 0x0093: track 1 at stream offset 001F: the d.s. leads to 000A, which is not the "
         "link of a segno; nothing written"},
        {"D.S. into the middle of a note", [](Bytes& f, size_t s) { putBE32(&f[s + 0x21], static_cast<uint32_t>(-3)); },
         "vld2mid: song.VLD: offset 0x0093: track 1 at stream offset 001F: the d.s. leads to 001E, which is not the "
         "link of a segno; nothing written"},
        {"D.S. outside the stream", [](Bytes& f, size_t s) { putBE32(&f[s + 0x21], 0x1000); },
         "vld2mid: song.VLD: offset 0x0093: track 1 at stream offset 001F: the d.s. leads outside the stream; "
         "nothing written"},
        {"time base 0", [](Bytes& f, size_t) { putBE16(&f[54], 0); },
         "vld2mid: song.VLD: offset 0x0000: the time base is 0 clocks per whole note; nothing written"},
        {"bad magic", [](Bytes& f, size_t) { f[1] = 'v'; },
         "vld2mid: song.VLD: offset 0x0000: bad magic: the file does not begin with 1A \"VeLtRa0\" (it begins 1A 76 65 "
         "4C 74 52 61 30); nothing written"},
    };
    for (const Damage& c : cases) {
        Bytes file = good;
        c.apply(file, stream);
        TempDir dir;
        writeSong(dir, file);
        RunResult run = runVld2mid(dir, {"song.VLD"});
        EXPECT_EQ(run.exitCode, 1) << c.what << "\n" << run.stderrText;
        EXPECT_EQ(firstLine(run.stderrText), c.message) << c.what;
        EXPECT_EQ(dir.list(), std::vector<std::string>{"song.VLD"}) << c.what << ": something was written";
    }
}

// A repeat ending whose forward link lands inside an event: the first pass
// plays through, the second takes the link and finds no event there.
TEST(Vld2midMalformed, RefusesAJumpToAnOffsetWhereNoEventStarts) {
    Bytes file = compiledFile(".ASSIGN 1 {midi1}\n(t1) o4 l4 |:2 c |1 d :| e\n");
    size_t stream = streamOf(file);
    // 0009 D8 00 00 | 00 00 00 0D back to 0001 | 00 00 00 09 forward to 001D, the E.
    ASSERT_EQ(toHex(&file[stream + 9], 11), "D8 00 00 00 00 00 0D 00 00 00 09");
    putBE32(&file[stream + 0x10], 0x0A);
    TempDir dir;
    writeSong(dir, file);
    RunResult run = runVld2mid(dir, {"song.VLD"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(firstLine(run.stderrText), "vld2mid: song.VLD: offset 0x007D: track 1 at stream offset 0009: the repeat "
                                         "ending leads to 001E, which is not where an event starts; nothing written");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"song.VLD"});
}

// Files that are whole but push the player's guards: how each ends, what it
// says (the start of a line of standard error) and that it wrote a file.
struct GuardCase {
    const char* what;
    const char* source;
    std::vector<std::string> args;
    int exit;
    const char* line;
    int seconds;
    bool heavy = false;  // left to builds without sanitizers
};

const char* const kNestedHugeRepeats =
    ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 c d\n(t2) o4 c |:65535 |:65535 u100 :| :|\n";

TEST(Vld2midGuards, RunawayFilesEndInTimeWithAWrittenFile) {
    const GuardCase cases[] = {
        // 65535 passes of a note that takes no time: played to the end, every C at clock 0.
        {"repeat of zero-length notes", ".ASSIGN 1 {midi1}\n(t1) o4 |:65535 c0 :|\n", {}, 0,
         "vld2mid: song.VLD -> song.mid: 1 tracks, 65535 notes, 0 clocks", 10},
        // 65535 x 65535 passes: stopped by the budget of 50 million events.
        {"nested huge repeats", kNestedHugeRepeats, {}, 4,
         "vld2mid: song.VLD: track 2 at clock 48: stopped after 50000000 events (a repeat or loop without end?)", 50,
         true},
        {"a wait with no signal", ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 c w d\n(t2) o4 e\n", {}, 0,
         "vld2mid: warning: track 1 waits at offset 0004 for a synchronize that never comes", 10},
        {"an endless repeat of notes", ".ASSIGN 1 {midi1}\n(t1) o4 |:65535 |:65535 c :| :|\n", {"--max-minutes", "2"},
         4, "vld2mid: song.VLD: track 1 at clock 11568: stopped after 2 minutes of music (--max-minutes)", 10},
    };
    for (const GuardCase& c : cases) {
        if (c.heavy && kSanitized) continue;
        TempDir dir;
        writeSong(dir, compiledFile(c.source));
        std::vector<std::string> args = c.args;
        args.push_back("song.VLD");
        RunResult run = runVld2mid(dir, args, c.seconds);
        EXPECT_EQ(run.exitCode, c.exit) << c.what << "\n" << run.stderrText;
        EXPECT_NE(("\n" + run.stderrText).find("\n" + std::string(c.line)), std::string::npos)
            << c.what << "\n" << run.stderrText;
        EXPECT_TRUE(isMidiFile(dir.read("song.mid"))) << c.what;
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"song.VLD", "song.mid"})) << c.what;
    }
}

// The same budget, small enough for any build: the cut names the track and
// the clock, and what was played up to there is kept.
TEST(Vld2midGuards, TheEventBudgetCutsNamingTrackAndClock) {
    Bytes file = compiledFile(kNestedHugeRepeats);
    vld::ExportOptions options;
    options.event_budget = 100000;
    vld::ExportResult result = vld::exportVld(file, options);
    EXPECT_EQ(result.outcome, vld::ExportResult::Outcome::cut);
    EXPECT_EQ(result.message, "track 2 at clock 48: stopped after 100000 events (a repeat or loop without end?)");
    EXPECT_EQ(result.notes, 3u);
    EXPECT_TRUE(isMidiFile(result.file()));
}

TEST(Vld2midCommandLine, HelpUsageMistakesAndMissingInput) {
    TempDir dir;
    RunResult help = runVld2mid(dir, {"-h"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(firstLine(textOf(help.stdoutBytes)), "usage: vld2mid [options] song.VLD [-o song.mid]");

    RunResult unknown = runVld2mid(dir, {"--bogus", "song.VLD"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(firstLine(unknown.stderrText), "vld2mid: unknown option --bogus");
    EXPECT_EQ(runVld2mid(dir, {}).exitCode, 2);
    EXPECT_EQ(runVld2mid(dir, {"--loops", "0", "song.VLD"}).exitCode, 2);

    RunResult missing = runVld2mid(dir, {"none.VLD"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(firstLine(missing.stderrText), "vld2mid: none.VLD: cannot read the file (No such file or directory)");
    EXPECT_TRUE(dir.list().empty());
}

TEST(Vld2midCommandLine, WritesToStandardOutputWithADash) {
    TempDir dir;
    writeSong(dir, compiledFile(kSong));
    RunResult run = runVld2mid(dir, {"song.VLD", "-o", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.stderrText;
    EXPECT_TRUE(isMidiFile(run.stdoutBytes));
    EXPECT_EQ(firstLine(run.stderrText).rfind("vld2mid: song.VLD -> standard output: 1 tracks, 7 notes, 168 clocks", 0),
              0u)
        << run.stderrText;
    EXPECT_EQ(dir.list(), std::vector<std::string>{"song.VLD"});
}

// An output that cannot be written exits 3 and leaves no temporary file: not
// for a missing directory, nor when the name is a directory (the temporary is
// written beside it and the final rename fails), nor in a read-only directory.
TEST(Vld2midCommandLine, AnUnwritableOutputExits3AndLeavesNoTemporaryFile) {
    TempDir dir;
    writeSong(dir, compiledFile(kSong));
    dir.makeDir("taken.mid");
    dir.makeDir("locked");
    ::chmod(dir.pathOf("locked").c_str(), 0555);
    std::vector<std::string> outputs{"missing/song.mid", "taken.mid"};
    if (::geteuid() != 0) outputs.push_back("locked/song.mid");  // root writes anywhere
    for (const std::string& output : outputs) {
        RunResult run = runVld2mid(dir, {"song.VLD", "-o", output});
        EXPECT_EQ(run.exitCode, 3) << output << "\n" << run.stderrText;
        EXPECT_EQ(firstLine(run.stderrText).rfind("vld2mid: " + output + ": cannot write the file (", 0), 0u)
            << run.stderrText;
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"locked", "song.VLD", "taken.mid"})) << output;
    }
    ::chmod(dir.pathOf("locked").c_str(), 0755);
}

TEST(Vld2midCommandLine, AnExistingOutputStaysUntouchedWhenTheInputIsRefused) {
    TempDir dir;
    Bytes file = compiledFile(kSong);
    file.resize(file.size() - 3);
    writeSong(dir, file);
    dir.write("song.mid", "the last good export");
    dir.write("other.mid", "kept as well");
    EXPECT_EQ(runVld2mid(dir, {"song.VLD"}).exitCode, 1);
    EXPECT_EQ(runVld2mid(dir, {"song.VLD", "-o", "other.mid"}).exitCode, 1);
    EXPECT_EQ(textOf(dir.read("song.mid")), "the last good export");
    EXPECT_EQ(textOf(dir.read("other.mid")), "kept as well");
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"other.mid", "song.VLD", "song.mid"}));
}

}  // namespace
