// The one reporter of problems found in the source.
#pragma once
#include <string>

#include "scan/line_tracking.h"

struct Options;

constexpr int kError = 0;  // ends the run with exit code 1

// How the run wants its messages, taken from its options.
struct MessageSettings {
    int warning_level = 3;     // -W: 0 prints every warning, n drops those above level n
    bool show_column = false;  // -l alone: "LnCm" instead of the line number
    std::string source_name;   // named when no line record is at hand
};
MessageSettings messageSettingsOf(const Options& options);

// Starts the messages of a run: its settings, and no position reported yet.
void beginMessages(const MessageSettings& settings);

// Prints "file<TAB>line: Warning: message" (or "Error: "), under -l with the
// column counted from the start of `line`; with showLine also that source line
// and a caret under `pos`. The file and line number come from `line`, the
// line tracking the caller stands on, so a message can name the line where a
// command began although the reading has moved on.
// Warnings above the -W level and a second warning for the position printed
// last are dropped (-W0 prints everything). An error is always printed and
// ends the run: a dropped error would let a faulty source compile as if it
// were sound.
void vlserror(const char* message, const LineTracking& line, Pos pos, int level, int showLine);

// An error about `pos` in the current line, shown with the line and caret.
[[noreturn]] void sourceError(const char* message, Pos pos);
// The same, naming the line a reading started on.
[[noreturn]] void sourceError(const char* message, const LineTracking& line, Pos pos);

// Lets the next message print even at the position reported last.
void forgetLastPosition();
