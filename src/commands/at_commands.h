// At-commands: `@` and a letter, or a program change.
#pragma once
#include "track/track_compile.h"

// From behind the `@`.
Pos atCommand(Pos p, TrackCompile& tc);

// The single letters of track lines that share their handlers with the at-
// and bracket commands: I J P T V W X Y and the back quote, from the letter.
Pos sharedLetterCommand(Pos c, TrackCompile& tc);
