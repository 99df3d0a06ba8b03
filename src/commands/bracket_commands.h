// Bracket commands `[NAME ...]`; a bracket whose name is no command is a
// portamento group closed by `]`.
#pragma once
#include "track/track_compile.h"

// From behind the `[`.
Pos bracketCommand(Pos p, TrackCompile& tc);
