// The one reporter of problems found in the source.
#pragma once
#include "scan/line_tracking.h"

constexpr int kError = 0;  // ends the run with exit code 1

// Prints "file<TAB>line: Warning: message" (or "Error: "), under -l with the
// column; with showLine also the source line and a caret under `pos`.
// Warnings above the -W level and a second warning for the position printed
// last are dropped (-W0 prints everything). An error is always printed and
// ends the run: a dropped error would let a faulty source compile as if it
// were sound.
void vlserror(const char* message, Pos lineStart, Pos pos, int level, int showLine);

// An error about `pos` in the current line, shown with the line and caret.
[[noreturn]] void sourceError(const char* message, Pos pos);

// Lets the next message print even at the position reported last.
void forgetLastPosition();
