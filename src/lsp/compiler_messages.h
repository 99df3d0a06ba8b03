// The compiler's messages read back from the text it prints under -l:
//
//   file<TAB>L2C21: Error: octave parameter is out of range(-1 - 9).
//   (t1) o4 l4 c d e f o10 g
//                       ^
//
// A message may come without the source line and caret, and a run-ending
// failure outside the source (an include that is not found) prints
// `name<TAB>Error: message` with no place at all.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CompilerMessage {
    std::string file;                // as the compiler names it; empty when it names none
    int line = 0;                    // from 1; 0 when the message names no place
    int column = 0;                  // byte column from 1; 0 when the message names no place
    bool error = true;               // an error, or a warning
    std::string text;                // the message without its "Error: " or "Warning: "
    std::optional<std::string> shown;  // the source line as printed above the caret
};

// Every message in the printed text, in order. A line that fits no message
// shape becomes an error of its own with no file and no place, so that
// nothing the compiler said is lost.
std::vector<CompilerMessage> parseCompilerMessages(std::string_view printed);

// Whether the compiler's printed line is `line` of the document: the
// compiler shows each control byte but the TAB as \xHH. A line that macros
// or an include changed before the compile read it prints differently, and
// then its byte columns do not point into the document's line.
bool showsLine(std::string_view shown, std::string_view line);
