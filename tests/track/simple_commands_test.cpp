#include "records/records.h"
#include "scan/scan_fixture.h"
#include "track/simple_commands.h"
#include "track_cases.h"

namespace {

TEST(SimpleCommands, WriteTheirEvents) {
    expectStreams({
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
        {"\\200", "D6 7F FE 00 00 07 C8 00 80 00 FF FF"},
        {"~~~", "91 03 FF FF"},
        {"~2~", "91 04 FF FF"},
        {"~2~ _", "91 04 91 FE FF FF FF FF"},
        {"~2 ~3~ ~", "91 0B FF FF"},
        {"_5_", "91 F6 FF FF"},
    });
}

TEST(SimpleCommands, ChannelChangeFollowsTheSc88Mode) {
    const std::pair<const char*, const char*> cases[] = {
        {"N1", "00 00"}, {"N16", "00 0F"}, {"N17", "FF F7"}, {"N25", "FF FF"}, {"N26", "00 10"}, {"N32", "00 16"},
    };
    for (const auto& [mml, word] : cases)
        EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n(B1)\n(t1) " + std::string(mml)), "CC 80 00 " + std::string(word) + " FF FF FF")
            << mml;
}

TEST(SimpleCommands, EveryTrackOfTheSetGetsTheEventAndKeepsItsOwnStep) {
    const std::string assign = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n";
    EXPECT_EQ(streamsOf(assign + "(t1,2) S8"), "B0 80 00 FF | B0 80 00 FF");
    EXPECT_EQ(streamsOf(assign + "(t1) ~5 (t1,2) ~"), "91 05 91 05 FF FF FF FF | 91 01 FF FF");
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
        EXPECT_EQ(streamsOf(onTrack1(mml)), "exit 1: song.vls\t2: Error: " + std::string(message)) << mml;
    // Omitted numbers looked for across line ends leave the line count right.
    EXPECT_EQ(streamsOf(onTrack1("=\n~\nH\nM\n;\nS\n\nN"), {"-W2"}),
              "exit 1: song.vls\t9: Error: `n'(channel change) must be followed to its parameter.");
}

TEST(SimpleCommands, WarnWithoutChangingTheBytes) {
    const std::pair<const char*, const char*> cases[] = {
        {";1", "It's too dangerous to insert VLD data directly."},
        {"?1,1", "workarea control(`?') will be ignored by many drivers."},
        {"\\-129", "fadein/out parameter is out of range(-128 - 127)."},
    };
    for (const auto& [mml, message] : cases) {
        RunResult result = compileSource(onTrack1(mml));
        EXPECT_EQ(result.exitCode, 0) << mml;
        EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: " + std::string(message)) << mml;
    }
}

TEST(SimpleCommands, ClosingBracketReturnsToTheParentTracks) {
    ScanText text("]");
    headdata hd;
    TrackRecords trk(kTrackCount);
    TrackInfos inf(kTrackCount);
    TrackCompile tc{trk, hd, inf, {5, 6, 7, 255}};
    inf[5].parent_track = 1;
    inf[6].parent_track = inf[7].parent_track = 2;
    trk[5].redirect = 9;
    EXPECT_EQ(text.offsetOf(parentTrackCommand(text.at(1), tc)), 1u);
    EXPECT_EQ(tc.target, (std::vector<uint8_t>{1, 2, 255}));  // one parent named once
    EXPECT_EQ(trk[5].redirect, -1);
}

}  // namespace
