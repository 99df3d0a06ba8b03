// Notes, rests, lengths, octaves and ties.
#include "track/notes.h"

#include <algorithm>
#include <string>

#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/tuplet_events.h"
#include "track/velocity.h"

namespace {

// Pitch classes of the letters a to g.
constexpr int kPitchClass[7] = {9, 11, 0, 2, 4, 5, 7};

}  // namespace

// `^` ties: their lengths add to the step.
Pos parseTiesSlow(Pos p, NoteText& note, const trkinf& info, const headdata& hd) {
    while (*p == '^') {
        uint16_t length = 0;
        int kind = 0;
        p = getLength(p + 1, length, info.default_length, kind, hd);
        note.step += length;
        if (kind != kLengthDefault) note.tieLength = true;
        p = skipBlanks(p);
    }
    return p;
}

// `,length`: the gate; without it the gate comes from the quantize setting.
Pos parseGateSlow(Pos comma, NoteText& note, const headdata& hd) {
    uint16_t length = 0;
    int kind = 0;
    Pos end = getLength(comma + 1, length, 0, kind, hd);
    if (kind != kLengthDefault) {
        note.gate = length;
        note.gateGiven = true;
    }
    return end;
}

// `,velocity`: a number, relative when signed.
Pos parseVelocitySlow(Pos comma, NoteText& note) {
    Pos q = skipBlanks(comma + 1);
    bool sign = *q == '+' || *q == '-';
    int32_t value = 0;
    int status = 0;
    q = getNumber(q, value, status);
    if (status == kNumberRead) {
        note.velocityValue = value;
        note.velocityKind = sign ? kValueRelative : kValuePlain;
    }
    return q;
}

// The note number of the letter at p and its accidentals.
Pos readNoteNumber(Pos p, const trkinf& info, int& note) {
    unsigned char letter = *p++;
    int pitchClass = kPitchClass[(letter | 0x20) - 'a'];
    int sharps = 0, flats = 0, naturals = 0;
    for (;;) {
        Pos q = skipWhite(p);
        if (*q == '#' || *q == '+') {
            ++sharps;
        } else if (*q == '-') {
            ++flats;
        } else if (*q == '!') {
            ++naturals;
        } else {
            break;
        }
        p = q + 1;
        if (naturals >= 2) sourceError("too many natural(!).", p);
        if (naturals && (sharps || flats)) sourceError("natural(!) must be on just after note.", p);
    }
    note = pitchClass + sharps - flats + (naturals ? 0 : info.key_signature[pitchClass]) + 12 * info.octave + 12;
    if (note < 0 || note > 127) {
        // Written as one byte, such a note would read as an event code.
        std::string message = "note number " + std::to_string(note) + " is out of range(0 - 127).";
        sourceError(message.c_str(), p);
    }
    return p;
}

namespace {

bool isAccidental(unsigned char c) { return c == '#' || c == '+' || c == '-' || c == '!'; }

// What may stand right behind a note's length and continue it: a gate,
// velocity, tie or `&`.
bool continuesNote(unsigned char c) { return c == ',' || c == '^' || c == '&'; }

// The byte behind spaces and TABs at p, or null where the full blank
// skipping would go on: at a comment or an ideographic space.
const unsigned char* plainBlanksEnd(const unsigned char* p) {
    p = skipSpacesAndTabs(p);
    return *p == '/' || *p == 0x81 ? nullptr : p;
}

}  // namespace

bool readPlainNote(const unsigned char* p, const trkinf& info, const headdata& hd, PlainNote& note) {
    // The pitch: sharps and flats right behind the letter. A natural, or an
    // accidental behind blanks, is for the full reader.
    int pitchClass = kPitchClass[(*p++ | 0x20) - 'a'];
    int accidentals = 0;
    for (;; ++p) {
        if (*p == '#' || *p == '+') {
            ++accidentals;
        } else if (*p == '-') {
            --accidentals;
        } else {
            break;
        }
    }
    if (*p == '!') return false;
    if (!plainByte(*p)) {
        const unsigned char* behind = plainBlanksEnd(p);
        if (!behind || isAccidental(*behind)) return false;
    }
    int number = pitchClass + accidentals + info.key_signature[pitchClass] + 12 * info.octave + 12;
    if (number < 0 || number > 127) return false;

    // The length: none, or a plain decimal with its dots.
    int32_t clocks = 0;
    bool lengthGiven = false;
    const unsigned char* behindBlanks = skipSpacesAndTabs(p);
    if (beginsNoLength(*behindBlanks)) {
        clocks = info.default_length;
        p = behindBlanks;
    } else if (*p >= '0' && *p <= '9') {
        uint32_t value = 0;
        p = readDigits(p, value);
        if (*p == '$' || *p == '%') return false;
        int32_t n = static_cast<int32_t>(value);
        clocks = n != 0 ? hd.whole_note_clocks / n : 0;
        lengthGiven = true;
        for (int32_t half = clocks; *p == '.';) {
            half /= 2;
            clocks += half;
            if (!(p = plainBlanksEnd(p + 1))) return false;
        }
    } else {
        return false;
    }

    // Nothing behind the length that continues the note. (An octave mark
    // before the length stops here too: it is no length.)
    if (isOctaveMark(*p)) return false;
    const unsigned char* next = plainBlanksEnd(p);
    if (!next || continuesNote(*next)) return false;
    note.number = number;
    note.step = static_cast<uint16_t>(clocks);
    note.lengthGiven = lengthGiven;
    note.end = next;
    return true;
}

