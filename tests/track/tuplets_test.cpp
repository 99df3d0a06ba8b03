#include "track_cases.h"

namespace {

std::string errorOf(const char* message) { return std::string("exit 1: song.vls\t2: Error: ") + message; }

// The message lines of a run, without the echoed source lines and carets.
std::string messagesOf(const RunResult& result) {
    std::string all = stderrWithoutBanner(result), out;
    for (size_t at = 0, end; at < all.size(); at = end + 1) {
        end = all.find('\n', at);
        if (end == std::string::npos) end = all.size();
        if (all.compare(at, 9, "song.vls\t") == 0) out += all.substr(at, end - at) + "\n";
    }
    return out;
}

TEST(Tuplets, ShareTheLengthAndShrinkToCompactFields) {
    expectStreams({
        // Three 16-clock notes: 3 x 6 bytes written, 6 bytes fewer after the close.
        {"{ccc}4", "3C 10 10 80 3C 10 10 80 3C 10 10 80 FF FF FF FF"},
        {"{cdefg}4", "3C 0A 0A 80 3E 0A 0A 80 40 0A 0A 80 41 09 09 80 43 09 09 80 FF FF FF FF"},
        {"{c'eg'}4", "3C 18 18 80 40 00 18 80 43 18 18 80 FF FF FF FF"},
        {"{c d}4&", "3C 18 18 80 3E 18 80 00 80 FF FF FF"},
        {"{c d}4 &", "3C 18 18 80 3E 18 80 00 80 FF FF FF"},
        {"{cd}*400", "3C 80 C8 80 C8 80 3E 80 C8 80 C8 80 FF FF FF FF"},
        {"{ccc}4^4", "3C 20 20 80 3C 20 20 80 3C 20 20 80 FF FF FF FF"},
        {"l8 {ccc}", "3C 08 08 80 3C 08 08 80 3C 08 08 80 FF FF FF FF"},
        {"{c r d}4", "3C 10 10 80 80 10 10 3E 10 10 80 FF"},
        {"{(c g) d}4", "84 3C 43 18 18 80 3E 18 18 80 FF FF"},
        {"{c0 d}4", "B2 3C 80 3E 30 30 80 FF"},
        {"q4 {c d}4", "3C 18 0C 80 3E 18 0C 80 FF FF FF FF"},
        {"{cd}4 e", "3C 18 18 80 3E 18 18 80 40 30 30 80 FF FF FF FF"},
        // Remainders go to the first elements, a chord counting as one; the
        // last note of a chord takes its share less the delays before it.
        {"{'ceg'd}*49", "3C 00 19 80 40 00 19 80 43 19 19 80 3E 18 18 80 FF FF FF FF"},
        {"{c'eg',8}4", "3C 18 18 80 40 08 10 80 43 10 10 80 FF FF FF FF"},
    });
}

TEST(Tuplets, KeepTiesAndRepeatOffsetsPointingAtTheirEvents) {
    expectStreams({
        // The held chord moved when the tuplet shrank; the next chord still
        // finds its gate fields.
        {"{c 'ceg'&}4 'ceg'",
         "3C 18 18 80 3C 00 FF FF 80 40 00 FF FF 80 43 18 FF FF 80 3C 00 30 80 40 00 30 80 43 30 30 80 FF"},
        {"{'ceg'& 'ceg'}4", "3C 00 FF FF 80 40 00 FF FF 80 43 18 FF FF 80 3C 00 18 80 40 00 18 80 43 18 18 80 FF"},
        {"{c |: d :| e}4", "3C 10 10 80 CD 00 01 00 00 3E 10 10 80 CE 00 00 00 0D 40 10 10 80 FF FF"},
        {"|:2 {c | d}4 :|", "CD 00 01 00 00 3C 18 18 80 D9 00 00 00 0B 00 00 00 09 3E 18 18 80 CE 00 00 00 1A FF"},
    });
}

TEST(Tuplets, PlayedLength) {
    const std::pair<const char*, uint32_t> cases[] = {{"{ccc}4", 48}, {"{ccc}4 c4", 96}, {"{c'eg'}2^4", 144}};
    for (const auto& [mml, clocks] : cases) {
        VldFile vld = readVld(compileSource(onTrack1(mml)).vldBytes);
        ASSERT_TRUE(vld.ok()) << mml;
        EXPECT_EQ(vld.longestClocks, clocks) << mml;
    }
}

TEST(Tuplets, Errors) {
    expectStreams({
        {"{c{d}}", errorOf("renpu{..} can't nest.")},
        {"c}", errorOf("no { found..")},
        {"c}}", errorOf("no {{  found.")},
        {"{c d", "exit 1: song.vls\t3: Error: `}' is not closed in track 1."},
    });
}

TEST(Tuplets, CloseTheTrackBlock) {
    const std::pair<std::string, std::string> cases[] = {
        {".ASSIGN 1 {midi1}\n.track 1 {\nc d\n}\n", "3C 30 30 80 3E 30 30 80 FF FF FF FF"},
        {".ASSIGN 1 {midi1}\n.track 1 { {cd}4 }\n(t1) e\n", "3C 18 18 80 3E 18 18 80 40 30 30 80 FF FF FF FF"},
        {".ASSIGN 1 {midi1}\n.track 1 {\nc\n}\n}\n", "exit 1: song.vls\t5: Error: no { found.."},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(streamsOf(source), expected) << source;
}

TEST(ReservedGroups, CheckTheirLength) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // mml, messages at -W3, messages at -W4
        {"{{c4d4}}2", "", "song.vls\t2: Warning: {{..}} can use only for vlc2.\n"},
        {"{{c4}}2", "song.vls\t2: Warning: {{..}}: 96 ticks are reserved, but 48 are in use.\n",
         "song.vls\t2: Warning: {{..}} can use only for vlc2.\n"
         "song.vls\t2: Warning: {{..}}: 96 ticks are reserved, but 48 are in use.\n"
         "song.vls\t2: Warning: {{..}} can use only for vlc2.\n"},
        {"{{ {{c4}}4 d2}}2.", "", "song.vls\t2: Warning: {{..}} can use only for vlc2.\n"
                                    "song.vls\t2: Warning: {{..}} can use only for vlc2.\n"},
        {"{{c4", "",
         "song.vls\t2: Warning: {{..}} can use only for vlc2.\n"
         "song.vls\t3: Warning: `}}' is not closed in track 1.\n"},
    };
    for (const auto& [mml, atW3, atW4] : cases) {
        for (const auto& [level, expected] : {std::pair{"-W3", atW3}, std::pair{"-W4", atW4}}) {
            RunResult result = compileSource(onTrack1(mml), {level});
            EXPECT_EQ(result.exitCode, 0) << mml;
            EXPECT_EQ(messagesOf(result), expected) << mml << " " << level;
        }
    }
    EXPECT_EQ(streamsOf(onTrack1("{{c4}}2")), "3C 30 30 80 FF FF FF FF");
}

}  // namespace
