// Hover texts (the reference's tables read into entries, and notes) and completion.
#include <gtest/gtest.h>

#include "lsp/command_docs.h"
#include "lsp/command_names.h"
#include "lsp/completion.h"
#include "lsp/hover.h"

namespace {

TEST(CommandDocs, ReadsCommandTablesByKey) {
    const char* page =
        "| command | parameters | what it does |\n"
        "|---|---|---|\n"
        "| `.TEMPO n` (also `.TEMPI`) | 0 to 65535 | the tempo |\n"
        "| `[BEND.SWITCH on\\|off]` | | bending on or off |\n"
        "| `@v n` | 0 to 127 | volume |\n"
        "| `@n`, `@msb:lsb,n` | program | program change |\n"
        "| `q n` | 1 to 8 | gate |\n"
        "| `q*n` | clocks | gate in clocks |\n"
        "| `<` | | octave up |\n"
        "| `(t1)` | | a selection, no command name |\n"
        "\n"
        "| message | kind |\n"
        "|---|---|\n"
        "| `x` | error |\n";
    CommandDocs docs = readCommandDocs(page);
    std::vector<std::string> keys;
    for (const auto& [key, text] : docs) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{".TEMPI", ".TEMPO", "<", "@", "@v", "[BEND.SWITCH", "q"}));
    EXPECT_EQ(docs[".TEMPO"], "`.TEMPO n` (also `.TEMPI`)\n\n*parameters*: 0 to 65535\n\n*what it does*: the tempo");
    EXPECT_EQ(docs["[BEND.SWITCH"], "`[BEND.SWITCH on|off]`\n\n*what it does*: bending on or off");
    EXPECT_NE(docs["q"].find("gate\n\n---\n\n`q*n`"), std::string::npos);
}

// The reference page and the compiler's tables agree: every bracket command
// and every dot-command the header acts on has its row. The names the
// reference lists as read but without action of their own are the exceptions.
TEST(CommandDocs, TheReferenceDescribesTheCompilersCommands) {
    const CommandDocs& docs = commandDocs();
    std::vector<std::string> missing;
    for (int id = 0; id < dotCommandCount(); ++id) {
        std::string key = "." + std::string(dotCommandName(id));
        if (!docs.count(key)) missing.push_back(key);
    }
    EXPECT_EQ(missing, (std::vector<std::string>{
                           ".MIDI_DUMP", ".SC88PRO_EFX_SETUP", ".SC88PRO_EFX", ".SC55_DRUM_NAME", ".GS_DRUM_NAME",
                           ".SC88_DRUM_NAME", ".SC88_USER_INST", ".SC88_USER_DRUM", ".JUMP", ".LENGTH_MODE",
                           ".RELATIVE_VELOCITY", ".PERFORMANCE_TIME", ".PLAY", ".CURRENT_MIDI_IN", ".CALL",
                           ".PATTERN", ".TRACK_FADER", ".MASTER_FADER", ".TRACK_MASK", ".ADPCM_BANK",
                           ".ADPCM_BLOCK_DATA", ".ADPCM_LIST", ".ERASE", ".FM_MASTER_VOLUME", ".FM_VSET", ".O"}));
    int described = 0;
    for (int id = 0; id < bracketNameCount(); ++id) described += docs.count("[" + std::string(bracketName(id)));
    EXPECT_GE(described, 70);
    for (const char* key : {"@", "@v", "@z", "q", "o", "l", "<", ">", "ARCC.level", "[ARCC", "[SEGNO", "[D.S."})
        EXPECT_TRUE(docs.count(key)) << key;
}

