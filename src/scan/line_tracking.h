// The compile's current line: where it starts in the text, its number, and
// the LINEDATA record that names its file and line for the diagnostics.
#pragma once
#include "source/lines.h"

using Pos = const unsigned char*;

struct LineTracking {
    Pos line_start = nullptr;
    int line_number = 1;
    const LINEDATA* current = nullptr;  // record of the current line
    const LINEDATA* last = nullptr;     // last record: the line step stays there
};

// Read and saved around nearly every scanner call, so it is reached without a call.
inline LineTracking g_lineTracking;
inline LineTracking& lineTracking() { return g_lineTracking; }
void resetLineTracking();

// Points the tracking at the start of a line buffer.
void beginLineTracking(const LineBuffer& buffer);

// Called whenever a scanner routine steps over a line end: `next` is the
// start of the next line.
void lineStep(Pos next);

inline Pos lineStart() { return lineTracking().line_start; }