namespace {

// Reads, once more, what may follow a note after its ties and echo: further
// ties, a gate, a velocity (read but not used) and `&`.
Pos finishNote(Pos p, NoteText& note, const trkinf& info, const headdata& hd) {
    // Only a tie read here with its own length overrides a gate given here.
    note.tieLength = false;
    p = skipBlanks(p);
    if (*p != '^' && *p != ',' && *p != '&') {
        // Nearly every note: nothing more follows it.
        if (!note.gateGiven && note.gate != kTieGate) note.gate = gateFromQuantize(info, note.step);
        return p;
    }
    p = parseTies(p, note, info, hd);
    p = parseGate(p, note, hd);
    NoteText ignored;
    p = parseVelocity(p, ignored);
    Pos q = skipBlanks(p);
    if (*q == '&') {
        note.gate = kTieGate;
        p = q + 1;
    }
    if ((!note.gateGiven && note.gate != kTieGate) || note.tieLength) note.gate = gateFromQuantize(info, note.step);
    return p;
}


void updateTieList(trkinf& info, int note, size_t stepOffset, int gate) {
    if (gate == kChordHoldGate) {
        info.pending_ties.push_back(TieNode{static_cast<int32_t>(stepOffset), gate, static_cast<uint8_t>(note), 0, 0});
    } else {
        info.pending_ties.clear();
    }
}

}  // namespace

int gateFromQuantizeItem(int q, int kind, int resolution, int step) {
    if (kind == kValueRelative) return (q < 0 || q < step) ? step - q : step;
    if (kind == kValueClocks) return step >= q ? q : step;
    if (resolution == 0) resolution = 8;
    int gate = (step * q / resolution) & 0xFFFF;
    if (gate == 0 && step != 0) gate = 1;
    return gate;
}

// The velocity operand of a note that gives none.
constexpr unsigned kNoVelocityByte = 0x80;

unsigned velocityByte(Pos p, int mode, int velocity, int offset) {
    if (mode == kVelocityNone) return kNoVelocityByte;
    if (mode > 0) {
        if (velocity < -63 || velocity > 63) sourceError("relative velocity must be in from -63 to 63.", p);
        return static_cast<unsigned>(0xC0 + velocity);
    }
    return static_cast<unsigned>(clampVelocity(velocity + offset));
}

void putVelocityByte(Pos p, EventBuffer& buf, int mode, int velocity, int offset) {
    buf.put(velocityByte(p, mode, velocity, offset));
}

int gateFromQuantize(const trkinf& info, int step) {
    SequenceItem item = info.quantize_index < info.quantize.size() ? info.quantize[info.quantize_index] : SequenceItem{8};
    return gateFromQuantizeItem(item.value, item.kind, info.gate_resolution, step);
}

void addClocks(trkinf& info, int step) {
    if (info.tuplet_depth == 0) addToClocks(info.total_clocks, step);
}

Pos changeOctaveSlow(Pos p, trkinf& info) {
    static constexpr const char* kRange = "octave parameter is out of range(-1 - 9).";
    for (;;) {
        if (*p == '<') {
            ++info.octave;
            ++p;
        } else if (*p == '>') {
            --info.octave;
            ++p;
        } else if (*p == 'o' || *p == 'O') {
            int32_t octave = 0;
            p = getNumberInRange(p + 1, octave, -1, 9, kRange, "'o'(octave set) must be followed to its parameter.");
            info.octave = static_cast<int8_t>(octave);
        } else {
            return p;
        }
        if (info.octave < -1 || info.octave > 9) sourceError(kRange, p);
    }
}

