#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/scanner.h"
#include "support/harness.h"
#include "scan_fixture.h"

namespace {

// The message settings a command line gives.
MessageSettings messagesAsUnder(char letter, int value) {
    Options options;
    options.set(letter, value);
    return messageSettingsOf(options);
}

// One warning of each level used by the compiler, then a repeat at the same
// position, printed at the given -W level.
std::string warningsAt(int warningLevel) {
    MessageSettings settings;
    settings.warning_level = warningLevel;
    ScanText text("abc", "song.vls", settings);
    vlserror("two", text.at(1), 2, 0);
    vlserror("three", text.at(2), 3, 0);
    vlserror("four", text.at(3), 4, 0);
    vlserror("again", text.at(3), 2, 0);
    return text.errors();
}

TEST(Vlserror, FiltersWarningsByLevelAndPosition) {
    const std::pair<int, const char*> cases[] = {
        {1, ""},
        // "again" repeats the position of "four", which only -W4 printed.
        {2, "song.vls\t1: Warning: two\nsong.vls\t1: Warning: again\n"},
        {3, "song.vls\t1: Warning: two\nsong.vls\t1: Warning: three\nsong.vls\t1: Warning: again\n"},
        {4, "song.vls\t1: Warning: two\nsong.vls\t1: Warning: three\nsong.vls\t1: Warning: four\n"},
        {0, "song.vls\t1: Warning: two\nsong.vls\t1: Warning: three\nsong.vls\t1: Warning: four\n"
            "song.vls\t1: Warning: again\n"},
    };
    for (const auto& [level, expected] : cases) EXPECT_EQ(warningsAt(level), expected) << "-W" << level;
}

TEST(Vlserror, PrintsTheLineAndACaretThatKeepsTabs) {
    ScanText text("x\n\tab\tcd");
    skipLine(text.at());
    vlserror("look here", text.at(6), 3, 1);
    EXPECT_EQ(text.errors(), "song.vls\t2: Warning: look here\n\tab\tcd\n\t  \t^\n");
}

TEST(Vlserror, UsesTheLineAndColumnFormOnlyForABareDashL) {
    {
        ScanText text("abcdef", "song.vls", messagesAsUnder('l', -2));
        vlserror("m", text.at(4), 3, 0);
        EXPECT_EQ(text.errors(), "song.vls\tL1C5: Warning: m\n");
    }
    {
        ScanText text("abcdef", "song.vls", messagesAsUnder('l', 5));
        vlserror("m", text.at(4), 3, 0);
        EXPECT_EQ(text.errors(), "song.vls\t1: Warning: m\n");
    }
}

TEST(Vlserror, AnErrorAlwaysPrintsAndEndsTheRunEvenAtThePositionJustReported) {
    ScanText text("abc");
    vlserror("first", text.at(1), 3, 0);
    EXPECT_EQ(exitCodeOf([&] { vlserror("same place", text.at(1), 0, 0); }), 1);
    EXPECT_EQ(text.errors(), "song.vls\t1: Warning: first\nsong.vls\t1: Error: same place\n");
}

TEST(Vlserror, FillsTheCaretLineWithSpacesPastTheLineEnd) {
    // The line is shown up to an end-of-file byte; the position lies behind it.
    ScanText text("ab\x1a\x1a\x1a" "cd");
    vlserror("past", text.at(5), 3, 1);
    EXPECT_EQ(text.errors(), "song.vls\t1: Warning: past\nab\n     ^\n");
}

}  // namespace

namespace {

// End to end: a message names the file and line its position is on, whatever
// the line ends and wherever the text came from.
TEST(Messages, NameTheLineTheirPositionIsOn) {
    struct Case {
        const char* source;
        std::vector<std::string> args;
        const char* message;
    };
    const char* kOctave = "Error: octave parameter is out of range(-1 - 9).";
    const Case cases[] = {
        // A lone CR does not end a line of the file: the error is on line 3.
        {".ASSIGN 1 {midi1}\n(t1) c4\r d4\nc4 o99\n", {}, "song.vls\t3: "},
        {".ASSIGN 1 {midi1}\r\n(t1) c4 d4\r\nc4 o99\r\n", {}, "song.vls\t3: "},
        {".ASSIGN 1 {midi1}\n.include inc.vls\n(t1) c4\n", {}, "inc.vls\t2: "},
        {".ASSIGN 1 {midi1}\n(t1) c4\r d4\nc4 o99\n", {"-l"}, "song.vls\tL3C5: "},
        // A construct left open is named at the end of the text.
        {".ASSIGN 1 {midi1}\n(t1) |: c4\nd4\n", {"-l"}, "song.vls\tL4C1: Warning: :| is not closed in track 1."},
    };
    for (const Case& c : cases) {
        RunResult result = compileSource(c.source, c.args, {{"inc.vls", "(t1) c4\nc4 o99\n"}});
        std::string expected = c.message;
        if (expected.back() == ' ') expected += kOctave;
        EXPECT_EQ(firstMessage(result), expected) << c.source;
    }
}

}  // namespace
