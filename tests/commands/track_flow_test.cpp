#include <string>

#include "support/harness.h"
#include "track/track_cases.h"

namespace {

std::string error(const std::string& message) { return "exit 1: song.vls\t2: Error: " + message; }

constexpr const char* kTwoTracks = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n";

TEST(TrackFlow, SynchronizeReplayBarsAndSingleEvents) {
    expectStreams({
        {"w", "FB FF FF FF"},
        {"[SYNCHRONIZE 1]", "BE 00 00 FF"},
        {"w9", error("illegal track number.")},
        {"J3", "BD 00 03 FF"},
        {"[REPLAY 70]", "BD 00 46 FF"},
        {"J", error("J/[REPLAY] requires the target track parameter.")},
        {"[BAR] [MEASURE] [-] [bar 12]", "FE FE FE FE FF FF FF FF"},
        {"[BAR 3", error("illegal track number.")},
        {"[DUMMY] ` [ALL_SOUND_OFF]", "FA FD FD FF"},
    });
    EXPECT_EQ(streamsOf(std::string(kTwoTracks) + "(t1) w2\n"), "BE 00 01 FF");
}

TEST(TrackFlow, TieAndTrackModes) {
    expectStreams({
        {"[TIE_MODE enhanced] [TIE_MODE 2]", "9E 01 9E 02 FF FF FF FF"},
        {"@j @j special [TIE_MODE normal]", "9E 00 9E 01 9E 00 FF FF"},
        {"[TRACK_MODE 5] @r rhythm", "A4 80 A4 80 FF FF FF FF"},
        {"@r normal @r", "A4 00 A4 00 FF FF FF FF"},
    });
    // A track that has played a note takes the mode as its kind.
    for (const auto& [mml, rhythm] : {std::pair{"c @r rhythm", true}, std::pair{"@r rhythm c", false}}) {
        VldFile vld = readVld(compileSource(onTrack1(mml)).vldBytes);
        ASSERT_TRUE(vld.ok()) << vld.error;
        EXPECT_EQ(vld.tracks[0].kindRhythm, rhythm) << mml;
    }
}

TEST(TrackFlow, TrackDelay) {
    expectStreams({
        {"[TRACK_DELAY 200]", "81 80 C8 FF"},
        {"@w4 @w", "81 30 81 30 FF FF FF FF"},
        {"@w4 &", error("@w can't use with TIE on V3.")},
    });
    VldFile vld = readVld(compileSource(onTrack1("@w4 c4")).vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(vld.longestClocks, 96u);
}

// Echo pieces take their relative velocities from the echo step; a later
// [ECHO] keeps what it does not give.
TEST(TrackFlow, EchoSettingsReachEveryTrackOfTheSet) {
    EXPECT_EQ(streamsOf(std::string(kTwoTracks) + "(t1,2) [ECHO 8,-10,0] c4\n"),
              "3C 18 18 B6 3C 18 18 AC FF FF FF FF | 3C 18 18 B6 3C 18 18 AC FF FF FF FF");
    expectStreams({
        {"[ECHO 8,-10,0] [ECHO 16] c4", "3C 0C 0C B6 3C 0C 0C AC 3C 0C 0C A2 3C 0C 0C 98 FF FF FF FF"},
        {"[ECHO 8] c4", "3C 30 30 80 FF FF FF FF"},
        {"[ECHO 0]", error("ECHO's 1st parameter must be over 0.")},
        {"[ECHO 8,$]", error("ECHO's 2nd parameter error.")},
        {"[ECHO 8,1,-1]", error("ECHO's 3rd parameter error.")},
        {"[ECHO 8,1,x]", error("ECHO's 3rd parameter error.")},
    });
}

// Echo pieces count in the track's clocks: the longest track holds them,
// and a sub-track opened again after them catches up with a rest to the
// parent's clock, so `e` starts where the parent stands.
TEST(TrackFlow, EchoPiecesCountInTheTracksClocks) {
    VldFile vld = readVld(compileSource(onTrack1("[ECHO 16,5,3] c4")).vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(vld.longestClocks, 48u);
    EXPECT_EQ(streamsOf(onTrack1("[BACK d] [ECHO 16,0,3] c4 c4 [BACK e]")),
              "BE 00 01 3C 0C 0C C0 3C 0C 0C C0 3C 18 18 C0 3C 0C 0C C0 3C 0C 0C C0 3C 18 18 C0 BE 00 01 FF FF | "
              "FB AB 00 3E 30 30 80 80 30 30 FB AB 00 40 0C 0C C0 40 0C 0C C0 40 18 18 C0 FF FF FF");
}

TEST(TrackFlow, KeySignatureOfTheTrack) {
    expectStreams({
        {"[K.SIGN + f c] f c", "42 30 30 80 3D 30 30 80 FF FF FF FF"},
        {"[K.SIGN ++f] f", "43 30 30 80 FF FF FF FF"},
        {"[K.SIGN D] f c g", "42 30 30 80 3D 30 30 80 43 30 30 80 FF FF FF FF"},
        {"[KEY_SIGNATURE B-] b e a", "46 30 30 80 3F 30 30 80 45 30 30 80 FF FF FF FF"},
        {"[K.SIGN D] [K.SIGN] f", "41 30 30 80 FF FF FF FF"},
        {"[K.SIGN D -c] c f", "3B 30 30 80 42 30 30 80 FF FF FF FF"},
        {"[K.SIGN +f-b,e] f b e", "42 30 30 80 46 30 30 80 3F 30 30 80 FF FF FF FF"},
        {"[K.SIGN B#] c b", "3D 30 30 80 48 30 30 80 FF FF FF FF"},
        {"[K.SIGN x]", error("ksign error.")},
    });
}

TEST(TrackFlow, CommentAndEventTexts) {
    expectStreams({
        {"[COMMENT abc]", "D2 00 00 00 00 03 61 62 63 FF FF FF"},
        {"[COMMENT a/b]", "D2 00 00 00 00 03 61 2F 62 FF FF FF"},
        // An empty text is a comment of length 0; the next event follows it.
        {"[COMMENT]e", "D2 00 00 00 00 00 40 30 30 80 FF FF"},
        {"[COMMENT abc", error("[comment] format error.")},
        {"[EVENT word,string,\"hi\"]", "F8 00 00 00 07 00 00 00 00 68 69 00 FF FF FF FF"},
        {"[EVENT sound,adpcm,\"s\"]", "F8 00 00 00 06 02 00 00 00 73 00 FF"},
        {"[EVENT 0, 1, hi]", "F8 00 00 00 07 00 01 00 00 68 69 00 FF FF FF FF"},
        {"[EVENT 3,0,\"x\"]", error("EVENT category is not defined.")},
        {"[EVENT word,5,\"x\"]", error("EVENT class is not defined.")},
        {"[EVENT $,0,\"x\"]", error("SYNTAX ERROR")},
        {"[EVENT word,string,\"hi", error("[event] format error.")},
    });
    RunResult result = compileSource(onTrack1("[EVENT picture,pic,\"p\"]"), {"-W4"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: EVENT PICTURE/SOUND is not supported in v2m3.");
}

}  // namespace
