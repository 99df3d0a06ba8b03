// The parameter lists of track commands, and the velocity and quantize
// sequences that notes step through.
#pragma once
#include "track/track_compile.h"

// One element of a parameter list: two values, each with its kind
// (kValuePlain, kValueRelative, kValueOmitted, or kValueNone for a second
// value when no `:` followed).
using ParameterElement = SequenceItem;

// Reads a comma-separated parameter list into `elements` (at most `capacity`);
// `count` excludes a trailing omitted element.
Pos readParameterList(Pos p, ParameterElement* elements, int capacity, int& count, bool mustBePositive);

// `z` / `Z`: the velocity sequence of each track of the set.
Pos velocityListCommand(Pos p, TrackCompile& tc);
// `q` / `Q` (mode = quantize_mode of the header) and `@q` (mode 0).
Pos quantizeListCommand(Pos p, TrackCompile& tc, int mode);
