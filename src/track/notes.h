// Notes, rests, lengths, octaves and ties.
#pragma once
#include "scan/scanner.h"
#include "track/track_compile.h"

// A to G and a to g: the letters of the note command.
inline bool isNoteLetter(unsigned char c) {
    c |= 0x20;  // A to G as a to g; no other byte lands there
    return c >= 'a' && c <= 'g';
}

// Each takes the position of its command letter.
Pos noteCommand(TrackCompile& tc, Pos p);    // A-G a-g
Pos restCommand(Pos p, TrackCompile& tc);    // R r (p behind the letter)
Pos lengthCommand(Pos p, TrackCompile& tc);  // L l (p behind the letter)
Pos octaveCommand(TrackCompile& tc, Pos p);  // < > O o

// The readers of a note's parts below return p at once when the text there
// cannot begin their part, and do the work out of line: most notes have none
// of these parts, and the note path stays small.

// `<`, `>` and `o`: the marks that change a track's octave.
inline bool isOctaveMark(unsigned char c) { return c == '<' || c == '>' || c == 'o' || c == 'O'; }

// Applies any run of `<`, `>` and `o` at p to one track.
Pos changeOctaveSlow(Pos p, trkinf& info);
inline Pos changeOctave(Pos p, trkinf& info) { return isOctaveMark(*p) ? changeOctaveSlow(p, info) : p; }

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

// A note of the commonest shape: the letter, sharps and flats right behind
// it, a plain decimal length or none, dots, then blanks and nothing that
// continues the note.
struct PlainNote {
    int number = 0;
    uint16_t step = 0;
    bool lengthGiven = false;            // a length was written, not the track's default taken
    const unsigned char* end = nullptr;  // behind the blanks that follow
};
// Reads such a note from its letter in one pass over the bytes. For any
// other text it returns false, and the full readers (readNoteNumber,
// changeOctave, getLength and the readers of what follows a length) take the
// note; for a note it takes it gives what they would give. It reports
// nothing, so a note they would report on is not plain.
bool readPlainNote(const unsigned char* letter, const trkinf& info, const headdata& hd, PlainNote& note);
// `^` ties: their lengths add to the step.
Pos parseTiesSlow(Pos p, NoteText& note, const trkinf& info, const headdata& hd);
inline Pos parseTies(Pos p, NoteText& note, const trkinf& info, const headdata& hd) {
    return *p == '^' ? parseTiesSlow(p, note, info, hd) : p;
}
// `,length`: the gate; `comma` is the position of the comma.
Pos parseGateSlow(Pos comma, NoteText& note, const headdata& hd);
inline Pos parseGate(Pos p, NoteText& note, const headdata& hd) {
    Pos q = skipWhite(p);
    return *q == ',' ? parseGateSlow(q, note, hd) : p;
}
// `,velocity`: a number, relative when signed.
Pos parseVelocitySlow(Pos comma, NoteText& note);
inline Pos parseVelocity(Pos p, NoteText& note) {
    Pos q = skipWhite(p);
    return *q == ',' ? parseVelocitySlow(q, note) : p;
}

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
