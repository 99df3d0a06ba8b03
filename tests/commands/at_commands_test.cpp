#include <string>

#include "commands/emitters.h"
#include "header/header.h"
#include "records/records.h"
#include "scan/scan_fixture.h"
#include "support/harness.h"
#include "track/track_cases.h"

namespace {

std::string error(const std::string& message) { return "exit 1: song.vls\t2: Error: " + message; }

TEST(AtCommands, OwnHandlersWriteTheirEvents) {
    expectStreams({
        {"@c1,,3", "F7 00 A0 01 03 FF FF FF"},
        {"@C1,2,3", "F7 00 E0 01 02 03 FF FF"},
        {"@z", "BE 00 FF FF"},
        {"@z,", "E3 FF FF FF FF FF FF FF FF FF FF FF"},
        {"u120 @z+10", "93 78 E3 7F FF FF FF FF FF FF FF FF"},
        {"u10 @z-20,+5,,100,-200", "93 0A E3 00 05 FF 64 00 FF FF FF FF"},
        {"@z1,2,3,4,5,6,7,8", "E3 01 02 03 04 05 06 07 08 FF FF FF"},
        {"@n10", "CC 80 00 00 00 FF FF FF"},
        {"@n9", "CC 00 01 00 00 FF FF FF"},
        {"@n34", "CC 80 00 00 01 FF FF FF"},
        {"@n3 @n26 @n50", "CC 00 00 00 03 CC 00 01 00 01 CC 80 01 00 01 FF"},
        {"@m", "E2 00 00 FF"},
        {"@m100", "E2 01 01 00 64 FF FF FF"},
        {"@m10,+5,,-3", "E2 FF 0B 00 0A 00 0F 00 0C FF FF FF"},
        {"@h,5", "E7 00 00 01 00 05 FF FF"},
        {"@H1,2", "E4 00 01 00 01 E7 00 00 01 00 02 FF"},
        {"@s3 @s,2", "E3 01 00 06 E6 00 01 00 04 FF FF FF"},
        {"@f7 @o @o5", "A9 07 82 A5 85 FF FF FF"},
        {"@l96 c", "3C 60 60 80 FF FF FF FF"},
        {"@u100", "93 64 FF FF"},
        {"@q4 c", "3C 30 2C 80 FF FF FF FF"},
    });
}

TEST(AtCommands, AnythingButALetterIsAProgramChange) {
    expectStreams({
        {"@5", "C7 00 04 FF"},
        {"@1:2,10", "C6 01 02 C7 00 09 FF FF"},
        {"@128,1", "C6 01 00 C7 00 00 FF FF"},
        {"@1:,3", "C6 01 FF C7 00 02 FF FF"},
        {"@ 7 c", "C7 00 06 3C 30 30 80 FF"},
    });
}

TEST(AtCommands, Errors) {
    expectStreams({
        {"@f", error("@f can't omit its parameter.")},
        {"@h$", error("@H parameter error.")},
        {"@s0", error("@S parameter error.")},
        {"@s,$", error("@S parameter error.")},
        {"@l", error("@l can't omit its parameter.")},
        {"@n", error("@n can't omit its parameter.")},
        {"@c1,2,3,4", error("@c: too many parameters.")},
        {"@c+1", error("@c can't use relational parameters.")},
        {"@", error("`@'(program set) must be followed to its parameter.")},
        {"@1:2", error("`@'(program set) error.")},
        {"@1,", error("`@'(program set) error.")},
    });
}

TEST(AtCommands, ANinthZValueIsWarnedAndItsCommaSkipped) {
    RunResult result = compileSource(onTrack1("@z1,2,3,4,5,6,7,8,"), {"-W2"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: @z: too many ','.");
    EXPECT_EQ(streamsOf(onTrack1("@z1,2,3,4,5,6,7,8, c")), "E3 01 02 03 04 05 06 07 08 3C 30 30 80 FF FF FF");
}

// Relative @z values follow each track's own current velocity.
TEST(AtCommands, EveryTrackOfTheSetGetsItsOwnCopy) {
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) u100 (t2) u50 (t1,2) @z+10 @n12\n"),
              "93 64 E3 6E FF FF FF FF FF FF FF CC 80 00 00 02 FF FF FF FF | "
              "93 32 E3 3C FF FF FF FF FF FF FF CC 80 00 00 02 FF FF FF FF");
}

// After a note the channel change also moves the track itself.
TEST(AtCommands, ChannelChangeAfterANoteMovesTheTrack) {
    for (const auto& [mml, device] : {std::pair{"@n12 c", 0xFFFF}, std::pair{"c @n12", 0x8000}}) {
        RunResult result = compileSource(onTrack1(mml));
        VldFile vld = readVld(result.vldBytes);
        ASSERT_TRUE(vld.ok()) << vld.error;
        EXPECT_EQ(vld.tracks[0].device, device) << mml;
    }
}

// Omitted parameters at the end of a line leave the next line's number right.
TEST(AtCommands, OmittedValuesKeepTheLineCount) {
    for (const char* mml : {"@o\n@f", "@b\n@f", "@z\n@f", "w\n@f", "@d\n@f", "@r\n@f", "@h\n@f"})
        EXPECT_EQ(streamsOf(onTrack1(mml)), "exit 1: song.vls\t3: Error: @f can't omit its parameter.") << mml;
}

TEST(AtCommands, RequiredParametersWarnWhenMissing) {
    for (const char* mml : {"[BEND.SWITCH]", "[PITCH]", "[@PITCH $]", "[AUTO_PORTAMENT.SWITCH]"}) {
        RunResult result = compileSource(onTrack1(mml), {"-W4"});
        EXPECT_EQ(result.exitCode, 0) << mml;
        EXPECT_NE(firstMessage(result).find("require its parameter."), std::string::npos) << mml;
    }
}

// The flagged emitters as the controller modulation blocks use them: doubled
// sub-byte, reserved bytes, factor, step-encoded fields and the tweak.
struct EmitterTrack {
    headdata hd;
    TrackRecords trk{kTrackCount};
    TrackInfos inf{kTrackCount};
    TrackCompile tc{trk, hd, inf, {1, 255}};
    std::string emit(const std::string& source, bool highFirst, const FlaggedEvent& event) {
        ScanText text(source);
        trk[1].buf.truncate(0);
        if (highFirst) {
            highFirstFlaggedEmitter(text.at(), tc, event);
        } else {
            lowFirstFlaggedEmitter(text.at(), tc, event, [](int track, EventBuffer& out, size_t offset) {
                out.patch(offset, static_cast<unsigned>(track));
            });
        }
        return toHex(trk[1].buf.data(), trk[1].buf.size());
    }
};

TEST(Emitters, FlaggedFields) {
    EmitterTrack track;
    FlaggedEvent event;
    event.event = vld::eventNamed("arcc level");
    event.max_parameters = 3;
    event.widths = {kFieldByte, kFieldWord, kFieldStep};
    event.sub = 2;
    event.reserved = 1;
    event.factor = 2;
    EXPECT_EQ(track.emit("1,,100", false, event), "E5 04 01 05 02 80 C8");
    EXPECT_EQ(track.emit("1,2,3", false, event), "E5 04 01 07 02 00 04 06");
    event.tweak = 1;
    EXPECT_EQ(track.emit("1,,100", true, event), "E5 04 D0 01 64");
    event.tweak = 0;
    EXPECT_EQ(track.emit(",2", true, event), "E5 04 20 00 02");
    event.must_be_positive = true;
    event.omission_allowed = false;
    event.too_many = "too many";
    event.omitted = "omitted";
    EXPECT_EQ(exitCodeOf([&] { track.emit("1,0,3", false, event); }), 1);
    EXPECT_EQ(exitCodeOf([&] { track.emit("1,2", false, event); }), 1);
    EXPECT_EQ(exitCodeOf([&] { track.emit("1,,3", false, event); }), 1);
}

}  // namespace
