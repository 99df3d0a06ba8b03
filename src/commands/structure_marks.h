// The form of a piece: D.C., D.S. with its segno, coda with its to-coda,
// fine, `[do]`...`[loop]`, end and the debugging marks; and `[BACK`, which
// opens a sub-track for a parallel voice.
#pragma once
#include "track/track_compile.h"

enum class StructureMark { DaCapo, Segno, DalSegno, ToCoda, Coda, Fine, Do, Loop, DebugBang, DebugAt, End };

// Writes the mark to every track of the set (and, but for D.C., to each
// track's sub-track chain). Takes and returns the position behind the name.
Pos structureMarkCommand(Pos p, TrackCompile& tc, StructureMark mark);

// `[BACK sequence]` and `[BACK.repeat on|off]`: from behind `BACK`; returns
// the position before the `]`, which returns to the parent track.
Pos backCommand(Pos p, TrackCompile& tc);
