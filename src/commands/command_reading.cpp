#include "commands/command_reading.h"

#include <string_view>

#include "scan/diagnostics.h"
#include "scan/scanner.h"

Pos readKeywordOrNumber(Pos p, int32_t& value, int& status, const char* const* keywords, int base,
                        bool malformedIsError) {
    Pos q = skipBlanks(p);
    if (Pos behind = matchKeywordList(q, keywords, base, value)) {
        status = kNumberRead;
        return behind;
    }
    q = getNumber(q, value, status);
    if (status == kNumberMalformed && malformedIsError) sourceError("parameter error.", q);
    return status != kNumberOmitted ? q : p;
}


Pos skipOneComma(Pos p) {
    p = skipWhite(p);
    if (*p == ',') p = skipWhite(p + 1);
    return p;
}

void markNoteWritten(TrackCompile& tc) {
    forEachTrackOf(tc.set(), [&](int t) { tc.inf[t].note_written = 1; });
}
