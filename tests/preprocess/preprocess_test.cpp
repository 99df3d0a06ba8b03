#include <gtest/gtest.h>

#include "support/harness.h"

namespace {

struct Expansion {
    int exitCode;
    std::string firstMessage;  // the first line behind the banner
    std::string dump;          // debug.vls
};

// Compiles song.vls (and the other files) with -d and returns what the
// preprocessor made of it.
Expansion expand(const std::string& source, const std::vector<SourceFile>& others = {},
                 std::vector<std::string> args = {}) {
    TempDir dir;
    dir.write("song.vls", source);
    for (const SourceFile& f : others) dir.write(f.name, f.bytes);
    args.insert(args.begin(), "-d");
    args.push_back("song.vls");
    RunResult result = runVlc3In(dir, args);
    std::string errors = stderrWithoutBanner(result);
    return {result.exitCode, errors.substr(0, errors.find('\n')), textOf(dir.read("debug.vls"))};
}

TEST(Macros, ExpandWithTheirArguments) {
    const std::pair<std::string, std::string> cases[] = {
        {".define x %1,%2 {c%1 d%2}\nx 4,8\n", ".define x %1,%2 {c%1 d%2}\nc4 d8\n\r\n"},
        {".define y %,% {%e%}\ny 4,8\n", ".define y %,% {%e%}\n4e8\n\r\n"},
        {".define z {c% d%}\nz 4,8\n", ".define z {c% d%}\nc4 d8\n\r\n"},
        {".define x %1,%2 {%2%1%1}\nx 4,8 x 1\n", ".define x %1,%2 {%2%1%1}\n844 111\n\r\n"},
        {".define x {[%3]}\nx 4\n", ".define x {[%3]}\n[4]\n\r\n"},
        {".define a {c}\n.define ab {d}\nab a xaby\n", ".define a {c}\n.define ab {d}\nd c xdy\n\r\n"},
        {".define ab {d}\n.define a {c}\nab a\n", ".define ab {d}\n.define a {c}\nd c\n\r\n"},
        {".define x %1 {c%1}\nx 4 / x 8\n", ".define x %1 {c%1}\nc4 / x 8\n\r\n"},
        {".define X {e}\nx X\n", ".define X {e}\ne e\n\r\n"},
        {".define m {\n c / comment\n d {e}\n}\nm\n", ".define m {\n c / comment\n d {e}\n}\n c  d {e}\n\r\n"},
        {".define q\n{c}\nq\n", ".define q\n{c}\nc\n\r\n"},
        {".define o %1,%2 {o%1%2}\no 4,\n", ".define o %1,%2 {o%1%2}\no4\n\r\n"},
        {".define x %1 {c%1}\nx /4\nd\n", ".define x %1 {c%1}\nc\nd\n\r\n"},
    };
    for (const auto& [source, dump] : cases) EXPECT_EQ(expand(source).dump, dump) << source;
}

// A definition among the track lines leaves its lines empty, so the lines
// behind it keep their numbers.
TEST(Macros, DefinitionsInTheTrackPartLeaveEmptyLines) {
    EXPECT_EQ(expand("(t1) c\n.define w {d}\nw\n").dump, "(t1) c\n\nd\n\r\n");
    EXPECT_EQ(expand(".track 1 {\n.define w {\nd}\nw }\n").dump, ".track 1 {\n\n\nd }\n\r\n");
    Expansion e = expand("(t1) c\n.define w {d}\nw\n(K\n");
    EXPECT_EQ(e.firstMessage, "song.vls\t1: Warning: track 1 is not assigned; (AMIDI1,1) is made up.");
}

TEST(Macros, ReportDefinitionErrorsWithTheirLine) {
    const std::pair<std::string, std::string> cases[] = {
        {".define x {c}\n.define X {d}\n", "song.vls\t2: Error: same macro name is already used."},
        {".define p %1,% {}\n", "song.vls\t1: Error: macro parameter definition error."},
        {".define p x {}\n", "song.vls\t1: Error: macro parameter definition error."},
        {".define p {\nc\n", "song.vls\t3: Error: macro definition is not closed."},
        {".define p % {%1}\n", "song.vls\t1: Error: macro contents mismatches(% and %n)."},
        {".define p %1 {%}\n", "song.vls\t1: Error: macro contents mismatches(% and %n)."},
        {".define p %1 {\n%2}\n", "song.vls\t2: Error: too large the parameter# is."},
        {".define p % {%%}\n", "song.vls\t1: Error: too many parameters in macro contents."},
        // Lines without a line end: the last line of a file, and a line that
        // a byte 255 ends (found by fuzzing: the message read past the line).
        {".define p x {}", "song.vls\t1: Error: macro parameter definition error."},
        {"c\n.define", "song.vls\t2: Error: macro parameter definition error."},
        {".define p x {}\xff\nc\n", "song.vls\t1: Error: macro parameter definition error."},
    };
    for (const auto& [source, message] : cases) {
        Expansion e = expand(source);
        EXPECT_EQ(e.exitCode, 1) << source;
        EXPECT_EQ(e.firstMessage, message) << source;
    }
}

// Every macro doubles the next shorter one: without a bound the line would
// grow to hundreds of megabytes.
TEST(Macros, ExpansionThatGrowsWithoutEndStops) {
    std::string source;
    for (int k = 30; k >= 2; --k) source += ".define " + std::string(k, 'q') + " {" + std::string(k - 1, 'q') + " " + std::string(k - 1, 'q') + "}\n";
    source += std::string(30, 'q') + "\n";
    Expansion e = expand(source);
    EXPECT_EQ(e.exitCode, 1);
    EXPECT_EQ(e.firstMessage, "song.vls\t30: Error: macro expansion makes the line too long.");
}

TEST(Includes, SpliceFilesInWithTheirOwnNamesAndLines) {
    Expansion e = expand(".include drums / the kit\nc\n", {{"drums.vlc", "d\n.include inner\ne\n"}, {"inner", "f\n"}});
    EXPECT_EQ(e.exitCode, 0) << e.firstMessage;
    // Each file read ends with the CR LF that loading adds behind its text.
    EXPECT_EQ(e.dump, ".include drums / the kit\nd\n.include inner\nf\n\r\ne\n\r\nc\n\r\n");

    // A message about a line of an included file names that file and line,
    // and the main file's own lines keep their numbers.
    e = expand(".include drums\n(K\n", {{"drums.vlc", "\n\n(K\n"}});
    EXPECT_EQ(e.firstMessage, "drums.vlc\t3: Error: UNKNOWN MML");
    e = expand(".include drums\n\n(K\n", {{"drums", "\n"}});
    EXPECT_EQ(e.firstMessage, "song.vls\t3: Error: UNKNOWN MML");
}

TEST(Includes, MacrosReachIntoIncludedFiles) {
    Expansion e = expand(".include defs\nx 4\n", {{"defs", ".define x %1 {c%1}\n"}});
    EXPECT_EQ(e.dump, ".include defs\n.define x %1 {c%1}\n\r\nc4\n\r\n");
}

TEST(Includes, ReportMissingFilesAndLoops) {
    Expansion e = expand(".include nothing\n");
    EXPECT_EQ(e.exitCode, 1);
    EXPECT_EQ(e.firstMessage, "nothing\tError: file not found.");

    e = expand(".include a\n", {{"a", ".include b\n"}, {"b", ".include a.vlc\n"}, {"a.vlc", "c"}});
    EXPECT_EQ(e.exitCode, 0) << e.firstMessage;

    e = expand(".include a\n", {{"a", "c\n.include b\n"}, {"b", ".include a\n"}});
    EXPECT_EQ(e.exitCode, 1);
    EXPECT_EQ(e.firstMessage, "b\t1: Error: include loop: song.vls -> a -> b -> a.");
    e = expand(".include song.vls\n");
    EXPECT_EQ(e.firstMessage, "song.vls\t1: Error: include loop: song.vls -> song.vls.");
}

TEST(DebugDump, IsWrittenEvenWhenTheCompileStops) {
    Expansion e = expand(".define x {(K}\nx\n");
    EXPECT_EQ(e.exitCode, 1);
    EXPECT_EQ(e.dump, ".define x {(K}\n(K\n\r\n");
    EXPECT_EQ(expand("c\n", {}, {}).dump, "c\n\r\n");
}

}  // namespace
