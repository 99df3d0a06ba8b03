#include <gtest/gtest.h>

#include "records/records.h"
#include "scan/scanner.h"
#include "scan_fixture.h"

namespace {

struct NumberCase {
    const char* text;
    int32_t value;
    int status;
    size_t stop;  // offset where reading stopped
};

TEST(GetNumber, ReadsEveryBaseSignAndMark) {
    const NumberCase cases[] = {
        {"12,", 12, 0, 2},     {"%102", 2, 1, 3},  {"$", 0, 1, 1},     {"+", 0, -1, 1},     {"$1F", 31, 0, 3},
        {"$1f", 31, 0, 3},     {"%101", 5, 0, 4},  {"-$10", -16, 0, 4}, {"-", 0, 1, 1},      {"x", 0, -1, 0},
        {"  7a", 7, 0, 3},     {"+5", 5, 0, 2},    {"1-2", 1, 0, 1},    {"$ff,", 255, 0, 3}, {"4294967297", 1, 0, 10},
        {"12$A", 202, 0, 4},   {"3%11", 15, 0, 4}, {"7 8", 7, 0, 1},   {"09x", 9, 0, 2},    {"\r\n5", 5, 0, 3},
    };
    for (const auto& c : cases) {
        ScanText text(c.text);
        int32_t value = -99;
        int status = -99;
        Pos end = getNumber(text.at(), value, status);
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(status, c.status) << c.text;
        EXPECT_EQ(text.offsetOf(end), c.stop) << c.text;
    }
}

TEST(GetNumber, FindsANumberOnAFollowingLineAndFollowsItsLineNumber) {
    ScanText text("  / comment\r\n\r\n   42 x");
    int32_t value = 0;
    int status = 0;
    Pos end = getNumber(text.at(), value, status);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(text.lineNumber(end), 3);
}

TEST(GetNumber, WarnsOfABlankBehindASign) {
    ScanText text("+ 5");
    int32_t value = 0;
    int status = 0;
    getNumber(text.at(), value, status);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(text.errors(), "song.vls\t1: Warning: illegal space.\n+ 5\n  ^\n");
}

struct LengthCase {
    const char* text;
    int length;
    int kind;
};

TEST(GetLength, DividesTheWholeNoteAndAddsDots) {
    const LengthCase cases[] = {
        {"4.", 72, 1}, {"", 48, 2}, {"*30..", 52, 1}, {"5", 38, 0}, {"0", 0, 0},
        {"8", 24, 0},  {". .", 84, 1}, {"*300", 300, 0}, {"2..", 168, 1}, {"*70000", 70000 & 0xFFFF, 0},
    };
    headdata hd;
    for (const auto& c : cases) {
        ScanText text(c.text);
        uint16_t length = 0;
        int kind = -1;
        getLength(text.at(), length, 48, kind, hd);
        EXPECT_EQ(length, c.length) << c.text;
        EXPECT_EQ(kind, c.kind) << c.text;
    }
}

TEST(GetLength, StopsOnAMalformedLengthOrAStarWithoutClocks) {
    headdata hd;
    const std::pair<const char*, const char*> cases[] = {
        {"%2", "song.vls\t1: Error: SYNTAX ERROR\n%2\n ^\n"},
        {"*x", "song.vls\t1: Error: `*' must be followed to its parameter.\n*x\n ^\n"},
    };
    for (const auto& [source, message] : cases) {
        ScanText text(source);
        uint16_t length = 0;
        int kind = 0;
        EXPECT_EQ(exitCodeOf([&] { getLength(text.at(), length, 48, kind, hd); }), 1) << source;
        EXPECT_EQ(text.errors(), message) << source;
    }
}

TEST(MatchKeyword, MatchesAPrefixInAnyCase) {
    ScanText text("repeat2 Tempo");
    EXPECT_EQ(matchKeyword(text.at(), "REPEAT"), 0);
    EXPECT_NE(matchKeyword(text.at(), "REPEATS"), 0);
    EXPECT_EQ(matchKeyword(text.at(8), "TEMPO"), 0);
    EXPECT_NE(matchKeyword(text.at(8), "TEMPI"), 0);
    EXPECT_NE(matchKeyword(text.at(), "re-"), 0);
}

TEST(GetKeywordOrNumber, TriesKeywordsInOrderThenANumber) {
    const char* const keywords[] = {"off", "on", nullptr};
    const std::tuple<const char*, int32_t, int> cases[] = {
        {" on", 11, 0}, {"OFF", 10, 0}, {"7", 7, 0}, {"", 0, -1},
    };
    for (const auto& [source, value, status] : cases) {
        ScanText text(source);
        int32_t got = 0;
        int gotStatus = 9;
        getKeywordOrNumber(text.at(), got, gotStatus, keywords, 10);
        EXPECT_EQ(gotStatus, status) << source;
        if (status == 0) {
            EXPECT_EQ(got, value) << source;
        }
    }
    ScanText bad("$x");
    int32_t got = 0;
    int status = 0;
    EXPECT_EQ(exitCodeOf([&] { getKeywordOrNumber(bad.at(), got, status, keywords, 0); }), 1);
    EXPECT_EQ(bad.errors(), "song.vls\t1: Error: parameter error.\n$x\n ^\n");
}

TEST(Skipping, CrossesLinesAndCommentsWithTheLineStep) {
    ScanText text(" \t\x81\x40/ c\r\nx\ny");
    Pos p = skipBlanks(text.at());
    EXPECT_EQ(*p, 'x');
    EXPECT_EQ(text.lineNumber(p), 2);
    p = skipLine(p);
    EXPECT_EQ(*p, 'y');
    EXPECT_EQ(text.lineNumber(p), 3);
    EXPECT_EQ(text.lineStart(p), p);

    ScanText end("  \r\n / x");
    p = skipSpace(end.at());
    EXPECT_TRUE(atEndMark(p));
    EXPECT_EQ(skipTo(end.at(), "q"), nullptr);
    EXPECT_EQ(skipOver(end.at(), " \r\n/x"), nullptr);
}

TEST(Skipping, EachRoutineStopsWhereItsKindOfBlankEnds) {
    struct StopCase {
        const char* text;
        size_t white, blanks, space;  // offsets where skipWhite, skipBlanks and skipSpace stop
    };
    const StopCase cases[] = {
        {"c", 0, 0, 0},           {" \tc", 2, 2, 2},          {"\x81\x40" "c", 2, 2, 2},
        {"\x81\x41", 0, 0, 0},     {"/x\nc", 0, 3, 3},         {"\nc", 0, 0, 1},
        {"\r\n c", 0, 0, 3},       {" / x\r\n c", 1, 7, 7},   {"\x81", 0, 0, 0},
    };
    for (const auto& c : cases) {
        ScanText white(c.text), blanks(c.text), space(c.text);
        EXPECT_EQ(white.offsetOf(skipWhite(white.at())), c.white) << c.text;
        EXPECT_EQ(blanks.offsetOf(skipBlanks(blanks.at())), c.blanks) << c.text;
        EXPECT_EQ(space.offsetOf(skipSpace(space.at())), c.space) << c.text;
    }
}

TEST(Skipping, ALoneByte255IsAnOrdinaryByte) {
    ScanText text("a\xff" "b/c\xff" "d\ne");
    EXPECT_EQ(*skipTo(text.at(), "e"), 'e');
    Pos p = skipComment(text.at(3));
    EXPECT_EQ(*p, 'e');
    EXPECT_EQ(*skipLine(text.at()), 'e');
}

TEST(GetDataItem, WritesBytesSevenBitGroupsAndQuotedText) {
    const std::tuple<const char*, std::vector<unsigned char>, int> cases[] = {
        {"65", {0x41}, 2},
        {"300", {0x2C, 0x02}, 3},
        {"$4000", {0x00, 0x00, 0x01}, 5},
        {"-1", {0xFF}, 2},
        {"\"AB\"", {'A', 'B'}, 4},
        {"x", {}, 0},
    };
    for (const auto& [source, bytes, consumed] : cases) {
        ScanText text(source);
        std::vector<unsigned char> out;
        int count = -1;
        getDataItem(out, text.at(), count);
        EXPECT_EQ(out, bytes) << source;
        EXPECT_EQ(count, consumed) << source;
    }
}

TEST(PackExclusive, AddsLengthBytesAndChecksumsForEachFrameType) {
    using B = std::vector<unsigned char>;
    const B roland = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00};
    const B yamaha = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00};
    const std::tuple<B, int, B> cases[] = {
        {roland, 1, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41}},
        // count 8: n = 8 - 4 - 3 = 1; checksum over 00 01 and the four bytes behind the header
        {yamaha, 2, {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x01, 0x00, 0x00, 0x7E, 0x00, 0x01}},
        {yamaha, 3, yamaha},
        // n = 4 and the checksum covers only the four bytes behind the header
        {yamaha, 4, {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x04, 0x00, 0x00, 0x7E, 0x00, 0x02}},
        {yamaha, 0, yamaha},
    };
    for (const auto& [in, type, expected] : cases) {
        B out;
        packExclusive(out, in.data(), in.size(), type);
        EXPECT_EQ(out, expected) << "frame type " << type;
    }
}

