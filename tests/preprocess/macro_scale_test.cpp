// Macro expansion with many macros defined: past a handful, lines are looked
// up through an index of their letter pairs and triples instead of being
// searched once per macro. The index must never change what is expanded.
#include <gtest/gtest.h>

#include "support/harness.h"

namespace {

// Twenty macros whose names appear nowhere else, to put the index to work.
std::string fillerMacros() {
    std::string text;
    for (int i = 0; i < 20; ++i) text += ".define qfill" + std::to_string(i) + " {r}\n";
    return text;
}

std::string debugDumpOf(const std::string& source) {
    TempDir dir;
    dir.write("song.vls", source);
    RunResult result = runVlc3In(dir, {"-d", "song.vls"});
    return textOf(dir.read("debug.vls"));
}

TEST(MacroIndex, ExpandsAsASearchPerMacroWould) {
    const std::pair<std::string, std::string> cases[] = {
        {".define x %1,%2 {c%1 d%2}\nx 4,8\n", ".define x %1,%2 {c%1 d%2}\nc4 d8\n\r\n"},
        {".define a {c}\n.define ab {d}\nab a xaby\n", ".define a {c}\n.define ab {d}\nd c xdy\n\r\n"},
        {".define x %1 {c%1}\nx 4 / x 8\n", ".define x %1 {c%1}\nc4 / x 8\n\r\n"},
        {".define X {e}\nx X\n", ".define X {e}\ne e\n\r\n"},
        // A longer macro's expansion makes, with the text behind it, the
        // name of a shorter one, which still sees it.
        {".define abcd {xy}\n.define xyz {k}\nabcdz\n", ".define abcd {xy}\n.define xyz {k}\nk\n\r\n"},
        {".define abcd {y}\n.define xyz {k}\nxabcdz\n", ".define abcd {y}\n.define xyz {k}\nk\n\r\n"},
        {".define longname {ab}\n.define abc {K}\nlongnamec longnameC\n",
         ".define longname {ab}\n.define abc {K}\nK K\n\r\n"},
        {".define pq %1 {p%1q}\n.define pqq {Z}\npq q\n", ".define pq %1 {p%1q}\n.define pqq {Z}\npqq\n\r\n"},
    };
    for (const auto& [source, dump] : cases) {
        EXPECT_EQ(debugDumpOf(source), dump) << source;
        EXPECT_EQ(debugDumpOf(fillerMacros() + source), fillerMacros() + dump) << source;
    }
}

TEST(MacroIndex, ThousandMacrosOnEveryLine) {
    std::string source = ".ASSIGN 1 {midi1}\n";
    std::string expected = source;
    for (int i = 0; i < 1000; ++i) source += ".define m" + std::to_string(i) + "z %1 {c%1}\n";
    expected = source;
    for (int i = 0; i < 2000; ++i) {
        int a = (i * 7) % 1000, b = (i * 13) % 1000;
        source += "(t1) m" + std::to_string(a) + "z 8 m" + std::to_string(b) + "z 16\n";
        expected += "(t1) c8 c16\n";
    }
    EXPECT_EQ(debugDumpOf(source), expected + "\r\n");
}

}  // namespace
