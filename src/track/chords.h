// Chords (`"..."`, `'...'`) and portamento groups (`(...)`, and `[...]` whose
// name is not a command).
#pragma once
#include "track/track_compile.h"

// A chord group from behind its opening quote up to the same closing quote.
Pos chordCommand(Pos p, TrackCompile& tc, char closing);
// A portamento group from behind its opening `(` (code 0x84, closed by `)`)
// or `[` (code 0x85, closed by `]`).
Pos portamentoCommand(Pos p, TrackCompile& tc, unsigned code, char closing);
