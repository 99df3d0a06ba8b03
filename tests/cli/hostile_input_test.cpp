// Inputs found by fuzzing: each once crashed, hung or left a file behind. A
// bad source stops with its message and exit code 1 and leaves no compiled
// file.
#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"

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

}  // namespace