TEST(Hover, NotesFollowTheirTrack) {
    struct Case {
        const char* text;
        int line;
        size_t at;
        const char* expected;  // name midi clocks, or "" for no note
    } cases[] = {
        {"(t1) c", 0, 5, "C4 60 48"},
        {"(t1) o5 l8 c# d-. e4^8", 0, 11, "C#5 73 24"},
        {"(t1) o5 l8 c# d-. e4^8", 0, 14, "C#5 73 36"},
        {"(t1) o5 l8 c# d-. e4^8", 0, 18, "E5 76 72"},
        {"(t1) o5 l8 c# d-. e4^8", 0, 16, "C#5 73 36"},  // d- named by its pitch
        {"(t1) o5\n(t2) o2\n(t1) < c*30", 2, 7, "C6 84 30"},
        {"(t1,2) o3\n(t2) c", 1, 5, "C3 48 48"},
        {".MASTER_CLOCK 96\n(t1) c8.", 1, 5, "C4 60 18"},
        {"(t1) 'c<e' g", 0, 11, "G4 67 48"},
        {"(t1) [BACK o6 c] c", 0, 17, "C4 60 48"},
        {"(t1) o-1 c o9 b", 0, 9, "C-1 0 48"},
        {"(t1) c / d", 0, 9, ""},
        // Numbers no source would hold stay within bounds.
        {"(t1) o99999999999 c", 0, 18, "C1000 12012 48"},
        {"(t1) c*99999999999^*99999999999.^*9999999", 0, 5, "C4 60 3500000"},
        {".track {\nc", 1, 0, "C4 60 48"},
        {"(t1) [PROGRAM 1] x", 0, 8, ""},
    };
    for (const Case& c : cases) {
        std::optional<NoteInfo> note = noteAt(c.text, c.line, c.at);
        std::string got = note ? note->name + " " + std::to_string(note->midi) + " " + std::to_string(note->clocks) : "";
        EXPECT_EQ(got, c.expected) << c.text << " @" << c.at;
    }
}

TEST(Hover, EachFamilyFindsItsEntry) {
    struct Case {
        const char* text;
        size_t at;
        const char* expected;  // the start of the hover text
    } cases[] = {
        {".tempo 120", 3, "`.TEMPO n`"},
        {".PLAY", 1, "`.PLAY`: read and skipped"},
        {".TEMPO 120", 8, ""},
        {"(t1) [bend.switch on]", 8, "`[BEND.SWITCH on|off]`"},
        {"(t1) [ARCC2.speed 9]", 6, "`[ARCC...]`"},
        {"(t1) @v100", 6, "`@v n`"},
        {"(t1) @v100", 8, "`@v n`"},
        {"(t1) y91,40", 9, "`y c,v`"},
        {"(t1) c16", 7, "**C4**"},
        {"(t1) @25", 5, "`@n`"},
        {"(t1) q7", 5, "`q n`"},
        {"(t1) >", 5, "`>`"},
        {"(t1) c / q7", 9, ""},
        {"(t1) [c g]", 6, "**C4**"},
    };
    for (const Case& c : cases) {
        std::optional<std::string> text = hoverAt(c.text, 0, c.at, {});
        EXPECT_EQ(text ? text->substr(0, std::string(c.expected).size()) : "", c.expected) << c.text;
    }
    std::vector<MacroDefinition> macros = {{"riff", "/s.vls", 0, 8, 12, ".define riff {c d e}"}};
    EXPECT_EQ(hoverAt("(t1) c riff", 0, 8, macros).value_or(""), "macro `riff`\n\n```vls\n.define riff {c d e}\n```");
}

}  // namespace

namespace {

TEST(Completion, WhatFitsWhere) {
    std::vector<MacroDefinition> macros = {{"riff", "/s.vls", 0, 8, 12, ".define riff {c}"}};
    struct Case {
        const char* line;
        const char* first;  // the first name offered, or "" for none
        size_t wordStart;
    } cases[] = {
        {".TE", "COMMENT", 1},
        {"  .", "COMMENT", 3},
        {"(t1) [BEND.S", "TIMBRE_BANK", 6},
        {"(t1) [", "TIMBRE_BANK", 6},
        {".ASSIGN 1 {mi", "midi1", 11},
        {".ASSIGN 1 { ", "midi1", 12},
        {".ASSIGN 1 {midi1, 128, ", "riff", 23},
        {"(t1) ri", "riff", 5},
        {"(t1) l8.", "", 8},
    };
    for (const Case& c : cases) {
        size_t wordStart = 99;
        std::string line = c.line;
        std::vector<Completion> names = completionsAt(line, line.size(), macros, wordStart);
        EXPECT_EQ(names.empty() ? "" : names.front().label, c.first) << c.line;
        EXPECT_EQ(wordStart, c.wordStart) << c.line;
    }
}

}  // namespace
