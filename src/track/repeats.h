// Repeats: `|:`, `|:n`, `:|`, `|` and `|n`.
#pragma once
#include "track/track_compile.h"

// From the `:` or `|` that begins the mark.
Pos repeatCommand(Pos c, TrackCompile& tc);
