// Velocity: the `u` command, the velocity command of the at- and bracket
// commands, and the velocity of each note (sequences, random ranges and
// revision by note length).
#pragma once
#include "track/track_compile.h"

Pos uCommand(Pos p, TrackCompile& tc);  // U u (p behind the letter)
Pos velocityCommand(Pos p, TrackCompile& tc, bool relative);
// `[velocity ...]`, `[velocity.offset n]`, `[velocity.revise mode, amount]`.
Pos velocityBracket(Pos p, TrackCompile& tc);

// The velocity of one note from what followed its `,`: kind kValuePlain,
// kValueRelative or kValueOmitted. Returns the value; `mode` receives the
// velocity mode of the event. May write the running sequence's 0x93 event.
int noteVelocity(TrackCompile& tc, int track, int value, int kind, int& mode, int step);
// The velocity a note gets when it gives none; false when it gets none.
bool autoVelocity(TrackCompile& tc, int track, int step, int& value);
int revision(trkinf& info, const headdata& hd, int step);

// A velocity limited to 0..127, from a sum of any size.
int clampVelocity(int64_t v);

// A random number in -range..range from the run's generator.
int randomInRange(RandomGenerator& random, int64_t range);
