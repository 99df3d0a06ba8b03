// What a source declares, read from its text without compiling it: macro
// definitions (also those of the files it includes), the tracks it selects
// and its structure marks. Lines and byte columns count from 0.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "lsp/workspace.h"

struct MacroDefinition {
    std::string name;   // as written
    std::string path;   // the file that defines it
    int line = 0;
    size_t start = 0;   // the name's bytes in its line
    size_t end = 0;
    std::string text;   // the definition's first line, for a hover
};

// The `.define`s of one text, in order.
std::vector<MacroDefinition> macrosIn(std::string_view text, const std::string& path);

// The `.define`s of the document and of every file it includes (through
// other includes too), the document's first.
std::vector<MacroDefinition> macrosWithIncludes(const std::string& path, const OpenDocuments& open);

// The macro whose name covers byte `at` of `line` (the longest one where
// several do); names are matched without regard to case, anywhere in the
// line, as the preprocessor finds them.
const MacroDefinition* macroAt(std::string_view line, size_t at, const std::vector<MacroDefinition>& macros);

enum class SymbolKind { kTrack, kMacro, kMark };

struct OutlineSymbol {
    std::string name;
    std::string detail;
    SymbolKind kind;
    int line = 0;
    size_t start = 0;
    size_t end = 0;
};

// The document's outline: each track at its first selection, each macro at
// its definition and each segno, coda and do mark, in the order they stand.
std::vector<OutlineSymbol> outlineOf(std::string_view text);

// The part of a line before its comment: a `/` outside brackets begins one.
std::string_view codeOf(std::string_view line);

// The track numbers of a selection `(t1,2,3)` or `(T 4)` that begins at
// byte `at`, with `end` set past its `)`; empty when none begins there.
std::vector<int> trackSelectionAt(std::string_view line, size_t at, size_t& end);

// The tracks of a `.track 1,2 {` line (its code, without the comment); false
// on any other line.
bool trackBlockSelection(std::string_view code, std::vector<int>& tracks);
