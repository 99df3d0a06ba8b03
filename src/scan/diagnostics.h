// The one reporter of problems found in the source.
#pragma once
#include <string>

#include "source/position.h"

struct Options;

constexpr int kError = 0;  // ends the run with exit code 1

// The message settings a command line asks for.
MessageSettings messageSettingsOf(const Options& options);

// Prints "file<TAB>line: Warning: message" (or "Error: ") about `pos`, under
// -l with the column counted from the start of its line; with showLine also
// that source line and a caret under `pos`. The file and line come from the
// position's own reading.
// Warnings above the -W level and a second warning for the position printed
// last are dropped (-W0 prints everything). An error is always printed and
// ends the run: a dropped error would let a faulty source compile as if it
// were sound.
void vlserror(const char* message, Pos pos, int level, int showLine);

// An error about `pos`, shown with its line and a caret.
[[noreturn]] void sourceError(const char* message, Pos pos);

// Lets the next message print even at the position reported last.
void forgetLastPosition(Pos anywhere);