void writeNoteEvent(Pos p, TrackCompile& tc, int track, int note, int step, int gate, int velocityMode,
                    int nodeKind, int velocity) {
    EventBuffer& buf = tc.trk[track].buf;
    trkinf& info = tc.inf[track];
    bool rest = note == 0x80;
    // The velocity byte is worked out first: a relative velocity out of
    // range stops the compile before any byte of the event is written.
    unsigned velocityOperand = rest ? 0 : velocityByte(p, velocityMode, velocity, info.velocity_offset);
    if (velocityMode != kVelocityNone) info.velocity_written = 1;
    if (step == 0 && gate == 0 && !rest) {
        auto event = EventBuffer::ShortEvent::named(buf, vld::eventNamed("zero-length note"));
        event.put(static_cast<unsigned>(note));
        event.put(velocityOperand);
        return;
    }
    if (info.tuplet_depth != 0) {
        // Inside a tuplet the step and gate take fixed words, rewritten
        // compactly when the tuplet closes.
        if (rest) {
            buf.begin(vld::eventNamed("rest"));
        } else {
            buf.beginNote(static_cast<unsigned>(note));
        }
        recordTupletEvent(tc, track, nodeKind);
        buf.putBE16(static_cast<uint32_t>(step));
        buf.putBE16(static_cast<uint32_t>(gate));
        if (!rest) buf.put(velocityOperand);
        return;
    }
    auto event = rest ? EventBuffer::ShortEvent::named(buf, vld::eventNamed("rest"))
                      : EventBuffer::ShortEvent::note(buf, static_cast<unsigned>(note));
    event.putDuration(static_cast<uint32_t>(step));
    event.putDuration(static_cast<uint32_t>(gate));
    if (!rest) event.put(velocityOperand);
}

namespace {

// What a note plays, once its text is read.
struct PlayedNote {
    int number = 0;       // note number
    int octaveBefore = 0;  // the track's octave before the note's text
    int velocityMode = kVelocityNone;
    int velocity = 0;
};

// Writes a read note to the track and keeps the track's counts: the quantize
// and velocity sequences move on, the played length grows, the pending ties
// follow. `end` is the position behind the note's text.
void playNote(TrackCompile& tc, int t, Pos end, const PlayedNote& played, const NoteText& note, bool& warned) {
    trkinf& info = tc.inf[t];
    info.note_written = 1;
    size_t stepOffset = tc.trk[t].buf.size() + 1;
    writeNoteEvent(end, tc, t, played.number, note.step, note.gate, played.velocityMode, 0, played.velocity);
    advanceQuantizeIndex(info);
    if (note.gate == kTieGate && info.octave != played.octaveBefore && note.step != 1 && !warned) {
        warned = true;
        vlserror("There is octave switch(es) between NOTE and TIE.", end, 3, 1);
    }
    addClocks(info, note.step);
    if (info.velocity_sequence_enable) advanceVelocityIndex(info);
    updateTieList(info, played.number, stepOffset, note.gate);
}

// Plays a note that gives nothing behind its length: with the velocity the
// track gives it and the gate of the quantize setting.
void playWithTrackSettings(TrackCompile& tc, int t, Pos end, PlayedNote& played, int step, bool& warned) {
    NoteText note;
    note.step = step;
    played.velocity = noteVelocity(tc, t, 0, kValueOmitted, played.velocityMode, step);
    note.gate = gateFromQuantize(tc.inf[t], step);
    playNote(tc, t, end, played, note, warned);
}

// The length of a note or rest at p: its step.
Pos readStep(Pos p, const trkinf& info, const headdata& hd, NoteText& note) {
    uint16_t length = 0;
    int kind = 0;
    p = getLength(p, length, info.default_length, kind, hd);
    note.step = length;
    return p;
}

// The rest of a note's text behind its length, read in the order the
// command's grammar gives: octave marks, gate, velocity, ties and `&`, then
// an echo's pieces, then once more ties, gate, velocity and `&`. Compiled on
// its own, with what it calls inlined, so that the note command's common
// path stays small.
[[gnu::noinline, gnu::flatten]] Pos readAndPlayNoteTail(TrackCompile& tc, int t, Pos p, PlayedNote& played,
                                                         NoteText& note, bool& warned) {
    trkinf& info = tc.inf[t];
    const headdata& hd = tc.hd;
    p = changeOctave(p, info);
    p = parseGate(p, note, hd);
    p = changeOctave(p, info);
    p = parseVelocity(p, note);
    played.velocity = noteVelocity(tc, t, note.velocityValue, note.velocityKind, played.velocityMode, note.step);

    p = parseTies(skipBlanks(p), note, info, hd);
    // The gate from the quantize setting is worked out by finishNote; only
    // the pieces of an echo need it before.
    if (!note.gateGiven && info.echo_count != 1) note.gate = gateFromQuantize(info, note.step);
    Pos q = skipBlanks(p);
    if (*q == '&') {
        note.gate = kTieGate;
        p = q + 1;
    }

    if (info.echo_count != 1) {
        // Echo: pieces of the echo length first, each with the velocity
        // moved on by the echo step.
        if (played.velocityMode == kVelocityNone) {
            played.velocityMode = kVelocityRelative;
            played.velocity = info.echo_velocity_step;
        }
        int count = info.echo_count;
        int piece = info.echo_length;
        while ((count > 1 || (count == 0 && note.step > piece)) && piece > 0) {
            writeNoteEvent(p, tc, t, played.number, piece, piece, played.velocityMode, 0, played.velocity);
            addClocks(info, piece);  // the track's length counts every piece it plays
            note.step = std::max(0, note.step - piece);
            note.gate = note.gate > piece ? note.gate - piece : 0;
            played.velocity += info.echo_velocity_step;
            if (count != 0) --count;
        }
    }

    p = finishNote(p, note, info, hd);
    playNote(tc, t, p, played, note, warned);
    return p;
}

// A note that is not plain, read from its letter to its last byte: pitch and
// accidentals, octave marks, length, and, for the few notes that have them,
// the parts behind the length. Compiled on its own with the readers and
// writers it calls inlined, which spares a tenth of its instructions in calls
// and the passing of positions.
[[gnu::noinline, gnu::flatten]] Pos readAndPlayNote(TrackCompile& tc, int t, Pos p, bool& warned) {
    trkinf& info = tc.inf[t];
    PlayedNote played;
    played.octaveBefore = info.octave;
    p = readNoteNumber(p, info, played.number);
    p = changeOctave(p, info);
    NoteText note;
    p = readStep(p, info, tc.hd, note);

    Pos next = skipBlanks(p);
    // Octave marks count only right behind the length.
    if (info.echo_count != 1 || isOctaveMark(*p) || continuesNote(*next))
        return readAndPlayNoteTail(tc, t, p, played, note, warned);
    // What the readers of the parts behind the length would have done: leave
    // the gate to the quantize setting and stop behind the blanks.
    playWithTrackSettings(tc, t, next, played, note.step, warned);
    return next;
}

}  // namespace