std::vector<unsigned char> bytesOf(const EventBuffer& buf) { return {buf.data(), buf.data() + buf.size()}; }

TEST(Exclusive, WritesTheEventWithLabelLengthAndFrame) {
    ScanText text("  {$40,0,$7F 0}rest");
    ExclusiveFrame frame;
    frame.f0f7 = true;
    frame.interface_no = 0;
    frame.label = "GS";
    frame.frame_type = 1;
    frame.device_id = 0x10;
    frame.model_id = 0x42;
    frame.opening = '{';
    frame.closing = "}, \t\r\n";
    EventBuffer out;
    int consumed = 0;
    Pos end = exclusive(out, text.at(), frame, consumed);
    EXPECT_EQ(consumed, 15);
    EXPECT_EQ(*end, 'r');
    EXPECT_EQ(bytesOf(out), (std::vector<unsigned char>{0x34, 0x00, 0x02, 'G', 'S', 0, 0, 0, 11, 0xF0, 0x41, 0x10,
                                                         0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}));
}

TEST(Exclusive, ReadsAQuotedTextAsOneItem) {
    ScanText text("x \"Hi\" z");
    ExclusiveFrame frame;
    frame.opening = '"';
    frame.closing = "\"";
    EventBuffer out;
    int consumed = 0;
    Pos end = exclusive(out, text.at(), frame, consumed);
    EXPECT_EQ(*end, ' ');
    EXPECT_EQ(text.offsetOf(end), 6u);
    EXPECT_EQ(bytesOf(out), (std::vector<unsigned char>{0x34, 0xFF, 0x00, 0, 0, 0, 2, 'H', 'i'}));
}

