#include <gtest/gtest.h>

#include <string>

#include "compile/records.h"
#include "scan/scan_fixture.h"
#include "support/harness.h"
#include "track/simple_commands.h"

namespace {

constexpr const char* kTwoTracks = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n";

// The streams of the written tracks joined by " | ", or "exit N: <first
// message behind the banner>" when the run failed.
std::string compiled(const std::string& source, const std::vector<std::string>& args = {}) {
    RunResult result = compileSource(source, args);
    if (result.exitCode != 0) {
        std::string text = stderrWithoutBanner(result);
        return "exit " + std::to_string(result.exitCode) + ": " + text.substr(0, text.find('\n'));
    }
    VldFile vld = readVld(result.vldBytes);
    if (!vld.ok()) return "bad file: " + vld.error;
    std::string out;
    for (const VldTrack& t : vld.tracks) out += (out.empty() ? "" : " | ") + toHex(t.events);
    return out;
}

std::string onTrack1(const std::string& mml) { return compiled(".ASSIGN 1 {midi1}\n(t1) " + mml + "\n"); }

TEST(SimpleCommands, WriteTheirEvents) {
    const std::pair<const char*, const char*> cases[] = {
        {"\"1 \"0 \"-3", "9E 01 9E 00 9E 01 FF FF"},
        {";1,2, $FF ,300", "01 02 FF 2C FF FF FF FF"},
        {";1,", "01 FF FF FF"},
        {"=", "99 00 98 00 B3 00 00 96 00 FF FF FF"},
        {"=31", "99 02 98 02 B3 00 02 96 02 FF FF FF"},
        {"=5", "99 00 98 02 B3 00 00 96 02 FF FF FF"},
        {"?10,+5 ?10,-5 ?10,5", "D7 0A 05 D8 0A 05 D5 0A 05 FF FF FF"},
        {"H0", "97 80 00 01 FF FF FF FF"},
        {"H1,0", "97 00 00 01 B5 00 80 00 01 FF FF FF"},
        {"h,7", "B5 00 00 00 01 FF FF FF"},
        {"M3", "95 02 FF FF"},
        {"m3, 1", "95 02 B4 00 00 FF FF FF"},
        {"M S8", "B0 80 00 FF"},
        {"K-3 k127", "AB FD AB 7F FF FF FF FF"},
        {"N1 n32", "CC 80 00 FF F7 CC 80 00 00 16 FF FF"},
        {"S8", "B0 80 00 FF"},
        {"S7,100", "B0 00 07 C9 00 80 5C FF"},
        {"\\-10", "D6 7F FE 00 00 07 0A 00 00 80 FF FF"},
        {"\\", "D6 7F FE 00 00 07 00 00 80 00 FF FF"},
        {"\\127", "D6 7F FE 00 00 07 7F 00 80 00 FF FF"},
        {"\\200", "D6 7F FE 00 00 07 C8 00 80 00 FF FF"},
        {"~~~", "91 03 FF FF"},
        {"~2~", "91 04 FF FF"},
        {"~2~ _", "91 04 91 FE FF FF FF FF"},
        {"~2 ~3~ ~", "91 0B FF FF"},
        {"_5_", "91 F6 FF FF"},
    };
    for (const auto& [mml, stream] : cases) EXPECT_EQ(onTrack1(mml), stream) << mml;
}

TEST(SimpleCommands, ChannelChangeFollowsTheSc88Mode) {
    const std::pair<const char*, const char*> cases[] = {
        {"N1", "CC 80 00 00 00"}, {"N16", "CC 80 00 00 0F"}, {"N17", "CC 80 00 FF F7"},
        {"N25", "CC 80 00 FF FF"}, {"N26", "CC 80 00 00 10"}, {"N32", "CC 80 00 00 16"},
    };
    for (const auto& [mml, event] : cases) {
        EXPECT_EQ(compiled(".ASSIGN 1 {midi1}\n(B1)\n(t1) " + std::string(mml)), std::string(event) + " FF FF FF")
            << mml;
    }
}

TEST(SimpleCommands, EveryTrackOfTheSetGetsTheEventAndKeepsItsOwnStep) {
    EXPECT_EQ(compiled(std::string(kTwoTracks) + "(t1,2) S8"), "B0 80 00 FF | B0 80 00 FF");
    // Each track has its own velocity step.
    EXPECT_EQ(compiled(std::string(kTwoTracks) + "(t1) ~5 (t1,2) ~"), "91 05 91 05 FF FF FF FF | 91 01 FF FF");
}

TEST(SimpleCommands, ReportMistakesAndStop) {
    const std::pair<const char*, const char*> cases[] = {
        {"?", "workarea control(`?') must be followed to its parameter."},
        {"?$", "workarea control(`?') must be followed to its parameter."},
        {"?300,1", "work address is out of range."},
        {"?-1,1", "work address is out of range."},
        {"?10", "workarea control(`?') must have 2 parameters."},
        {"?10,", "workarea control(`?') must have 2 parameters."},
        {"H$", "H error."},
        {"M1,$", "M error."},
        {"S%2", "S error."},
        {"K", "`k'(key transpose) must be followed to its parameter."},
        {"K128", "key transpose parameter is out of range(-128 - 127)."},
        {"k-129", "key transpose parameter is out of range(-128 - 127)."},
        {"N", "`n'(channel change) must be followed to its parameter."},
        {"N0", "channel change parameter is out of range(1 - 32)."},
        {"n33", "channel change parameter is out of range(1 - 32)."},
        {"]", "']' nest error."},
    };
    for (const auto& [mml, message] : cases)
        EXPECT_EQ(onTrack1(mml), "exit 1: song.vls\t2: Error: " + std::string(message))
            << mml;
}

TEST(SimpleCommands, WarnWithoutChangingTheBytes) {
    const std::pair<const char*, const char*> cases[] = {
        {";1", "Warning: It's too dangerous to insert VLD data directly."},
        {"?1,1", "Warning: workarea control(`?') will be ignored by many drivers."},
        {"\\-129", "Warning: fadein/out parameter is out of range(-128 - 127)."},
    };
    for (const auto& [mml, message] : cases) {
        RunResult result = compileSource(".ASSIGN 1 {midi1}\n(t1) " + std::string(mml) + "\n");
        EXPECT_EQ(result.exitCode, 0) << mml;
        EXPECT_EQ(stderrWithoutBanner(result).substr(0, stderrWithoutBanner(result).find('\n')),
                  "song.vls\t2: " + std::string(message))
            << mml;
    }
}

TEST(SimpleCommands, OmittedNumbersLeaveTheLineCountRight) {
    // `=` and `_` look for a number across the line end; the next line's
    // messages must still name their own line.
    EXPECT_EQ(onTrack1("=\n~\n\nK"), "exit 1: song.vls\t5: Error: `k'(key transpose) must be followed to its parameter.");
    EXPECT_EQ(compiled(".ASSIGN 1 {midi1}\n(t1) H\nM\n;\nS\nN\n", {"-W2"}), "exit 1: song.vls\t6: Error: `n'(channel change) must be followed to its parameter.");
}

// The track records, header and track state of one compile, for looking at
// what a command leaves in a track's state.
struct Tracks {
    headdata hd;
    TrackRecords trk{kTrackCount};
    TrackInfos inf{kTrackCount};
    TrackCompile tc{trk, hd, inf, {1, 255}, LineTracking{}};
    Tracks() {
        for (int t = 1; t < kTrackCount; ++t) initTrkInf(inf[t], hd);
    }
};

TEST(SimpleCommands, SetTheTrackState) {
    ScanText text("=15 K-5 ~4 =16");
    Tracks t;
    t.tc.command_line = lineTracking();
    Pos p = switchMaskCommand(text.at(1), t.tc);
    EXPECT_EQ(t.inf[1].velocity_sequence_enable, 0);
    p = keyTransposeCommand(p + 2, t.tc);
    EXPECT_EQ(t.inf[1].key_transpose, -5);
    p = velocityStepCommand(p + 2, t.tc, '~');
    EXPECT_EQ(t.inf[1].velocity_step, 4);
    switchMaskCommand(p + 2, t.tc);
    EXPECT_EQ(t.inf[1].velocity_sequence_enable, 1);
}

TEST(SimpleCommands, ClosingBracketReturnsToTheParentTracks) {
    ScanText text("] x");
    Tracks t;
    t.tc.command_line = lineTracking();
    t.hd.parent_track[5] = 1;
    t.hd.parent_track[6] = 2;
    t.hd.parent_track[7] = 2;
    t.trk[5].redirect = 9;
    t.tc.target = {5, 6, 7, 255};
    Pos end = parentTrackCommand(text.at(1), t.tc);
    EXPECT_EQ(text.offsetOf(end), 1u);
    EXPECT_EQ(t.tc.target, (std::vector<uint8_t>{1, 2, 255}));
    EXPECT_EQ(t.trk[5].redirect, -1);

    t.tc.target = {1, 255};
    EXPECT_EQ(exitCodeOf([&] { parentTrackCommand(text.at(1), t.tc); }), 1);
    EXPECT_NE(text.errors().find("Error: ']' nest error."), std::string::npos);
}

}  // namespace
