// The preprocessing pass over the line chain: macros and includes, and the
// dump of the expanded text.
#pragma once
#include <vector>

#include "source/lines.h"

// Runs over the lines in order, expanding macros and splicing included files
// in behind their `.include` lines.
void expandMacroMain(LineChain& chain, LineFileChain& files);

// Writes the finished line buffer (without its end bytes) to
// debug.vls in the current directory.
void debugDump(const std::vector<unsigned char>& text);

// Splits, preprocesses and joins a source; `files` must already hold the main
// source's record. The source text is released.
LineBuffer v3macro(SourceText&& text, LineFileChain&& files);

// Joins the line texts into the line buffer (then hands it to the debug dump).
void joinLines(LineChain&& chain, LineBuffer& out);
