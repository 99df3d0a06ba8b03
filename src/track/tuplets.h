// Tuplets `{...}n`, reserved-length groups `{{...}}n`, and the `}` that
// closes a `.track ... {` block.
#pragma once
#include "track/track_compile.h"
#include "track/tuplet_events.h"

// From behind the `{` (a second `{` opens a reserved-length group).
Pos openTuplet(Pos p, TrackCompile& tc);
// From behind the `}` (a second `}` closes a reserved-length group).
Pos closeTuplet(Pos p, TrackCompile& tc);
