// The command line read into the options value of a run: which letters and
// names it holds, and what the run hands down from them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/switches.h"
#include "scan/diagnostics.h"

namespace {

Options optionsOf(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"vlc3"};
    argv.insert(argv.end(), args);
    return parseOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, ReadOnceIntoOneValue) {
    struct Case {
        std::initializer_list<const char*> args;
        const char* source;
        const char* destination;
        int w;
        bool column;
        bool toStandardOutput;
        bool keepsEveryTrack;
        bool debugDump;
    };
    const Case cases[] = {
        {{"song"}, "song", "", 3, false, false, false, false},
        {{"-W0", "-l", "song"}, "song", "", 0, true, false, false, false},
        {{"-l5", "song"}, "song", "", 3, false, false, false, false},
        {{"-cZ3", "-"}, "-", "", 3, false, true, true, false},
        {{"-z2", "-d", "song", "-o", "out"}, "song", "out", 3, false, false, false, true},
        {{"-oout", "song"}, "song", "out", 3, false, false, false, false},
        // A number is kept as a signed byte: 200 reads back as -56.
        {{"-w200", "song"}, "song", "", -56, false, false, false, false},
        {{"-w", "song"}, "song", "", -2, false, false, false, false},
    };
    for (const Case& c : cases) {
        std::string args;
        for (const char* arg : c.args) args += std::string(arg) + " ";
        Options options = optionsOf(c.args);
        EXPECT_EQ(options.source, c.source) << args;
        EXPECT_EQ(options.destination, c.destination) << args;
        EXPECT_EQ(options.get('w'), c.w) << args;
        EXPECT_EQ(messageSettingsOf(options).show_column, c.column) << args;
        EXPECT_EQ(options.toStandardOutput(), c.toStandardOutput) << args;
        EXPECT_EQ(options.keepsEveryTrack(), c.keepsEveryTrack) << args;
        EXPECT_EQ(options.debugDump(), c.debugDump) << args;
        EXPECT_FALSE(options.no_arguments) << args;
    }
    EXPECT_TRUE(optionsOf({}).no_arguments);
}

// Two runs in one process read their own command lines: nothing of the
// first is left for the second.
TEST(Options, EachRunStartsFromTheDefaults) {
    Options first = optionsOf({"-W4", "-z3", "-c", "a"});
    Options second = optionsOf({"b"});
    EXPECT_EQ(first.get('w'), 4);
    EXPECT_EQ(second.get('w'), 3);
    EXPECT_FALSE(second.keepsEveryTrack());
    EXPECT_FALSE(second.toStandardOutput());
    EXPECT_EQ(messageSettingsOf(second).source_name, "b");
}

}  // namespace
