// Setup messages of GS, SC-88 and XG modules: a header in, the exact common
// stream, the warnings, or the message and exit code out.
#include <gtest/gtest.h>

#include <string>

#include "header/module_setup.h"
#include "header_cases.h"
#include "records/records.h"

namespace {

struct SetupCase {
    std::string source;
    std::string common;   // hex, the end code and its pad included
    std::string warning;  // the first message, "" for none
};

void expectSetups(const std::vector<SetupCase>& cases, uint32_t flags = kFlagModuleText) {
    for (const SetupCase& c : cases) {
        RunResult result = compileSource(c.source);
        ASSERT_EQ(result.exitCode, 0) << c.source << "\n" << result.stderrText;
        VldFile vld = readVld(result.vldBytes);
        ASSERT_TRUE(vld.ok()) << c.source << ": " << vld.error;
        EXPECT_EQ(toHex(vld.common), toHex(hex(c.common))) << c.source;
        EXPECT_EQ(vld.flags, flags) << c.source;
        EXPECT_EQ(firstMessage(result), c.warning.empty() ? "" : "song.vls\t1: Warning: " + c.warning) << c.source;
    }
}

const std::string kRoland = "F0 41 10 42 12";

TEST(EffectSetups, CarryOneOrTheFullCountOfValues) {
    const std::string reverb7 = "00 00 00 11 " + kRoland + " 40 01 30 04 40 05 06 07 08 09 28 F7";
    expectSetups({
        {".GS_REVERB {4}\n", "34 FF" + label("GS_REVERB") + "00 00 00 0B" + kRoland + "40 01 30 04 0B F7 FF", ""},
        {".SC55_REVERB 17, 2 {4}\n", "34 02" + label("GS_REVERB") + "00 00 00 0B F0 41 11 42 12 40 01 30 04 0B F7 FF", ""},
        {".GS_REVERB {4,64,5,6,7,8,9}\n", "34 FF" + label("GS_REVERB") + reverb7 + "FF", ""},
        {".GS_REVERB {4,64,5}\n", "34 FF" + label("GS_REVERB") + "00 00 00 0D" + kRoland + "40 01 30 04 40 05 46 F7 FF",
         ".sc55_reverb must have 1 or 7 parameter(s)."},
        {".GS_CHORUS {1,2}\n", "34 FF" + label("GS_CHORUS") + "00 00 00 0C" + kRoland + "40 01 38 01 02 04 F7 FF FF",
         ".sc55_chorus must have 1 or 8 parameter(s)."},
        {".SC88_REVERB {1,2}\n", "34 FF" + label("SC88_REVERB") + "00 00 00 0C" + kRoland + "40 01 30 01 02 0C F7 FF FF",
         ".sc88_reverb must have 1 or 8 parameter(s)."},
        {".SC88_CHORUS {1,2}\n", "34 FF" + label("SC88_CHORUS") + "00 00 00 0C" + kRoland + "40 01 38 01 02 04 F7 FF FF",
         ".sc88_chorus must have 1 or 9 parameter(s)."},
        {".SC88_DELAY {1,2}\n", "34 FF" + label("SC88_DELAY") + "00 00 00 0C" + kRoland + "40 01 50 01 02 6C F7 FF",
         ".sc88_delay must have 1 or 11 parameter(s)."},
        {".SC88_DELAY {0,0,0,0,0,0,0,0,0,0,0}\n",
         "34 FF" + label("SC88_DELAY") + "00 00 00 15" + kRoland + "40 01 50 00 00 00 00 00 00 00 00 00 00 00 6F F7 FF FF", ""},
        {".SC88_EQUALIZER 16 3 {1,2,3,4}\n",
         "34 03" + label("SC88_EQUALIZER") + "00 00 00 0E" + kRoland + "40 02 00 01 02 03 04 34 F7 FF", ""},
        {".SC88_EQUALIZER {1,2,3}\n", "34 FF" + label("SC88_EQUALIZER") + "00 00 00 0D" + kRoland + "40 02 00 01 02 03 38 F7 FF FF",
         ".sc88_equalizer must have just 4 parameters."},
    });
}

TEST(VoiceReserve, PutsPart10FirstAndWarnsOfTooManyVoices) {
    const std::string head = "34 FF" + label("GS_PARTIAL_RESERVE");
    expectSetups({
        // Parts 1 to 16; part 10 has 8 voices. 24 voices in all pass.
        {".GS_V_RESERVE {1,2,1,1,1,1,1,1,1,8,1,1,1,1,1,1}\n",
         head + "00 00 00 1A" + kRoland + "40 01 10 08 01 02 01 01 01 01 01 01 01 01 01 01 01 01 01 17 F7 FF", ""},
        {".SC55_PARTIAL_RESERVE {1,2,1,1,1,1,1,1,1,8,1,1,1,1,1,2}\n",
         head + "00 00 00 1A" + kRoland + "40 01 10 08 01 02 01 01 01 01 01 01 01 01 01 01 01 01 02 16 F7 FF",
         "voices should be less than or equal to 24 in voice-reserve."},
        // Other counts keep to the values given: part 10 still leads when there is one.
        {".GS_PARTIAL_RESERVE {1,2,3,4,5,6,7,8,9,10,11,12,13,14,15}\n",
         head + "00 00 00 19" + kRoland + "40 01 10 0A 01 02 03 04 05 06 07 08 09 0B 0C 0D 0E 0F 37 F7 FF FF",
         ".sc55_v_reserve must have just 16 parameters."},
        {".SC55_V_RESERVE {1,2,3}\n", head + "00 00 00 0D" + kRoland + "40 01 10 01 02 03 29 F7 FF FF",
         ".sc55_v_reserve must have just 16 parameters."},
    });
    // Both warnings of one list show.
    RunResult result = compileSource(".GS_V_RESERVE {20,20}\n");
    EXPECT_EQ(result.exitCode, 0);
    const std::string errors = stderrWithoutBanner(result);
    EXPECT_NE(errors.find("Warning: .sc55_v_reserve must have just 16 parameters."), std::string::npos) << errors;
    EXPECT_NE(errors.find("Warning: voices should be less than or equal to 24 in voice-reserve."), std::string::npos) << errors;
}

TEST(PartSetup, AddressesThePartsBlock) {
    expectSetups({
        {".GS_PART_SETUP 1 {$10}\n", "34 FF" + label("GS_PART_SETUP") + "00 00 00 0B" + kRoland + "40 11 02 10 1D F7 FF", ""},
        {".GS_PART_SETUP 10 {1}\n", "34 FF" + label("GS_PART_SETUP") + "00 00 00 0B" + kRoland + "40 10 02 01 2D F7 FF", ""},
        {".SC55_PART_PARAMETER 11 {1}\n",
         "34 FF" + label("GS_PART_SETUP") + "00 00 00 0B" + kRoland + "40 1A 02 01 23 F7 FF", ""},
        {".SC88_PART_SETUP 16 {0}\n", "34 FF" + label("SC88_PART_SETUP") + "00 00 00 0B" + kRoland + "40 1F 02 00 1F F7 FF", ""},
        // A comma right behind the part: the next number is the IF number.
        {".GS_PART_SETUP 1, 3 {$10}\n", "34 03" + label("GS_PART_SETUP") + "00 00 00 0B" + kRoland + "40 11 02 10 1D F7 FF",
         ""},
        {".GS_PART_PARAMETER 1 17, 3 {$10}\n",
         "34 03" + label("GS_PART_SETUP") + "00 00 00 0B F0 41 11 42 12 40 11 02 10 1D F7 FF", ""},
    });
}

TEST(DrumSetup, WritesOneMessagePerValueInOneEvent) {
    std::string eight;
    const char* sums8[] = {"19", "17", "15", "13", "11", "0F", "0D", "0B"};
    for (int i = 1; i <= 8; ++i) {
        eight += kRoland + " 41 0" + std::to_string(i) + " 24 0" + std::to_string(i) + " " + sums8[i - 1] + " F7 ";
    }
    std::string nine;
    const char* values9[] = {"0A", "14", "1E", "28", "32", "3C", "46", "50", "5A"};
    const char* sums9[] = {"7C", "71", "66", "5B", "50", "45", "3A", "2F", "24"};
    for (int i = 1; i <= 9; ++i) {
        nine += "F0 41 11 42 12 41 1" + std::to_string(i) + " 28 " + values9[i - 1] + " " + sums9[i - 1] + " F7 ";
    }
    expectSetups({
        {".GS_DRUM_SETUP 0, 36 {1,2,3,4,5,6,7,8}\n", "34 FF 00 00 00 00 58 " + eight + "FF", ""},
        {".SC55_DRUM_SETUP 0 36\r\n{1 2\r\n3,4, 5\t6,7,8}\n", "34 FF 00 00 00 00 58 " + eight + "FF", ""},
        {".SC88_DRUM_SETUP 1, 40 17, 2 {10,20,30,40,50,60,70,80,90}\n", "34 02 00 00 00 00 63 " + nine + "FF FF", ""},
    });
}

TEST(DisplayText, WritesTheQuotedText) {
    expectSetups({
        {".GS_PRINT \"HELLO\"\n", "34 FF" + label("GS_PRINT") + "00 00 00 0F F0 41 10 45 12 10 00 00 48 45 4C 4C 4F 7C F7 FF FF",
         ""},
        {".SC55_PRINT 17, 2 \"HELLO\" .GS_RESET\n",
         "34 02" + label("GS_PRINT") + "00 00 00 0F F0 41 11 45 12 10 00 00 48 45 4C 4C 4F 7C F7" + "34 FF" +
             label("GS_RESET") + "00 00 00 0B" + kRoland + "40 00 7F 00 41 F7 FF FF",
         ""},
    });
    // XG_PRINT leaves the flags alone.
    expectSetups({{".XG_PRINT \"HI\"\n", "34 FF" + label("XG_PRINT") + "00 00 00 0A F0 43 10 4C 06 00 00 48 49 F7 FF", ""}}, 0);
}

TEST(DisplayText, ATextCutShortByItsLineEndKeepsTheLineCount) {
    // The text ends at the line end; the error on the next line names line 2.
    RunResult result = compileSource(".GS_PRINT \"HELLO\n.GS_RESET $\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Error: exclusive ID error.");
}

TEST(DisplayBitmaps, PackSixteenRows) {
    const std::string rows = "{$8001, $FFFF, $0842, / comment\n $5555, 0,0,0,0,0,0,0,0,0,0,0, $7FFE}";
    const std::string gs =
        "10 1F 01 0A 00 00 00 00 00 00 00 00 00 00 00 0F 00 1F 01 15 00 00 00 00 00 00 00 00 00 00 00 1F "
        "00 1F 01 0A 00 00 00 00 00 00 00 00 00 00 00 1F 10 10 00 10 00 00 00 00 00 00 00 00 00 00 00 00";
    const std::string xg =
        "40 7F 04 2A 00 00 00 00 00 00 00 00 00 00 00 3F 00 7F 10 55 00 00 00 00 00 00 00 00 00 00 00 7F "
        "20 60 40 20 00 00 00 00 00 00 00 00 00 00 00 40";
    expectSetups({
        {".GS_DISPLAY " + rows + "\n", "34 FF 00 00 00 00 4A F0 41 10 45 12 10 01 00 " + gs + " 59 F7 FF", ""},
        {".SC55_DISPLAY 17, 2, heart " + rows + "\n",
         "34 02" + label("heart ") + "00 00 00 4A F0 41 11 45 12 10 01 00 " + gs + " 59 F7 FF", ""},
        {".XG_DISPLAY 16 = " + rows + "\n", "34 FF 00 00 00 00 38 F0 43 10 4C 07 00 00 " + xg + " F7 FF", ""},
    });
}

TEST(XgEqualizer, SendsTypeAndGainsInSixEvents) {
    auto event = [](const char* name, const char* address, const char* value) {
        return "34 01" + label(name) + "00 00 00 09 F0 43 10 4C 02 40 " + address + " " + value + " F7 ";
    };
    const std::string six = event("EQ TYPE", "00", "03") + event("EQ GAIN1", "01", "40") + event("EQ GAIN2", "05", "41") +
                            event("EQ GAIN3", "09", "42") + event("EQ GAIN4", "0D", "43") + event("EQ GAIN5", "11", "44");
    expectSetups({
        {".XG_EQUALIZER 16, 1, flat {rock, 64, 65, 66, 67, 68}\n", six + "FF", ""},
        {".XG_EQUALIZER , 1 {3 64\n 65 66,67,68 .GM_SYSTEM_ON\n", six + "34 FF" + label("GM_SYSTEM_ON") + "00 00 00 06 F0 7E 7F 09 01 F7 FF FF",
         ""},
    });
}

TEST(SetupErrors, StopTheRunWithTheirMessage) {
    const std::pair<std::string, const char*> cases[] = {
        {".GS_REVERB $, 2 {4}\n", "SYNTAX ERROR"},
        {".GS_CHORUS 16, ${4}\n", "SYNTAX ERROR"},
        {".SC88_EQUALIZER 16, -{1,2,3,4}\n", "IF number error."},
        {".GS_PART_SETUP {1}\n", "SYNTAX ERROR"},
        {".GS_PART_SETUP 0 {1}\n", ".GS_PART_SETUP: the part is out of range."},
        {".SC88_PART_SETUP 17 {1}\n", ".SC88_PART_SETUP: the part is out of range."},
        {".GS_DRUM_SETUP 0 {1}\n", "SYNTAX ERROR"},
        {".GS_DRUM_SETUP 0, 36 {1,2,3,4,5,6,7}\n", "SYNTAX ERROR"},
        {".GS_DRUM_SETUP 0, 36 {1,2,x}\n", "SYNTAX ERROR"},
        {".GS_DRUM_SETUP 8, 36 {1,2,3,4,5,6,7,8}\n", ".GS_DRUM_SETUP: the map is out of range."},
        {".SC88_DRUM_SETUP 0, 128 {1,2,3,4,5,6,7,8,9}\n", ".SC88_DRUM_SETUP: the note is out of range."},
        {".GS_DISPLAY {1,2,3}\n", "too few parameters."},
        {".GS_DISPLAY {1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17}\n", "too many parameters."},
        {".XG_DISPLAY {1,,2}\n", "SYNTAX ERROR"},
        {".XG_DISPLAY %2 {1}\n", "SYNTAX ERROR"},
        {".GS_DISPLAY 16, 1 (1,2)\n", "SYNTAX ERROR"},
        {".XG_EQUALIZER {flat, 1, 2}\n", "SYNTAX ERROR"},
        {".XG_EQUALIZER {$, 1, 2, 3, 4, 5}\n", "parameter error."},
        {".GS_PRINT $\"A\"\n", "SYNTAX ERROR"},
    };
    for (const auto& [source, message] : cases) {
        RunResult result = compileSource(source);
        EXPECT_EQ(result.exitCode, 1) << source;
        EXPECT_EQ(firstMessage(result), std::string("song.vls\t1: Error: ") + message) << source;
        EXPECT_FALSE(result.vldExists) << source;
    }
}

TEST(SetupErrors, AListThatNeverClosesEndsAtTheEndOfTheText) {
    for (const char* source : {".GS_REVERB {4,", ".GS_V_RESERVE {1,2\n", ".GS_DISPLAY {1,2,3\n", ".XG_DISPLAY {",
                               ".GS_DRUM_SETUP 0, 36 {1,2,3,4,5,6,7,8", ".GS_DRUM_SETUP 0, 36 {1,2\n",
                               ".XG_EQUALIZER {flat, 1\n", ".GS_PART_SETUP 1\n"}) {
        RunResult result = compileSource(source);
        EXPECT_EQ(result.exitCode, 1) << source;
        EXPECT_TRUE(firstMessage(result).ends_with("Error: unexpected EOF.")) << source << ": " << firstMessage(result);
        EXPECT_FALSE(result.vldExists) << source;
    }
}

TEST(DisplayPacking, MovesEveryBitToItsBlock) {
    std::array<uint16_t, 16> rows{};
    for (int bit = 0; bit < 16; ++bit) {
        rows.fill(0);
        rows[3] = static_cast<uint16_t>(1u << bit);
        const auto gs = packGsDisplay(rows);
        const auto xg = packXgDisplay(rows);
        int gsSet = 0;
        int xgSet = 0;
        for (unsigned char b : gs) gsSet += __builtin_popcount(b);
        for (unsigned char b : xg) xgSet += __builtin_popcount(b);
        EXPECT_EQ(gsSet, 1) << bit;  // no dot lost or doubled
        EXPECT_EQ(xgSet, 1) << bit;
        const int gsBlock = bit >= 11 ? 0 : bit >= 6 ? 1 : bit >= 1 ? 2 : 3;
        const int xgBlock = bit >= 9 ? 0 : bit >= 2 ? 1 : 2;
        EXPECT_NE(gs[gsBlock * 16 + 3], 0) << bit;
        EXPECT_NE(xg[xgBlock * 16 + 3], 0) << bit;
    }
}

}  // namespace
