// Inputs found by fuzzing: each once crashed, hung or left a file behind. A
// bad source stops with its message and exit code 1 and leaves no compiled
// file.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "support/harness.h"
#include "track/track_cases.h"

namespace {

struct Hostile {
    std::string source;
    int exitCode;
    std::string firstMessage;  // the first line behind the banner
};

TEST(HostileInput, StopsWithAMessageAndNoFile) {
    const Hostile cases[] = {
        // A track list with no track in it left the commands behind it with no
        // track to compile for, and the compiler read the next one forever.
        {"(t,) o5 c d,,+3 e&^8: f0(,-602 ?1,2 H0 S\xdf,9\n", 1, "song.vls\t1: Error: no track number is assigned."},
        {"(t,) c\n", 1, "song.vls\t1: Error: no track number is assigned."},
        {"(t,,) c\n", 1, "song.vls\t1: Error: no track number is assigned."},
        {".track ,{ c }\n", 1, "song.vls\t1: Error: no track number is assigned."},
    };
    for (const Hostile& c : cases) {
        RunResult result = compileSource(c.source);
        std::string errors = stderrWithoutBanner(result);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.source;
        EXPECT_EQ(errors.substr(0, errors.find('\n')), c.firstMessage) << c.source;
        EXPECT_FALSE(result.vldExists) << c.source;
    }
}

// @s doubles its value into 16 bits: a value whose double does not fit an
// int wraps like the kept bits do, instead of overflowing.
TEST(HostileInput, HugeDoubledValuesWrap) {
    RunResult result = compileSource(".ASSIGN 1 {midi1}\n(t1) @s-1431655766\n");
    ASSERT_EQ(result.exitCode, 0) << stderrWithoutBanner(result);
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(toHex(vld.tracks.at(0).events), "E3 01 55 54 FF FF FF FF");
    // The input that found it.
    std::string found = ".ASSI@z-20,+5,,1" + std::string(23, '~') + "(t1)" + std::string(16, '~') + std::string(53, '6') +
                        "@s" + std::string(50, '6') + "~~~~~~~~~~~~~#" + std::string(38, '~') +
                        std::string(40, '6') + "~~~~~~~~~~~00,-2\"\"\"\"\"\"\"\"\"\"\"\"\"    \"00\n";
    EXPECT_EQ(compileSource(found).exitCode, 0);
}

// Lists that only begin or end with a comma still name their tracks.
TEST(HostileInput, ListsWithStrayCommasStillWork) {
    for (const char* source : {".ASSIGN 1 {midi1}\n(t,1) c\n", ".ASSIGN 1 {midi1}\n(t1,) c\n"}) {
        RunResult result = compileSource(source);
        EXPECT_EQ(result.exitCode, 0) << source << stderrWithoutBanner(result);
        EXPECT_TRUE(result.vldExists) << source;
    }
}

// Any number a command reads may be one of the ends of the 32-bit range. The
// arithmetic on it never overflows: a value the file stores in a byte or a
// word keeps its low bits, one that is limited is limited from the true sum,
// and one refused for its range is refused for the true sum.
TEST(HostileInput, NumbersAtTheEndsOfTheRange) {
    const std::pair<const char*, const char*> tracks[] = {
        {"@o2147483647", "A5 7F FF FF"},
        {"@z+2147483647", "E3 7F FF FF FF FF FF FF FF FF FF FF"},
        {"@u+2147483647 c", "93 7F 3C 30 30 80 FF FF"},
        {"@u-2147483648 c", "93 00 3C 30 30 80 FF FF"},
        {"v64,2147483647 c", "exit 1: song.vls\t2: Error: v/@v parameter is out of range."},
        {"u10:5 c,,2147483647", "93 0A 3C 30 30 7F FF FF"},
        {"c,,+2147483647", "exit 1: song.vls\t2: Error: relative velocity must be in from -63 to 63."},
        {"c,,-2147483648", "exit 1: song.vls\t2: Error: relative velocity must be in from -63 to 63."},
        {"M-2147483648", "95 FF FF FF"},
        {"S2147483647", "B0 7F F7 FF"},
        {"?1,-2147483648", "D8 01 00 FF"},
        {"i2147483647,2147483647", "C6 FF FF FF"},
        {"[TIMBRE_SPLIT on, 2147483647:2147483647,-2147483648,c,d]",
         "exit 1: song.vls\t2: Error: bank number is out of range(0 - 65535)."},
        {"[TIMBRE_SPLIT on, 0,1,-2147483648-,c]", "DE 81 FF 3C 00 00 00 00 FF FF FF FF"},
    };
    for (const auto& [mml, stream] : tracks) EXPECT_EQ(streamsOf(onTrack1(mml)), stream) << mml;
    const std::pair<const char*, const char*> headers[] = {
        {".ASSIGN 1 {2147483647}", " | 00 FFFF FFFE"},
        {".ASSIGN 1 {-2147483648}", " | 00 FFFF FFFF"},
        {".ASSIGN 1 {adpcm2147483647}", " | 00 0001 0016"},
        {".ASSIGN 1 {midi-2147483648}", " | 00 FFFF FFFF"},
        {".ASSIGN 1 {midi2147483647-1}", " | 00 7FFE 0000"},
        {".ASSIGN 1 {midi-2147483648-1}", " | 00 7FFF 0000"},
        {".GS_DRUM_SETUP 2147483647, 36 {1,2,3,4,5,6,7,8}", "exit 1: song.vls\t1: Error: .GS_DRUM_SETUP: the map is out of range."},
        {".GS_RESET 16,-2147483648",
         "34 FF 08 47 53 5F 52 45 53 45 54 00 00 00 0B F0 41 10 42 12 40 00 7F 00 41 F7 FF FF | FF 8000 0000"},
    };
    // The header's results: the first message, or the common stream and
    // track 1's interface, device and channel as the track table holds them.
    auto headerResult = [](const std::string& source) -> std::string {
        RunResult result = compileSource(source + "\n(t1) c\n");
        if (result.exitCode != 0) return "exit " + std::to_string(result.exitCode) + ": " + firstMessage(result);
        VldFile vld = readVld(result.vldBytes);
        if (!vld.ok() || vld.tracks.empty()) return "bad file: " + vld.error;
        const VldTrack& t = vld.tracks[0];
        char table[32];
        std::snprintf(table, sizeof table, "%02X %04X %04X", t.interfaceByte, t.device, t.channel);
        return toHex(vld.common) + " | " + table;
    };
    for (const auto& [header, result] : headers) EXPECT_EQ(headerResult(header), result) << header;
}

}  // namespace
