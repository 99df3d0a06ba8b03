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
// The gate of a step from one quantize item (value and kind) and the track's
// gate resolution.
int gateFromQuantizeItem(int value, int kind, int resolution, int step);

constexpr int kTieGate = 0x8000;        // gate of a note tied to the next
constexpr int kChordHoldGate = 0xFFFF;  // gate of a note held into the next chord

// What a note or rest read from its text.
struct NoteText {
    int step = 0;
    int gate = 0;
    bool gateGiven = false;
    bool tieLength = false;  // a tie carried its own length
    int velocityValue = 0;
    int velocityKind = kValueOmitted;
};

// The note number of the letter at p and its accidentals.
Pos readNoteNumber(Pos p, const trkinf& info, int& note);
// `^` ties: their lengths add to the step.
Pos parseTies(Pos p, NoteText& note, const trkinf& info, const headdata& hd);
// `,length`: the gate.
Pos parseGate(Pos p, NoteText& note, const trkinf& info, const headdata& hd);
// `,velocity`: a number, relative when signed.
Pos parseVelocity(Pos p, NoteText& note);

// Adds a step to the track's played length unless a tuplet is open.
void addClocks(trkinf& info, int step);

// Velocity modes of a note event.
constexpr int kVelocityNone = 0;
constexpr int kVelocityRelative = 1;
constexpr int kVelocityAbsolute = -1;

// Writes one note event (note 0x80 is a rest): note, step, gate and for a note
// the velocity byte; a note of no length is written 0xB2 note velocity.
// The velocity byte of a note or portamento event: 0x80 none, 0xC0 + v
// relative (-63 to 63), or the absolute value plus `offset`, kept to 0..127
// (above 127 the byte would read as a relative velocity).
void putVelocityByte(Pos p, EventBuffer& buf, int mode, int velocity, int offset);

void writeNoteEvent(Pos p, TrackCompile& tc, int track, int note, int step, int gate, int velocityMode,
                    int nodeKind, int velocity);
