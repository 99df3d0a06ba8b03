// Notes, rests, lengths, octaves and ties.
#pragma once
#include "track/track_compile.h"

// Each takes the position of its command letter.
Pos noteCommand(TrackCompile& tc, Pos p);    // A-G a-g
Pos restCommand(Pos p, TrackCompile& tc);    // R r (p behind the letter)
Pos lengthCommand(Pos p, TrackCompile& tc);  // L l (p behind the letter)
Pos octaveCommand(TrackCompile& tc, Pos p);  // < > O o

// Applies any run of `<`, `>` and `o` at p to one track.
Pos changeOctave(Pos p, trkinf& info);

// The gate of a step from the track's quantize setting.
int gateFromQuantize(const trkinf& info, int step);

// Adds a step to the track's played length unless a tuplet is open.
void addClocks(trkinf& info, int step);

// Velocity modes of a note event.
constexpr int kVelocityNone = 0;
constexpr int kVelocityRelative = 1;
constexpr int kVelocityAbsolute = -1;

// Writes one note event (note 0x80 is a rest): note, step, gate and for a note
// the velocity byte; a note of no length is written 0xB2 note velocity.
void writeNoteEvent(Pos p, TrackCompile& tc, int track, int note, int step, int gate, int velocityMode,
                    int nodeKind, int velocity);
