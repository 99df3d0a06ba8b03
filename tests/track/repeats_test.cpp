#include "records/records.h"
#include "scan/scan_fixture.h"
#include "scan/scanner.h"
#include "track/repeats.h"
#include "track_cases.h"

namespace {

std::string errorOf(const char* message) { return std::string("exit 1: song.vls\t2: Error: ") + message; }

// The stream of track 1 and the played length the header records.
struct RepeatCase {
    const char* mml;
    const char* stream;
    uint32_t clocks;
};

TEST(Repeats, EventsOffsetsAndPlayedLength) {
    const RepeatCase cases[] = {
        {"|: c4 :|", "CD 00 01 00 00 3C 30 30 80 CE 00 00 00 0D FF FF", 96},
        {"|:3 c4 | d4 :|", "CD 00 02 00 00 3C 30 30 80 D9 00 00 00 0B 00 00 00 09 3E 30 30 80 CE 00 00 00 1A FF", 240},
        {"|:3 a |1 b :| |2 c :| |3 d :|",
         "CD 00 02 00 00 45 30 30 80 D8 00 00 00 00 00 0D 00 00 00 09 47 30 30 80 CE 00 00 00 1C "
         "D8 00 01 00 00 00 21 00 00 00 09 3C 30 30 80 CE 00 00 00 30 "
         "D8 00 02 00 00 00 35 00 00 00 09 3E 30 30 80 CE 00 00 00 44 FF FF FF",
         288},
        {"|: |:3 c :| d :|",
         "CD 00 01 00 00 CD 00 02 00 00 3C 30 30 80 CE 00 00 00 0D 3E 30 30 80 CE 00 00 00 1B FF FF FF FF", 384},
        // The last ending left open is played through; the next `|:` drops it.
        {"|:2 a |1 b :| c |: d :|",
         "CD 00 01 00 00 45 30 30 80 D8 00 00 00 00 00 0D 00 00 00 09 47 30 30 80 CE 00 00 00 1C 3C 30 30 80 "
         "CD 00 01 00 00 3E 30 30 80 CE 00 00 00 0D FF",
         288},
        // `:|` behind an open ending closes the enclosing repeat as well.
        {"|: |:2 a |1 b :| c :|",
         "CD 00 01 00 00 CD 00 01 00 00 45 30 30 80 D8 00 00 00 00 00 0D 00 00 00 09 47 30 30 80 CE 00 00 00 1C "
         "3C 30 30 80 CE 00 00 00 2A FF",
         384},
        {"|:1 c :|", "CD 00 00 00 00 3C 30 30 80 CE 00 00 00 0D FF FF", 48},
        {"| c", "3C 30 30 80 FF FF FF FF", 48},
        {"|-c", "3C 30 30 80 FF FF FF FF", 48},
    };
    for (const RepeatCase& c : cases) {
        RunResult result = compileSource(onTrack1(c.mml));
        EXPECT_EQ(streamsOf(onTrack1(c.mml)), c.stream) << c.mml;
        VldFile vld = readVld(result.vldBytes);
        ASSERT_TRUE(vld.ok()) << c.mml << ": " << vld.error;
        EXPECT_EQ(vld.longestClocks, c.clocks) << c.mml;
    }
}

TEST(Repeats, Errors) {
    expectStreams({
        {":|", errorOf("too many :| .")},
        {"|: c :| :|", errorOf("too many :| .")},
        {"|:2 a |1 b :| :|", errorOf("too many :| .")},
        {"|0", errorOf("illegal looptime.")},
        {"|:0", errorOf("illegal looptime.")},
        {"|:-2", errorOf("illegal looptime.")},
        {"|:3 c |4", errorOf("n is too large in |n.")},
        {"|2", errorOf("n is too large in |n.")},
        {"|:3 c |1 d |2", errorOf("illegal |n.")},
        {"|: c | d | e", errorOf("illegal |.")},
        {":x", errorOf("SYNTAX ERROR")},
        // The count is written less one in 16 bits.
        {"|:65537 c :|", errorOf("looptime is out of range(1 - 65536).")},
    });
    EXPECT_EQ(streamsOf(onTrack1("|:65536 :|")), "CD FF FF 00 00 CE 00 00 00 09 FF FF");
}

TEST(Repeats, WarningsAndTheEndOfTheText) {
    const std::pair<std::string, std::string> cases[] = {
        {"| c", "song.vls\t2: Warning: illegal |."},
        {"|:2 a |1 b :| | c", "song.vls\t2: Warning: illegal |."},
        {"|: c", "song.vls\t3: Warning: :| is not closed in track 1."},
        {"|:2 a |1 b :|", ""},
    };
    for (const auto& [mml, first] : cases) {
        RunResult result = compileSource(onTrack1(mml));
        EXPECT_EQ(result.exitCode, 0) << mml;
        EXPECT_EQ(firstMessage(result), first) << mml;
    }
}

// A mark at the end of a line is reported on its own line, with the caret
// behind it, though the search for its number looked on into the next line.
TEST(Repeats, AMarkAtTheEndOfALineIsReportedOnItsLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"(t1) c d e |\n", "song.vls\t2: Warning: illegal |.\n(t1) c d e |\n            ^\n"},
        {"(t1) c |\n\n(t1) d\n", "song.vls\t2: Warning: illegal |.\n(t1) c |\n        ^\n"},
        {"(t1) |: c | / the first part\n(t1) d |\ne :|\n", "song.vls\t3: Error: illegal |.\n(t1) d |\n        ^\n"},
    };
    for (const auto& [source, messages] : cases) {
        RunResult result = compileSource(".ASSIGN 1 {midi1}\n" + source);
        EXPECT_EQ(stderrWithoutBanner(result), messages) << source;
    }
    // The stream is unchanged: the line end between `|` and the next line
    // is stepped over once.
    EXPECT_EQ(streamsOf(onTrack1("|: c |\n(t1) d :|")),
              "CD 00 01 00 00 3C 30 30 80 D9 00 00 00 0B 00 00 00 09 3E 30 30 80 CE 00 00 00 1A FF");
}

TEST(Repeats, EveryTrackOfTheSet) {
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1,2) |: c (t2) d (t1,2) :|\n"),
              "CD 00 01 00 00 3C 30 30 80 CE 00 00 00 0D FF FF | "
              "CD 00 01 00 00 3C 30 30 80 3E 30 30 80 CE 00 00 00 11 FF FF");
}

// With back repeats on, the marks go down the chain of sub-tracks too.
TEST(Repeats, FollowTheSubTrackChainWithBackRepeats) {
    ScanText source("|:3 :|");
    headdata hd;
    TrackRecords trk(kTrackCount);
    TrackInfos inf(kTrackCount);
    for (int t = 1; t < kTrackCount; ++t) initTrkInf(inf[t], hd);
    inf[1].sub_track = 5;
    inf[5].sub_track = 6;
    inf[6].sub_track = 7;
    inf[1].back_repeat = 1;
    inf[5].back_repeat = 1;  // 6 has it off: 7 is not reached
    TrackCompile tc{trk, hd, inf, {1, 255}};
    Pos p = repeatCommand(source.at(0), tc);
    repeatCommand(skipBlanks(p), tc);
    const std::string both = "CD 00 02 00 00 CE 00 00 00 09";
    for (int t : {1, 5, 6}) EXPECT_EQ(toHex(trk[t].buf.data(), trk[t].buf.size()), both) << t;
    EXPECT_TRUE(trk[7].buf.empty());
    EXPECT_TRUE(inf[6].repeat_stack.empty());
}

}  // namespace
