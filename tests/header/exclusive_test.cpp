// Exclusive events, raw MIDI data and module resets: a header in, the exact
// common stream (or the message and exit code) out.
#include <gtest/gtest.h>

#include <string>

#include "header/exclusive.h"
#include "header_cases.h"
#include "records/records.h"
#include "scan/scan_fixture.h"

namespace {

struct StreamCase {
    std::string source;
    std::string common;  // hex, the end code and its pad included
};

void expectCommonStreams(const std::vector<StreamCase>& cases, uint32_t flags) {
    for (const StreamCase& c : cases) {
        RunResult result = compileSource(c.source);
        ASSERT_EQ(result.exitCode, 0) << c.source << "\n" << result.stderrText;
        VldFile vld = readVld(result.vldBytes);
        ASSERT_TRUE(vld.ok()) << c.source << ": " << vld.error;
        EXPECT_EQ(toHex(vld.common), toHex(hex(c.common))) << c.source;
        EXPECT_EQ(vld.flags, flags) << c.source;
    }
}

TEST(ModuleResets, WriteTheirFixedMessagesToTheCommonStream) {
    const std::string gsReset = " 00 00 00 0B F0 41 10 42 12 40 00 7F 00 41 F7";
    expectCommonStreams(
        {
            {".GS_RESET\n", "34 FF" + label("GS_RESET") + gsReset + " FF FF"},
            {".SC55_INIT\n.SC55_RESET\n", "34 FF" + label("GS_RESET") + gsReset + "34 FF" + label("GS_RESET") + gsReset + "FF FF"},
            {".GS_INIT /reset\n", "34 FF" + label("GS_RESET") + gsReset + " FF FF"},
            // dev replaces the third byte, the checksum covers only address and data; IF 2 is stored as 1.
            {".GS_RESET 17, 2\n", "34 01" + label("GS_RESET") + "00 00 00 0B F0 41 11 42 12 40 00 7F 00 41 F7 FF FF"},
            {".GS_RESET $7F 4\n", "34 03" + label("GS_RESET") + "00 00 00 0B F0 41 7F 42 12 40 00 7F 00 41 F7 FF FF"},
            {".GM_SYSTEM_ON\n", "34 FF" + label("GM_SYSTEM_ON") + "00 00 00 06 F0 7E 7F 09 01 F7 FF"},
            {".GM_SYSTEM_ON 3\n", "34 02" + label("GM_SYSTEM_ON") + "00 00 00 06 F0 7E 7F 09 01 F7 FF"},
            {".GM2_SYSTEM_ON\n", "34 FF" + label("GM2_SYSTEM_ON") + "00 00 00 06 F0 7E 7F 09 03 F7 FF FF"},
            {".XG_SYSTEM_ON\n", "34 FF" + label("XG_SYSTEM_ON") + "00 00 00 09 F0 43 10 4C 00 00 7E 00 F7 FF FF"},
            {".XG_INIT 0,1\n", "34 00" + label("XG_SYSTEM_ON") + "00 00 00 09 F0 43 00 4C 00 00 7E 00 F7 FF FF"},
            // Several commands on one line: each stops where the next begins.
            {".GS_RESET 16 .GM_SYSTEM_ON\n", "34 FF" + label("GS_RESET") + gsReset + "34 FF" + label("GM_SYSTEM_ON") +
                                                "00 00 00 06 F0 7E 7F 09 01 F7 FF"},
        },
        0);
}

TEST(ModuleModes, WriteTheMu100MapAndTheSc88ModeAndMarkTheFlags) {
    const std::string map = label("MU100_VOICE_MAP") + "00 00 00 09 F0 43";
    const std::string mode = label("SC88_MODE") + "00 00 00 0B F0 41";
    expectCommonStreams(
        {
            {".MU100_VOICE_MAP native\n", "34 FF" + map + "10 49 00 00 12 01 F7 FF"},
            {".MU100_VOICE_MAP basic 17, 2\n", "34 01" + map + "11 49 00 00 12 00 F7 FF"},
            {".MU100_VOICE_MAP 1\n", "34 FF" + map + "10 49 00 00 12 01 F7 FF"},
            {".MU100_BASIC_MAP\n", "34 FF" + map + "10 49 00 00 12 00 F7 FF"},
            {".MU100_NATIVE_MAP 18\n", "34 FF" + map + "12 49 00 00 12 01 F7 FF"},
            {".SC88_MODE double\n", "34 FF" + mode + "10 42 12 00 00 7F 01 00 F7 FF"},
            {".SC88_MODE single\n", "34 FF" + mode + "10 42 12 00 00 7F 00 01 F7 FF"},
            {".SC88_MODE_SET 1\n", "34 FF" + mode + "10 42 12 00 00 7F 00 01 F7 FF"},
            // dev and IF number behind separators, the IF number stored as given.
            {".SC88_MODE 2, 17, 3\n", "34 03" + mode + "11 42 12 00 00 7F 01 00 F7 FF"},
        },
        kFlagModuleText);
}

TEST(RawExclusives, CarryTheUsersBytesWithTheirFrameAndChecksum) {
    expectCommonStreams(
        {
            {".EXCLUSIVE = {1,2}\n", "34 FF 00 00 00 00 04 F0 01 02 F7 FF"},
            {".EXCLUSIVE {}\n", "34 FF 00 00 00 00 02 F0 F7 FF"},
            {".MIDI_DATA 2, pan {$B0,10,64}\n", "34 02" + label("pan ") + "00 00 00 03 B0 0A 40 FF FF"},
            // A number from 256 up gives its 7-bit groups, low first; a quoted text its characters.
            {".MIDI_DATA {300,\"AB\",$7F}\n", "34 FF 00 00 00 00 05 2C 02 41 42 7F FF FF"},
            // Items separated by blanks, over lines, around a comment.
            {".EXCLUSIVE {1 2\r\n 3, / third\r\n 4\r\n}\n", "34 FF 00 00 00 00 06 F0 01 02 03 04 F7 FF"},
            // Roland: F0 41 dev model 12, checksum over address and data.
            {".ROLAND_EXCLUSIVE 16, 66 {$40,1,$30,4}\n", "34 FF 00 00 00 00 0B F0 41 10 42 12 40 01 30 04 0B F7 FF FF"},
            // Without a separator behind dev the model is the GS default 0x16.
            {".ROLAND_EXCLUSIVE {$40,1,$30,4}\n", "34 FF 00 00 00 00 0B F0 41 10 16 12 40 01 30 04 0B F7 FF FF"},
            {".ROLAND_EXCLUSIVE 17{$40,1,$30,4}\n", "34 FF 00 00 00 00 0B F0 41 11 16 12 40 01 30 04 0B F7 FF FF"},
            {".ROLAND_EXCLUSIVE 17 1 2, x {$40,1,$30,4}\n",
             "34 02" + label("x ") + "00 00 00 0B F0 41 11 01 12 40 01 30 04 0B F7 FF FF"},
            // Yamaha bulk: count of the data behind the 3-byte address, checksum over count, address, data.
            {".YAMAHA_EXCLUSIVE 16 127 {0,0,0,1,2}\n", "34 FF 00 00 00 00 0D F0 43 10 7F 00 02 00 00 00 01 02 7B F7 FF FF"},
            {".YAMAHA_EXCLUSIVE 16, 3 {0,0,0}\n", "34 03 00 00 00 00 0B F0 43 10 00 00 00 00 00 00 00 F7 FF FF"},
            // Bulk with data checksum: the count and the checksum cover every byte.
            {".DX_BULK_DUMP 0 9 {1,2,3}\n", "34 FF 00 00 00 00 0B F0 43 00 09 00 03 01 02 03 7A F7 FF FF"},
            // XG parameter change: model 4C, no checksum.
            {".XG_EXCLUSIVE 16, 1, part {8,0,7,1}\n", "34 01" + label("part ") + "00 00 00 09 F0 43 10 4C 08 00 07 01 F7 FF"},
        },
        kFlagModuleText);
}

TEST(RawExclusives, TakeAListLongerThanTheWorkBlock) {
    std::string source = ".EXCLUSIVE {";
    for (int i = 0; i < 9000; ++i) source += "1,";
    source += "2}\n";
    RunResult result = compileSource(source);
    ASSERT_EQ(result.exitCode, 0) << result.stderrText;
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    ASSERT_EQ(vld.common.size(), 7u + 9003u + 2u);
    EXPECT_EQ(toHex(vld.common.data(), 7), "34 FF 00 00 00 23 2B");
    EXPECT_EQ(toHex(vld.common.data() + vld.common.size() - 5, 5), "01 02 F7 FF FF");
}

TEST(ExclusiveNotices, ShowTheGenerationOfACommandAtWarningLevel4) {
    const std::pair<const char*, const char*> cases[] = {
        {".XG_SYSTEM_ON\n", ".xg_system_on can use only for vlc2."},
        {".XG_INIT\n", ".xg_system_on can use only for vlc2."},
        {".MU100_BASIC_MAP\n", ".mu100_basic_map can use only for vlc2."},
        {".MU100_NATIVE_MAP\n", ".mu100_native_map can use only for vlc2."},
        {".GM2_SYSTEM_ON\n", ".gm2_system_on can use only for vlc3."},
    };
    for (const auto& [source, message] : cases) {
        RunResult quiet = compileSource(source);
        EXPECT_EQ(quiet.exitCode, 0);
        EXPECT_EQ(stderrWithoutBanner(quiet), "") << source;
        RunResult shown = compileSource(source, {"-W4"});
        EXPECT_EQ(shown.exitCode, 0);
        EXPECT_EQ(firstMessage(shown), std::string("song.vls\t1: Warning: ") + message) << source;
        EXPECT_FALSE(shown.vldBytes.empty()) << source;
    }
}

TEST(ExclusiveErrors, StopTheRunWithTheirMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {".GS_RESET $\n", "song.vls\t1: Error: exclusive ID error."},
        {".GS_RESET 16, %2\n", "song.vls\t1: Error: IF number error."},
        {".XG_SYSTEM_ON -\n", "song.vls\t1: Error: exclusive ID error."},
        {".GM_SYSTEM_ON $\n", "song.vls\t1: Error: IF number error."},
        {".SC88_MODE\n", "song.vls\t1: Error: SYNTAX ERROR"},
        {".SC88_MODE $\n", "song.vls\t1: Error: SYNTAX ERROR"},
        {".SC88_MODE 3\n", "song.vls\t1: Error: .SC88_MODE: the mode is out of range."},
        {".SC88_MODE 0\n", "song.vls\t1: Error: .SC88_MODE: the mode is out of range."},
        {".SC88_MODE single $\n", "song.vls\t1: Error: SYNTAX ERROR"},
        {".SC88_MODE single 16 -\n", "song.vls\t1: Error: SYNTAX ERROR"},
        {".MU100_VOICE_MAP\n.GS_RESET\n", "song.vls\t1: Error: SYNTAX ERROR"},
        {".MU100_VOICE_MAP 2\n", "song.vls\t1: Error: .MU100_VOICE_MAP: the mode is out of range."},
        {".MU100_VOICE_MAP basic $\n", "song.vls\t1: Error: exclusive ID error."},
        {".EXCLUSIVE {1 x}\n", "song.vls\t1: Error: illegal partition character."},
        {".ROLAND_EXCLUSIVE ${1}\n", "song.vls\t1: Error: exclusive ID error."},
        {".YAMAHA_EXCLUSIVE 16 $,{1}\n", "song.vls\t1: Error: exclusive ID error."},
        {".XG_EXCLUSIVE -{1}\n", "song.vls\t1: Error: exclusive ID error."},
    };
    for (const auto& [source, message] : cases) {
        RunResult result = compileSource(source);
        EXPECT_EQ(result.exitCode, 1) << source;
        EXPECT_EQ(firstMessage(result), message) << source;
        EXPECT_FALSE(result.vldExists) << source;
    }
}

