// Small readers shared by the at-command and bracket-command handlers.
#pragma once
#include <cstdint>

#include "scan/scanner.h"
#include "track/track_compile.h"

// A value written with a leading `+` or `-` is relative.
inline bool relativeValueFollows(Pos p) {
    Pos q = skipSpace(p);
    return *q == '+' || *q == '-';
}

// A keyword of the null-ended list (value = index + base) or a number. A
// malformed number is the error "parameter error." when `malformedIsError`,
// else it is left to the caller (status 1). An omitted value leaves the text
// unread.
Pos readKeywordOrNumber(Pos p, int32_t& value, int& status, const char* const* keywords, int base,
                        bool malformedIsError);

// Skips blanks and one `,` (and the blanks behind it).
Pos skipOneComma(Pos p);

// Marks the tracks of the set as having received a note.
void markNoteWritten(TrackCompile& tc);