namespace {

// Plays the plain note read at p on track t; the position behind it.
Pos playPlainNote(TrackCompile& tc, int t, Pos p, const PlainNote& plain, bool& warned) {
    PlayedNote played;
    played.number = plain.number;
    played.octaveBefore = tc.inf[t].octave;
    Pos end = p.at(plain.end);
    playWithTrackSettings(tc, t, end, played, plain.step, warned);
    return end;
}

}  // namespace

// A note: nearly every one is plain, read in one pass and played with the
// gate of the quantize setting and the velocity the track gives it; the full
// reader takes the rest.
[[gnu::flatten]] Pos noteCommand(TrackCompile& tc, Pos letter) {
    bool warned = false;
    TrackSet set = tc.set();
    if (!(set[0] & 0x80) && (set[1] & 0x80)) {
        // One track: the plain notes right behind this one are played here,
        // one after the other, as the command loop would take them; nothing
        // happens between two commands that they would skip.
        int t = set[0];
        const trkinf& info = tc.inf[t];
        PlainNote plain;
        if (info.echo_count != 1 || !readPlainNote(letter.bytes(), info, tc.hd, plain))
            return readAndPlayNote(tc, t, letter, warned);
        Pos p = letter;
        do p = playPlainNote(tc, t, p, plain, warned);
        while (isNoteLetter(*p) && readPlainNote(p.bytes(), info, tc.hd, plain));
        return p;
    }
    return forEachTarget(tc, letter, [&](int t, Pos p) {
        PlainNote plain;
        if (tc.inf[t].echo_count != 1 || !readPlainNote(p.bytes(), tc.inf[t], tc.hd, plain))
            return readAndPlayNote(tc, t, p, warned);
        return playPlainNote(tc, t, p, plain, warned);
    });
}

// Compiled with what it calls inlined, as the note command is.
[[gnu::flatten]] Pos restCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        NoteText note;
        q = readStep(q, info, tc.hd, note);
        Pos next = skipBlanks(q);
        if (!continuesNote(*next)) {
            note.gate = gateFromQuantize(info, note.step);
            q = next;
        } else {
            q = parseGate(q, note, tc.hd);
            NoteText ignored;
            q = parseVelocity(q, ignored);
            q = finishNote(q, note, info, tc.hd);
        }
        writeNoteEvent(q, tc, t, 0x80, note.step, note.gate, kVelocityNone, 0, 0);
        addClocks(info, note.step);
        if (note.gate != kChordHoldGate) info.pending_ties.clear();
        return q;
    });
}

Pos lengthCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        uint16_t length = 0;
        int kind = 0;
        q = getLength(q, length, info.default_length, kind, tc.hd);
        info.default_length = length;
        return q;
    });
}

Pos octaveCommand(TrackCompile& tc, Pos p) {
    return forEachTarget(tc, p, [&](int t, Pos q) { return changeOctave(q, tc.inf[t]); });
}