TEST(ExclusiveErrors, AListThatNeverClosesEndsAtTheEndOfTheText) {
    for (const char* source : {".EXCLUSIVE {1,2\n", ".MIDI_DATA {1,2", ".ROLAND_EXCLUSIVE {\n", ".GS_RESET\n.EXCLUSIVE"}) {
        RunResult result = compileSource(source);
        EXPECT_EQ(result.exitCode, 1) << source;
        const std::string message = firstMessage(result);
        EXPECT_TRUE(message.ends_with("Error: unexpected EOF.") || message.ends_with("Error: SYNTAX ERROR"))
            << source << ": " << message;
        EXPECT_FALSE(result.vldExists) << source;
    }
}

// The track forms: bracket commands pass the tracks of their line. The common
// track gets the full event; other tracks the 0xF4 (template) and 0xF3
// (SC-88 mode) forms.
class TrackForms : public ::testing::Test {
protected:
    TrackForms() : trk(kTrackCount) {
        for (int n : {0, 2, 5}) allocTrackBuffer(trk, n);
    }
    std::string streamOf(int track) const { return toHex(trk[track].buf.data(), trk[track].buf.size()); }
    TrackRecords trk;
    headdata hd;
};

TEST_F(TrackForms, TemplatesGoToEveryTrackOfTheSet) {
    ScanText text(" 2]");
    const uint8_t set[] = {2, 5, 0, 255};
    Pos end = gmSystemOnCommand(text.at(), trk, hd, set);
    EXPECT_EQ(text.offsetOf(end), 2u);
    const std::string body = label("GM_SYSTEM_ON") + " 00 00 00 06 F0 7E 7F 09 01 F7";
    EXPECT_EQ(streamOf(2), toHex(hex("F4" + body)));
    EXPECT_EQ(streamOf(5), toHex(hex("F4" + body)));
    EXPECT_EQ(streamOf(0), toHex(hex("34 01" + body)));
}

TEST_F(TrackForms, TheSc88ModeWritesItsShortFormInTracks) {
    ScanText text(" double, 17]");
    const uint8_t set[] = {5, 255};
    Pos end = sc88ModeCommand(text.at(), trk, hd, set);
    EXPECT_EQ(text.offsetOf(end), 11u);
    EXPECT_EQ(streamOf(5), toHex(hex("F3 41" + label("SC88_MODE") + "00 00 00 04 00 00 7F 01")));
    EXPECT_TRUE(trk[0].buf.empty());
}

}  // namespace
