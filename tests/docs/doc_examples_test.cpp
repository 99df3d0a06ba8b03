// Every example of the documentation, compiled and checked, so that the
// documentation cannot drift from what the programs do.
//
// How README.md and docs/*.md state what an example must give:
//
// - A block fenced ```vls is a source. On its own it must compile with exit
//   code 0 and without a single message, and the compiled file must export
//   with vld2mid (exit code 0).
// - `<!-- file: NAME -->` on the line before a fenced block makes the block
//   a file that later sources of the same page use (an included source, a
//   map for vld2mid): it is saved as NAME beside them and not compiled on
//   its own.
// - `<!-- expect: exit N -->` before a ```vls block: compiling it ends with
//   exit code N instead.
// - A ```text block whose first line begins with "$ " is a transcript of the
//   latest source above it on the page. Each "$ " line is a command: vlc3,
//   vldump or vld2mid with their arguments, or `echo $?` for the exit code
//   of the command before it. The lines below a command are its output:
//   standard output, then standard error without the compiler's two banner
//   lines. A line "..." stands for any number of lines; trailing blanks do
//   not count. A command not followed by `echo $?` must exit 0. The source
//   is saved under the name the first vlc3 command compiles (song.vls when
//   none names one). A transcript replaces the checks of the first point.
// - A table row whose second cell is `error`, `warning N` or `exit N`, and
//   whose first and third cells are code, is a message: the first cell its
//   text (a lone capital N stands for any number), the third a source that
//   gives it (`\n` a line break), or for `exit N` a command line `$ vlc3 ...`
//   run beside a small song.vls. The source is compiled at warning level 4;
//   the message must appear with its kind. A warning must also be hidden one
//   level below its own.
// - A table with a column headed `example` holds one-line examples of track
//   commands, and one headed `header example` examples of header commands;
//   each cell that is code compiles, in a track line of track 1 on MIDI
//   channel 1, or as a header line before a note; an example with `\n` in it
//   is a whole source. It compiles without a message unless its row says
//   that it warns.
//
// Every piece in examples/ (also in folders below it) compiles cleanly in
// its own folder and exports; a table below names what each must contain.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/bracket_table.h"
#include "support/harness.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

std::string trim(const std::string& s) {
    size_t from = s.find_first_not_of(" \t");
    return from == std::string::npos ? "" : trimRight(s.substr(from));
}

// One fenced block of a page.
struct Block {
    std::string info;       // the word after the fence: vls, text, sh ...
    std::string body;       // its lines, each ended by a line feed
    std::string directive;  // the HTML comment right before it, without <!-- -->
    int line = 0;           // where it starts on the page
};

std::vector<Block> blocksOf(const std::string& page) {
    std::vector<Block> blocks;
    std::vector<std::string> lines = splitLines(page);
    std::string directive;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = trim(lines[i]);
        if (line.rfind("<!--", 0) == 0 && line.size() >= 7 && line.compare(line.size() - 3, 3, "-->") == 0) {
            directive = trim(line.substr(4, line.size() - 7));
            continue;
        }
        if (line.rfind("```", 0) != 0) {
            if (!line.empty()) directive.clear();
            continue;
        }
        size_t indent = lines[i].find('`');
        Block block;
        block.info = trim(line.substr(3));
        block.directive = directive;
        block.line = static_cast<int>(i) + 1;
        directive.clear();
        for (++i; i < lines.size() && trim(lines[i]).rfind("```", 0) != 0; ++i) {
            std::string body = lines[i];
            size_t blank = std::min(indent, body.find_first_not_of(' '));
            block.body += body.substr(std::min(blank, body.size())) + "\n";
        }
        blocks.push_back(block);
    }
    return blocks;
}

// Whether `actual` reads as `expected`, where an expected line "..." stands
// for any number of lines.
bool linesMatch(const std::vector<std::string>& expected, size_t e, const std::vector<std::string>& actual, size_t a) {
    if (e == expected.size()) return a == actual.size();
    if (expected[e] == "...") {
        for (size_t skip = a; skip <= actual.size(); ++skip) {
            if (linesMatch(expected, e + 1, actual, skip)) return true;
        }
        return false;
    }
    return a < actual.size() && expected[e] == actual[a] && linesMatch(expected, e + 1, actual, a + 1);
}

