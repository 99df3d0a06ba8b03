// A piece that uses every kind of structure at once: a macro, an include, a
// D.S. al coda, a [do]...[loop] block, a sub-track and ARCC blocks.
#include "track/track_cases.h"

namespace {

TEST(WholeSong, CompilesEveryStructureTogether) {
    const std::string source =
        ".define hit %1 {c%1,,+5}\n"
        ".include kit\n"
        ".ASSIGN 1 {midi1}\n"
        "(t1) [segno] hit 8 [tocoda] d8 [d.s.] [coda] [do] e8 [loop]\n"
        "(t1) [BACK g4] [ARCC1.level 64] @a 3\n";
    RunResult result = compileSource(source, {}, {{"kit", ".ASSIGN 2 {midi10, 128, 1, play, rhythm}\n"}});
    ASSERT_EQ(result.exitCode, 0) << result.stderrText;
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    ASSERT_EQ(vld.tracks.size(), 3u);
    // The included assignment comes first; a sub-track keeps every track in
    // the file, even one without events.
    EXPECT_TRUE(vld.tracks[0].kindRhythm);
    EXPECT_EQ(toHex(vld.tracks[0].events), "FF FF FF FF");
    EXPECT_EQ(toHex(vld.tracks[1].events),
              "D0 00 00 00 0F 3C 18 18 C5 D4 00 00 00 00 0F 3E 18 18 80 D3 00 FF FF FF EC D1 FF FF FF EC "
              "C5 01 00 40 18 18 80 F5 00 00 00 00 BE 00 02 E5 00 01 01 40 E5 00 01 01 03 FF");
    EXPECT_EQ(toHex(vld.tracks[2].events), "FB AB 00 43 30 30 80 FF");
    // The sub-track starts where its parent stood (72 clocks) and plays 48 more.
    EXPECT_EQ(vld.longestClocks, 120u);
}

}  // namespace