TEST(Exclusive, ReportsAMissingOpeningABadSeparatorAndAnOpenList) {
    const std::pair<const char*, const char*> cases[] = {
        {"  1 2", "song.vls\t1: Error: unexpected EOF.\n  1 2\n^\n"},
        {"{1;2}", "song.vls\t1: Error: illegal partition character.\n{1;2}\n  ^\n"},
        {"{1,2\n", "song.vls\t1: Error: unexpected EOF.\n{1,2\n ^\n"},
    };
    for (const auto& [source, message] : cases) {
        ScanText text(source);
        ExclusiveFrame frame;
        frame.opening = '{';
        frame.closing = "}, \t\r\n";
        EventBuffer out;
        int consumed = 0;
        EXPECT_EQ(exitCodeOf([&] { exclusive(out, text.at(), frame, consumed); }), 1) << source;
        EXPECT_EQ(text.errors(), message) << source;
    }
}

TEST(Exclusive, TakesAListLongerThanOneBufferGrowthStep) {
    std::string source = "{";
    for (int i = 0; i < 20000; ++i) source += "1,";
    source += "2}";
    ScanText text(source);
    ExclusiveFrame frame;
    frame.opening = '{';
    frame.closing = "}, \t\r\n";
    EventBuffer out;
    out.allocate(8192, "test");
    int consumed = 0;
    exclusive(out, text.at(), frame, consumed);
    EXPECT_EQ(out.size(), 7u + 20001u);
    EXPECT_EQ(out.readBE32(3), 20001u);
    EXPECT_EQ(out.at(out.size() - 1), 2);
}

}  // namespace
