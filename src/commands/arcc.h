// Controller modulation: the four modulators (ARCC 1 to 4) of a track, set
// by `[ARCCn.keyword parameters]` and by `@a`.
#pragma once
#include "track/track_compile.h"

// The block from behind `ARCC` up to and including its `]`.
Pos arccCommand(Pos p, TrackCompile& tc);

// The level mode given by `@a`: no mode keyword is read.
constexpr int kArccShortForm = -2;

// The level list of modulator `modulator` (0 to 3) for every track of the set.
Pos arccLevelWriter(Pos p, TrackCompile& tc, int modulator, int mode);