std::vector<std::string> normalised(const std::string& text) {
    std::vector<std::string> lines;
    for (const std::string& line : splitLines(text)) lines.push_back(trimRight(line));
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += "    " + line + "\n";
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return std::vector<std::string>(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>());
}

// What one run showed a user: standard output, then standard error without
// the compiler's banner.
std::string shown(const RunResult& run) {
    return textOf(run.stdoutBytes) + withoutBanner(run.stderrText);
}

std::string binaryOf(const std::string& program) {
    if (program == "vlc3") return VLC3_BINARY;
    if (program == "vldump") return VLDUMP_BINARY;
    if (program == "vld2mid") return VLD2MID_BINARY;
    return "";
}

// The source name a transcript compiles: the first argument of the first
// vlc3 command that is not a switch.
std::string sourceNameOf(const std::string& transcript) {
    for (const std::string& line : splitLines(transcript)) {
        if (line.rfind("$ vlc3", 0) != 0) continue;
        std::vector<std::string> args = words(line.substr(2));
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i][0] != '-') return args[i];
            if (args[i] == "-o" || args[i] == "-e") ++i;
        }
    }
    return "song.vls";
}

std::string stemOf(const std::string& name) {
    std::string base = fs::path(name).filename().string();
    size_t dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

// Runs a transcript's commands in `dir` and compares what each shows.
void checkTranscript(const TempDir& dir, const std::string& transcript, const std::string& where) {
    struct Command {
        std::string line;
        std::vector<std::string> expected;
    };
    std::vector<Command> commands;
    for (const std::string& line : splitLines(transcript)) {
        if (line.rfind("$ ", 0) == 0) {
            commands.push_back({line.substr(2), {}});
        } else if (!commands.empty()) {
            commands.back().expected.push_back(trimRight(line));
        }
    }
    int lastExit = 0;
    bool exitShown = true;
    std::string lastCommand;
    for (Command& command : commands) {
        while (!command.expected.empty() && command.expected.back().empty()) command.expected.pop_back();
        std::vector<std::string> args = words(command.line);
        if (args.empty()) continue;
        std::vector<std::string> actual;
        if (args == std::vector<std::string>{"echo", "$?"}) {
            actual.push_back(std::to_string(lastExit));
            exitShown = true;
        } else {
            if (!exitShown) {
                EXPECT_EQ(lastExit, 0) << where << ": `" << lastCommand << "` (no `echo $?` follows)";
            }
            std::string binary = binaryOf(args[0]);
            if (binary.empty()) {
                ADD_FAILURE() << where << ": a transcript runs only vlc3, vldump and vld2mid, not `" << command.line
                              << "`";
                return;
            }
            std::vector<std::string> rest(args.begin() + 1, args.end());
            std::string vld = stemOf(sourceNameOf("$ " + command.line)) + ".VLD";
            RunResult run = args[0] == "vlc3" ? runVlc3In(dir, rest, {}, vld) : runProgramIn(dir, binary, rest);
            actual = normalised(shown(run));
            lastExit = run.exitCode;
            exitShown = false;
            lastCommand = command.line;
        }
        EXPECT_TRUE(linesMatch(command.expected, 0, actual, 0))
            << where << ": `" << command.line << "` shows\n" << joined(actual) << "and the page says\n"
            << joined(command.expected);
    }
    if (!exitShown) {
        EXPECT_EQ(lastExit, 0) << where << ": `" << lastCommand << "` (no `echo $?` follows)";
    }
}

int expectedExit(const std::string& directive) {
    std::smatch m;
    static const std::regex exitForm(R"(^expect:\s*exit\s+(\d+)$)");
    return std::regex_match(directive, m, exitForm) ? std::stoi(m[1]) : 0;
}

std::string fileDirective(const std::string& directive) {
    std::smatch m;
    static const std::regex fileForm(R"(^file:\s*(\S+)$)");
    return std::regex_match(directive, m, fileForm) ? m[1].str() : "";
}

// A source block without a transcript: a clean compile and an export.
void checkPlainSource(const TempDir& dir, const Block& source, const std::string& where) {
    int exitCode = expectedExit(source.directive);
    RunResult run = runVlc3In(dir, {"song.vls"});
    EXPECT_EQ(run.exitCode, exitCode) << where << "\n" << stderrWithoutBanner(run);
    if (exitCode != 0) return;
    EXPECT_EQ(stderrWithoutBanner(run), "") << where << ": the example compiles with messages";
    RunResult exported = runProgramIn(dir, VLD2MID_BINARY, {"-q", "song.VLD"});
    EXPECT_EQ(exported.exitCode, 0) << where << ": vld2mid\n" << exported.stderrText;
}

std::vector<fs::path> documentationPages() {
    std::vector<fs::path> pages{fs::path(VLC3_SOURCE_DIR) / "README.md"};
    for (const auto& entry : fs::directory_iterator(fs::path(VLC3_SOURCE_DIR) / "docs")) {
        if (entry.path().extension() == ".md") pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

// A test's name from a file's: its stem, letters and digits only.
std::string testName(const fs::path& file) {
    std::string name = file.stem().string();
    std::replace_if(name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

std::string pageName(const fs::path& page) { return fs::relative(page, VLC3_SOURCE_DIR).string(); }

class DocumentationPage : public testing::TestWithParam<fs::path> {};

TEST_P(DocumentationPage, EverySourceCompilesAndEveryTranscriptIsWhatTheProgramsShow) {
    const fs::path& page = GetParam();
    std::vector<Block> blocks = blocksOf(readFile(page));
    std::vector<SourceFile> files;  // the page's included files so far
    const Block* source = nullptr;
    bool sourceChecked = true;
    auto finishSource = [&](const std::string& where) {
        if (!source || sourceChecked) return;
        TempDir dir;
        for (const SourceFile& file : files) dir.write(file.name, file.bytes);
        dir.write("song.vls", source->body);
        checkPlainSource(dir, *source, where);
        sourceChecked = true;
    };
    for (const Block& block : blocks) {
        std::string where = pageName(page) + ":" + std::to_string(block.line);
        std::string file = fileDirective(block.directive);
        if (!file.empty()) {
            files.push_back({file, block.body});
            continue;
        }
        if (block.info == "vls") {
            if (source) finishSource(pageName(page) + ":" + std::to_string(source->line));
            source = &block;
            sourceChecked = false;
        } else if (block.info == "text" && block.body.rfind("$ ", 0) == 0) {
            ASSERT_NE(source, nullptr) << where << ": a transcript without a source above it";
            TempDir dir;
            for (const SourceFile& file : files) dir.write(file.name, file.bytes);
            dir.write(sourceNameOf(block.body), source->body);
            checkTranscript(dir, block.body, where + " (source at line " + std::to_string(source->line) + ")");
            sourceChecked = true;
        }
    }
    if (source) finishSource(pageName(page) + ":" + std::to_string(source->line));
}

INSTANTIATE_TEST_SUITE_P(Docs, DocumentationPage, testing::ValuesIn(documentationPages()),
                         [](const testing::TestParamInfo<fs::path>& info) { return testName(info.param); });

// The guide and the reference carry examples; a page that lost them all
// would pass the test above without testing anything.
TEST(DocumentationPages, TheGuideAndTheReferenceHaveSourcesAndTranscripts) {
    for (const char* name : {"docs/guide.md", "docs/reference.md", "docs/from-other-mml.md"}) {
        std::vector<Block> blocks = blocksOf(readFile(fs::path(VLC3_SOURCE_DIR) / name));
        auto sources = std::count_if(blocks.begin(), blocks.end(), [](const Block& b) { return b.info == "vls"; });
        auto transcripts = std::count_if(blocks.begin(), blocks.end(),
                                         [](const Block& b) { return b.info == "text" && b.body.rfind("$ ", 0) == 0; });
        EXPECT_GE(sources, 5) << name;
        EXPECT_GE(transcripts, 3) << name;
    }
}

// --- the message tables ---------------------------------------------------

std::vector<std::string> cellsOf(const std::string& row) {
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 1; i < row.size(); ++i) {
        if (row[i] == '\\' && i + 1 < row.size() && row[i + 1] == '|') {
            cell += '|';
            ++i;
        } else if (row[i] == '|') {
            cells.push_back(trim(cell));
            cell.clear();
        } else {
            cell += row[i];
        }
    }
    return cells;
}

// The text of a cell that is one code span, or "" when it is not.
std::string codeOf(const std::string& cell) {
    if (cell.size() < 2 || cell.front() != '`' || cell.back() != '`') return "";
    size_t ticks = cell.find_first_not_of('`');
    std::string inner = cell.substr(ticks, cell.size() - 2 * ticks);
    return ticks > 1 ? trim(inner) : inner;
}

struct MessageRow {
    std::string message;
    std::string kind;  // "error", "warning", "exit"
    int number = 0;    // the warning level or the exit code
    std::string example;
    std::string where;
};

std::vector<MessageRow> messageRows() {
    std::vector<MessageRow> rows;
    static const std::regex kindForm(R"(^(error|warning ([1-4])|exit (\d+))$)");
    for (const fs::path& page : documentationPages()) {
        std::vector<std::string> lines = splitLines(readFile(page));
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].rfind("| `", 0) != 0) continue;
            std::vector<std::string> cells = cellsOf(lines[i]);
            std::smatch m;
            if (cells.size() < 3 || !std::regex_match(cells[1], m, kindForm)) continue;
            MessageRow row;
            row.message = codeOf(cells[0]);
            row.example = codeOf(cells[2]);
            row.kind = m[2].matched ? "warning" : m[3].matched ? "exit" : "error";
            row.number = m[2].matched ? std::stoi(m[2]) : m[3].matched ? std::stoi(m[3]) : 0;
            row.where = pageName(page) + ":" + std::to_string(i + 1);
            if (!row.message.empty()) rows.push_back(row);
        }
    }
    return rows;
}

std::string regexEscaped(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// The documented text as a pattern: a lone capital N is any number.
std::regex messagePattern(const std::string& prefix, const std::string& message) {
    std::string pattern = regexEscaped(message);
    static const std::regex number(R"((^|[^A-Za-z\\])N(?![A-Za-z]))");
    pattern = std::regex_replace(pattern, number, "$1-?[0-9]+");
    return std::regex(prefix + pattern);
}

std::string unescapedLines(const std::string& example) {
    std::string out;
    for (size_t i = 0; i < example.size(); ++i) {
        if (example[i] == '\\' && i + 1 < example.size() && example[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += example[i];
        }
    }
    return out + "\n";
}

// The compiler prints the wave dash of one message in Shift_JIS; the page
// shows it as the Unicode character.
std::string readable(std::string text) {
    for (size_t at; (at = text.find("\x81\x60")) != std::string::npos;) text.replace(at, 2, "\xE3\x80\x9C");
    return text;
}

TEST(DocumentedMessages, EachExampleGivesItsMessageAtItsLevel) {
    std::vector<MessageRow> rows = messageRows();
    EXPECT_GE(rows.size(), 100u) << "the message tables of docs/reference.md";
    for (const MessageRow& row : rows) {
        if (row.example.empty()) continue;  // a message no short example can give
        SCOPED_TRACE(row.where + ": " + row.message);
        if (row.kind == "exit") {
            ASSERT_EQ(row.example.rfind("$ vlc3", 0), 0u) << "the example of an exit code is a command line";
            TempDir dir;
            dir.write("song.vls", ".ASSIGN 1 {midi1}\n(t1) c d e\n");
            std::vector<std::string> args = words(row.example.substr(6));
            RunResult run = runProgramIn(dir, VLC3_BINARY, args);
            EXPECT_EQ(run.exitCode, row.number) << run.stderrText;
            EXPECT_TRUE(std::regex_search(readable(run.stderrText), messagePattern("", row.message))) << run.stderrText;
            continue;
        }
        std::string source = unescapedLines(row.example);
        RunResult run = compileSource(source, {"-W4"});
        std::string prefix = row.kind == "error" ? "Error: " : "Warning: ";
        EXPECT_TRUE(std::regex_search(readable(run.stderrText), messagePattern(prefix, row.message)))
            << "source:\n" << source << "shows:\n" << stderrWithoutBanner(run);
        EXPECT_EQ(run.exitCode, row.kind == "error" ? 1 : 0) << stderrWithoutBanner(run);
        if (row.kind == "warning") {
            RunResult below = compileSource(source, {"-W" + std::to_string(row.number - 1)});
            EXPECT_FALSE(std::regex_search(readable(below.stderrText), messagePattern(prefix, row.message)))
                << "shown at -W" << row.number - 1 << ":\n" << stderrWithoutBanner(below);
        }
    }
}

// --- the one-line examples of the reference tables ------------------------

struct TableExample {
    std::string code;
    bool header = false;
    bool mayWarn = false;  // its row says that the command warns
    std::string where;
};

std::vector<TableExample> tableExamples(const fs::path& page) {
    std::vector<TableExample> examples;
    std::vector<std::string> lines = splitLines(readFile(page));
    int column = -1;
    bool header = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("|", 0) != 0) {
            column = -1;
            continue;
        }
        std::vector<std::string> cells = cellsOf(lines[i]);
        if (i + 1 < lines.size() && lines[i + 1].rfind("|---", 0) == 0) {
            column = -1;
            for (size_t c = 0; c < cells.size(); ++c) {
                if (cells[c] == "example" || cells[c] == "header example") {
                    column = static_cast<int>(c);
                    header = cells[c] == "header example";
                }
            }
            ++i;  // the separator row
            continue;
        }
        if (column < 0 || column >= static_cast<int>(cells.size())) continue;
        std::string code = codeOf(cells[column]);
        bool mayWarn = lines[i].find("warn") != std::string::npos;
        if (!code.empty()) examples.push_back({code, header, mayWarn, pageName(page) + ":" + std::to_string(i + 1)});
    }
    return examples;
}

TEST(DocumentedCommands, EveryExampleOfTheReferenceTablesCompiles) {
    size_t count = 0;
    for (const fs::path& page : documentationPages()) {
        for (const TableExample& example : tableExamples(page)) {
            ++count;
            std::string code = unescapedLines(example.code);
            std::string source = code.find('\n') != code.size() - 1 ? code
                                 : example.header              ? code + "c\n"
                                                               : ".ASSIGN 1 {midi1}\n(t1) " + code;
            RunResult run = compileSource(source);
            EXPECT_EQ(run.exitCode, 0) << example.where << ": " << example.code << "\n" << stderrWithoutBanner(run);
            if (!example.mayWarn) {
                EXPECT_EQ(stderrWithoutBanner(run), "") << example.where << ": " << example.code;
            }
        }
    }
    EXPECT_GE(count, 200u) << "the command tables of docs/reference.md";
}

// Every name of the compiler's table of bracket commands is in the
// reference, so that a command added to the table is not left out of it.
// (The header commands' table: header_names_test.cpp, as the two tables'
// ids cannot share a file.)
TEST(DocumentedCommands, TheReferenceNamesEveryBracketCommand) {
    std::string reference = readFile(fs::path(VLC3_SOURCE_DIR) / "docs/reference.md");
    auto upper = [](unsigned char c) { return static_cast<char>(std::toupper(c)); };
    std::transform(reference.begin(), reference.end(), reference.begin(), upper);
    for (int i = 0; i < kBracketNameCount; ++i) {
        std::string name = kBracketNames[i].name;
        EXPECT_NE(reference.find("`[" + name), std::string::npos) << "[" << name << "]";
    }
}

// --- the example pieces ---------------------------------------------------

std::vector<fs::path> examplePieces() {
    std::vector<fs::path> pieces;
    for (const auto& entry : fs::recursive_directory_iterator(VLC3_EXAMPLES_DIR)) {
        if (entry.path().extension() == ".vls") pieces.push_back(entry.path());
    }
    std::sort(pieces.begin(), pieces.end());
    return pieces;
}

// What each piece is there to show, as words its listing (vldump) and its
// notes (vld2mid --list) must hold.
struct PieceContents {
    const char* piece;
    std::vector<const char*> listing;
    std::vector<const char*> notes;  // lines of the note list that must be there, as regular expressions
};

const std::vector<PieceContents> kPieceContents = {
    {"gs_band.vls",
     {"label=\"GS_RESET\"", "label=\"GS_REVERB\"", "label=\"GS_CHORUS\"", "rhythm", "program", "volume", "panpot"},
     {R"(\s10\s+36\s+C2\s)", R"(\s10\s+38\s+D2\s)", R"(\s10\s+42\s+F#2\s)"}},
    {"xg_piece.vls", {"label=\"XG_SYSTEM_ON\"", "bank select", "program"}, {}},
    {"fm_piece.vls", {"parameter block @", "FM"}, {}},
    {"adpcm_drums.vls", {"ADPCM"}, {R"(\s10\s+\d+\s)"}},
    {"song_form.vls", {"d.s.", "segno", "to coda", "coda", "synchronize", "arcc"}, {}},
};

class ExamplePiece : public testing::TestWithParam<fs::path> {};

TEST_P(ExamplePiece, CompilesCleanlyInItsFolderAndExports) {
    const fs::path& piece = GetParam();
    TempDir dir;
    for (const auto& entry : fs::directory_iterator(piece.parent_path())) {
        if (entry.is_regular_file()) dir.write(entry.path().filename().string(), readFile(entry.path()));
    }
    std::string name = piece.filename().string();
    std::string vld = stemOf(name) + ".VLD";
    RunResult run = runVlc3In(dir, {name}, {}, vld);
    ASSERT_EQ(run.exitCode, 0) << stderrWithoutBanner(run);
    EXPECT_EQ(stderrWithoutBanner(run), "") << "an example compiles without a message";
    RunResult exported = runProgramIn(dir, VLD2MID_BINARY, {vld});
    EXPECT_EQ(exported.exitCode, 0) << exported.stderrText;
    // A map of sample notes beside the piece is the one its comment names.
    std::string map = stemOf(name) + ".map";
    if (dir.exists(map)) {
        RunResult mapped = runProgramIn(dir, VLD2MID_BINARY, {"--adpcm", "map:" + map, vld});
        EXPECT_EQ(mapped.exitCode, 0) << mapped.stderrText;
    }

    auto contents = std::find_if(kPieceContents.begin(), kPieceContents.end(),
                                 [&](const PieceContents& c) { return name == c.piece; });
    if (contents == kPieceContents.end()) return;
    std::string listing = textOf(runProgramIn(dir, VLDUMP_BINARY, {vld}).stdoutBytes);
    for (const char* word : contents->listing) EXPECT_NE(listing.find(word), std::string::npos) << word;
    std::string notes = textOf(runProgramIn(dir, VLD2MID_BINARY, {"--list", "-q", vld}).stdoutBytes);
    for (const char* line : contents->notes) EXPECT_TRUE(std::regex_search(notes, std::regex(line))) << line;
}

INSTANTIATE_TEST_SUITE_P(Examples, ExamplePiece, testing::ValuesIn(examplePieces()),
                         [](const testing::TestParamInfo<fs::path>& info) { return testName(info.param); });

TEST(ExamplePieces, EveryFamilyHasItsPiece) {
    std::vector<fs::path> pieces = examplePieces();
    for (const PieceContents& contents : kPieceContents) {
        EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(),
                                [&](const fs::path& p) { return p.filename() == contents.piece; }))
            << contents.piece;
    }
}

}  // namespace
