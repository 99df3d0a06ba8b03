#include "track/track_cases.h"

namespace {

TEST(StructureMarks, LinkSegnoAndDalSegnoAndCodaAndToCoda) {
    expectStreams({
        // The segno operand holds the distance to the byte behind 0xD3, the
        // D.S. operand the distance back to the segno operand.
        {"[segno] c [d.s.]", "D0 00 00 00 05 3C 30 30 80 D3 00 FF FF FF F6 FF"},
        {"[$][$][d.s.]", "D0 00 00 00 06 D0 00 00 00 00 D3 00 FF FF FF F5 FF FF FF FF"},
        {"[tocoda] c [coda]", "D4 00 00 00 00 09 3C 30 30 80 D1 FF FF FF F2 FF"},
        {"[*] [coda]", "D4 00 00 00 00 05 D1 FF FF FF F6 FF"},
        {"[d.c.][fine][^][end]", "C5 00 FC FC FF FF FF FF"},
        {"[do] c [loop]", "C5 01 00 3C 30 30 80 F5 00 00 00 00 FF FF FF FF"},
        {"[d.s.]", "exit 1: song.vls\t2: Error: [d.s.] command must comes after [segno] or [$]."},
        {"[coda]", "exit 1: song.vls\t2: Error: [coda] command must comes after [tocoda] or [$]."},
        {"[!][@]", ""},
    });
}

// The Part's example: segno code at 10, D.S. code at 40.
TEST(StructureMarks, DalSegnoOperandsAtLongerDistances) {
    std::string mml = "c*1 d*1 u1 [segno] c*1 c*1 c*1 c*1 r*1 r*1 r*1 [d.s.]";
    std::string stream = streamsOf(onTrack1(mml));
    EXPECT_EQ(stream.substr(30, 14), "D0 00 00 00 1A") << stream;
    EXPECT_EQ(stream.substr(120, 17), "D3 00 FF FF FF E1") << stream;
}

// A tuplet shrinks its events when it closes: the marks inside and around it
// still point at each other.
TEST(StructureMarks, LinksSurviveATupletThatShrinks) {
    expectStreams({
        {"{c [segno] d}4 [d.s.]", "3C 18 18 80 D0 00 00 00 05 3E 18 18 80 D3 00 FF FF FF F6 FF"},
        {"[segno] {c d [d.s.]}4", "D0 00 00 00 09 3C 18 18 80 3E 18 18 80 D3 00 FF FF FF F2 FF"},
        {"{[tocoda] c}4 [coda]", "D4 00 00 00 00 09 3C 30 30 80 D1 FF FF FF F2 FF"},
    });
}

TEST(StructureMarks, DebugMarksNeedTheSecondMode) {
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n(D1)\n(t1) [!][@]\n"), "C5 02 00 C5 03 02 FF FF");
    RunResult result = compileSource(onTrack1("[!]"), {"-w3"});
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: debug command [!] is still existing.");
    result = compileSource(onTrack1("[@]"), {"-w2"});
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: debug command [@] is still existing.");
}

TEST(StructureMarks, AnOpenDoBlockIsReportedAtTheEnd) {
    RunResult result = compileSource(onTrack1("[do] c"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t3: Warning: [do]\x81\x60[loop] is not closed in track 1.");
}

TEST(SubTracks, BackOpensAParallelTrack) {
    // Track 3 becomes the sub-track: third in the track list.
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) k5 [BACK c d e] f\n(t2) g\n"),
              "AB 05 BE 00 02 41 30 30 80 FF FF FF | 43 30 30 80 FF FF FF FF | "
              "FB AB 05 3C 30 30 80 3E 30 30 80 40 30 30 80 FF");
    // The second [BACK] first brings the sub-track up to its parent, and after
    // the `]` the parent's own lines go to the parent again.
    EXPECT_EQ(streamsOf(onTrack1("[BACK c] c2 [BACK d]")),
              "BE 00 01 3C 60 60 80 BE 00 01 FF FF | FB AB 00 3C 30 30 80 80 30 30 FB AB 00 3E 30 30 80 FF FF FF");
}

TEST(SubTracks, TheParentIsSelectedAgainAfterItsSubTrack) {
    EXPECT_EQ(streamsOf(onTrack1("[BACK c]\n(t1) d")), "BE 00 01 3E 30 30 80 FF | FB AB 00 3C 30 30 80 FF");
}

// A sub-track starts without its parent's pending segno, to-coda and open
// tuplet: those are places in the parent's stream.
TEST(SubTracks, StartWithoutTheParentsPendingMarksAndTuplet) {
    EXPECT_EQ(streamsOf(onTrack1("{c [BACK d] e}4")), "3C 18 18 80 BE 00 01 40 18 18 80 FF | FB AB 00 3E 30 30 80 FF");
    const char* marks[][2] = {
        {"c4 [segno] c4 [BACK e4 [d.s.] ]", "[d.s.] command must comes after [segno] or [$]."},
        {"c4 [tocoda] c4 [BACK e4 [coda] ]", "[coda] command must comes after [tocoda] or [$]."},
    };
    for (const auto& [mml, message] : marks) {
        RunResult result = compileSource(onTrack1(mml));
        EXPECT_EQ(result.exitCode, 1) << mml;
        EXPECT_EQ(firstMessage(result), std::string("song.vls\t2: Error: ") + message) << mml;
    }
    // With back repeats the rest of the line goes to the sub-track, whose
    // D.S. and coda find no mark of their own: nothing is patched into its
    // stream at the parent's offsets.
    expectStreams({
        {"[segno] [BACK.repeat on c] [d.s.]", "exit 1: song.vls\t2: Error: [d.s.] command must comes after [segno] or [$]."},
        {"[tocoda] [BACK.repeat on c] [coda]", "exit 1: song.vls\t2: Error: [coda] command must comes after [tocoda] or [$]."},
        {"[segno] [BACK.repeat on c [segno] d [d.s.]",
         "D0 00 00 00 00 BE 00 01 FF FF FF FF | FB AB 00 3C 30 30 80 D0 00 00 00 05 3E 30 30 80 D3 00 FF FF FF F6 FF FF"},
    });
}

TEST(SubTracks, BackRepeatCarriesMarksIntoTheSubTrack) {
    EXPECT_EQ(streamsOf(onTrack1("[BACK.repeat on c] [fine] [d.c.]")),
              "BE 00 01 FC C5 00 FF FF | FB AB 00 3C 30 30 80 FC FF FF FF FF");
}

}  // namespace
