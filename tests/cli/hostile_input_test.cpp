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

// Lists that only begin or end with a comma still name their tracks.
TEST(HostileInput, ListsWithStrayCommasStillWork) {
    for (const char* source : {".ASSIGN 1 {midi1}\n(t,1) c\n", ".ASSIGN 1 {midi1}\n(t1,) c\n"}) {
        RunResult result = compileSource(source);
        EXPECT_EQ(result.exitCode, 0) << source << stderrWithoutBanner(result);
        EXPECT_TRUE(result.vldExists) << source;
    }
}

}  // namespace
