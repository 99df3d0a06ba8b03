// The server's reading of the compiler's printed messages, and the mapping of
// the compiler's byte columns to the editor's UTF-16 columns.
#include <gtest/gtest.h>

#include <string>

#include "lsp/compiler_messages.h"
#include "lsp/document_check.h"
#include "lsp/text_positions.h"

namespace {

std::string describe(const CompilerMessage& m) {
    return m.file + "|" + std::to_string(m.line) + ":" + std::to_string(m.column) + "|" + (m.error ? "E" : "W") +
           "|" + m.text + "|" + (m.shown ? *m.shown : "-");
}

TEST(CompilerMessages, EachShapeOfMessage) {
    struct Case {
        const char* printed;
        std::vector<std::string> expected;
    } cases[] = {
        {"song.vls\tL2C21: Error: octave parameter is out of range(-1 - 9).\n(t1) o10 g\n     ^\n",
         {"song.vls|2:21|E|octave parameter is out of range(-1 - 9).|(t1) o10 g"}},
        // A warning without its line, then one with a TAB in its line and caret.
        {"a.vls\tL3C1: Warning: unknown MML.\nb c.vls\tL4C2: Warning: x.\n\tc )\n\t  ^\n",
         {"a.vls|3:1|W|unknown MML.|-", "b c.vls|4:2|W|x.|\tc )"}},
        // A file name holding a TAB: the place is found at the TAB that precedes it.
        {"odd\tname.vls\tL1C1: Error: e.\n", {"odd\tname.vls|1:1|E|e.|-"}},
        // A failure outside the source, and a line that fits no shape.
        {"motifs\tError: file not found.\nmalloc failed.\n\n", {"motifs|0:0|E|file not found.|-", "|0:0|E|malloc failed.|-"}},
        // The source line of a message may itself look like a message.
        {"s.vls\tL1C3: Error: e.\ns.vls\tL9C9: Error: fake.\n  ^\n", {"s.vls|1:3|E|e.|s.vls\tL9C9: Error: fake."}},
        {"", {}},
        {"s.vls\tL1C: Error: no column.\n", {"|0:0|E|s.vls\tL1C: Error: no column.|-"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        for (const CompilerMessage& m : parseCompilerMessages(c.printed)) got.push_back(describe(m));
        EXPECT_EQ(got, c.expected) << c.printed;
    }
}

TEST(CompilerMessages, ShownLineMatchesTheDocumentLineWithItsEscapes) {
    EXPECT_TRUE(showsLine("(t1) c d", "(t1) c d"));
    EXPECT_TRUE(showsLine("c\\x01d\tx", "c\x01" "d\tx"));
    EXPECT_TRUE(showsLine("", ""));
    EXPECT_FALSE(showsLine("(t1) o10 c", "(t1) up c"));
    EXPECT_TRUE(showsLine("c\\x01", "c\\x01"));  // written so in the source
    EXPECT_FALSE(showsLine("c d", "c"));
}

TEST(TextPositions, Utf16ColumnsOfUtf8Bytes) {
    const std::string line = "a\xC3\xA9" "b\xE3\x83\x89" "c\xF0\x9F\x8E\xB5" "d";  // a é b ド c 🎵 d
    struct Case {
        size_t bytes;
        int units;
    } cases[] = {{0, 0}, {1, 1}, {3, 2}, {4, 3}, {7, 4}, {8, 5}, {12, 7}, {13, 8}, {99, 8}};
    for (const Case& c : cases) {
        EXPECT_EQ(utf16Column(line, c.bytes), c.units) << c.bytes;
        EXPECT_EQ(byteOffset(line, c.units), std::min(c.bytes, line.size())) << c.units;
    }
    // Inside a character: its first byte; invalid bytes count one each.
    EXPECT_EQ(byteOffset(line, 6), 8u);
    EXPECT_EQ(utf16Column("\xFF\xE3x", 3), 3);
    EXPECT_EQ(utf16Column("\xE3\x83", 2), 2);
}

TEST(TextPositions, LinesAndCommandExtents) {
    EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (std::vector<std::string_view>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\n"), (std::vector<std::string_view>{"a", ""}));
    struct Case {
        const char* line;
        size_t at;
        size_t end;
    } cases[] = {
        {"(t1) [BEND.SWITCH on] c", 5, 21}, {"(t1) [BEND c", 5, 12},  {".TEMPO 120", 0, 6},
        {"@v100 c", 0, 5},                  {"@41 c", 0, 3},          {"c#8. d", 0, 4},
        {"o10 c", 1, 3},                    {"$7F,", 0, 3},           {"c )", 2, 3},
        {"c", 1, 1},                        {"c \xE3\x83\x89", 2, 5}, {"q*20", 0, 4},
    };
    for (const Case& c : cases) EXPECT_EQ(commandEnd(c.line, c.at), c.end) << c.line << " @" << c.at;
}

TEST(TextPositions, MessagesPlacedInTheDocument) {
    OpenDocuments none;
    const std::string text = "(t1) \xE3\x83\x89 o10\n(t1) up c\n(t1) c )";
    std::vector<CompilerMessage> messages = {
        {"/d/s.vls", 1, 10, true, "octave.", "(t1) \xE3\x83\x89 o10"},
        {"/d/s.vls", 2, 7, true, "expanded.", "(t1) o10 c"},
        {"/d/s.vls", 3, 9, false, "unknown MML.", "(t1) c )"},
        {"/d/s.vls", 9, 1, false, "past the end.", std::nullopt},
        {"", 0, 0, true, "malloc failed.", std::nullopt},
    };
    std::vector<std::string> got;
    for (const Diagnostic& d : placeMessages(messages, "/d/s.vls", text, none))
        got.push_back(std::to_string(d.range.line) + ":" + std::to_string(d.range.start) + "-" +
                      std::to_string(d.range.end) + " " + d.message);
    EXPECT_EQ(got, (std::vector<std::string>{"0:7-10 octave.", "1:0-9 expanded.", "2:7-8 unknown MML.",
                                             "2:0-1 past the end.", "0:0-0 malloc failed."}));
}

}  // namespace
