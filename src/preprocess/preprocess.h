// The preprocessing pass over the line chain: macros and includes, and the
// dump of the expanded text.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "source/lines.h"
#include "source/load.h"

// A fault in a macro definition or call, found while preprocessing: the line
// as it stood, its file and number, where in it, and the message. The compile
// reports it. It holds copies: the file records go when the preprocessing
// ends.
struct MacroFault {
    std::string line_text;
    std::string file_name;
    int line_number;
    size_t at;
    std::string message;
};

// Runs over the lines in order, expanding macros and splicing included files
// in behind their `.include` lines, and joins each line into `out` once it is
// finished. The lines view the files read, which `texts` keeps.
void expandMacroMain(LineChain& chain, LineFileChain& files, SourceTexts& texts, LineBuffer& out,
                     const SourceReader* reader = nullptr);

// Writes the finished line buffer (without its end bytes) to
// debug.vls in the current directory.
void debugDump(const std::vector<unsigned char>& text);

// Splits, preprocesses and joins a source into the line buffer, which ends
// with six bytes 255; `files` must already hold the main source's record.
// The source text is released.
LineBuffer v3macro(SourceText&& text, LineFileChain&& files, const SourceReader* reader = nullptr);
