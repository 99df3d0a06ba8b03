// Where macro calls are found in a line: a line of 32 bytes or more is looked
// at in blocks of 32 (the last one overlapping the one before), calls and
// comments on either side of a block's edge; names that begin with more than
// three different letters take the byte-by-byte search; after a change the
// line is searched again only from its first call. The search must never
// change what is expanded.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/harness.h"

namespace {

std::string debugDumpOf(const std::string& source) {
    TempDir dir;
    dir.write("song.vls", source);
    RunResult result = runVlc3In(dir, {"-d", "song.vls"});
    return textOf(dir.read("debug.vls"));
}

std::string c(size_t n) { return std::string(n, 'c'); }

// Each case: the macros, then lines before and after expansion.
struct Case {
    std::string macros;
    std::string line;
    std::string expanded;
};

void expectExpansions(const Case* begin, const Case* end) {
    for (const Case* k = begin; k != end; ++k)
        EXPECT_EQ(debugDumpOf(k->macros + k->line), k->macros + k->expanded + "\r\n") << k->line;
}

TEST(CallSearch, FindsCallsAndCommentsAtTheEdgesOfBlocks) {
    const std::string xa = ".define xa {Q}\n";
    const Case cases[] = {
        {xa, c(30) + "xa c\n", c(30) + "Q c\n"},
        {xa, c(31) + "xa c\n", c(31) + "Q c\n"},  // the name reaches into the next block
        {xa, c(32) + "XA\n", c(32) + "Q\n"},      // in the last, overlapping block
        {xa, "xa" + c(60) + "xA\n", "Q" + c(60) + "Q\n"},
        {xa, c(20) + "xa / xa" + c(30) + "\n", c(20) + "Q / xa" + c(30) + "\n"},
        {xa, c(40) + "xa/xa\n", c(40) + "Q/xa\n"},  // the comment in the last block
        {xa, c(31) + "/xa" + c(40) + "\n", c(31) + "/xa" + c(40) + "\n"},
        {xa, c(33) + "\n", c(33) + "\n"},
        // A byte that folds onto a first byte of a name but begins none: `{`
        // and `[` differ only in bit 5.
        {".define [v {V}\n", "{c} [v {d}" + c(30) + " [V\n", "{c} V {d}" + c(30) + " V\n"},
    };
    expectExpansions(std::begin(cases), std::end(cases));
}

TEST(CallSearch, NamesOfManyFirstLettersAreSearchedByteByByte) {
    const std::string four = ".define a1 {A}\n.define b1 {B}\n.define c1 {C}\n.define d1 %1 {D%1}\n";
    const Case cases[] = {
        {four, "d1 8 c1 b1 a1 " + c(40) + " A1/a1\n", "D8 C B A " + c(40) + " A/a1\n"},
        {four, "a1b1c1d1 4\n", "ABCD4\n"},
    };
    expectExpansions(std::begin(cases), std::end(cases));
}

// After a change the places of calls before the first call of the macro
// that changed the line are kept; a name that reaches into the change, or
// begins in it, is found again.
TEST(CallSearch, AChangedLineIsSearchedAgainFromItsFirstCall) {
    const Case cases[] = {
        {".define abcd {xy}\n.define xyz {k}\n", "xyz " + c(30) + " abcdz\n", "k " + c(30) + " k\n"},
        {".define abcd {y}\n.define xyz {k}\n", c(40) + "xabcdz xyz\n", c(40) + "k k\n"},
        {".define abcd {y}\n.define xyz {k}\n", "xyz" + c(40) + "xabcdz\n", "k" + c(40) + "k\n"},
        // The first call's replacement begins with blanks: the calls begin
        // elsewhere now, and the line is searched again from the start.
        {".define abcd {  xyz}\n.define xyz {k}\n", "abcd " + c(40) + " xyz\n", "  k " + c(40) + " k\n"},
        // A call that completes `.define`: the calls now begin behind the
        // name defined, which `ab` then leaves alone.
        {".define xfine {fine}\n.define ab {Z}\n", ".dexfine abc {c}\nabc\n", ".define abc {c}\nc\n"},
    };
    expectExpansions(std::begin(cases), std::end(cases));
}

TEST(CallSearch, ArgumentsOfEveryLengthAreCopiedWhole) {
    const std::string r = ".define r %1,%2 {<%1|%2>}\n";
    std::string line, expanded;
    for (size_t n : {0, 1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 40}) {
        std::string a(n, 'a'), b = std::string(n, 'b') + "z";
        line += "r " + a + "," + b + " ";
        expanded += "<" + a + "|" + b + "> ";
    }
    const Case cases[] = {{r, line + "\n", expanded + "\n"}};
    expectExpansions(std::begin(cases), std::end(cases));
}

// Room for a replacement is made from its longest argument times its uses:
// an argument used eight times but short, beside a long one never used,
// must not make room for megabytes it does not fill.
TEST(CallSearch, ALongUnusedArgumentDoesNotSizeTheReplacement) {
    const Case cases[] = {
        {".define w %1,%2 {%1%1%1%1%1%1%1%1}\n", "w a," + std::string(3u << 20, 'b') + "\n", "aaaaaaaa\n"},
    };
    expectExpansions(std::begin(cases), std::end(cases));
}

}  // namespace
