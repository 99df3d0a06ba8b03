// Chords and portamento groups: one group reader, then either several note
// events spread by the chord delay or one glide event.
#include "track/chords.h"

#include <algorithm>

#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/notes.h"
#include "track/tuplet_events.h"
#include "track/velocity.h"

namespace {

// The glide of `(c e)` and that of the bracket forms: the same operands.
constexpr vld::EventName kPortamento = vld::eventNamed("portamento");
constexpr vld::EventName kBracketPortamento = vld::eventNamed("bracket portamento");

constexpr int kMaxGroupNotes = 8;

struct GroupNote {
    int number = 0;
    int velocityValue = 0;
    int velocityKind = kValueOmitted;
};

// What one track read from a group.
struct Group {
    GroupNote notes[kMaxGroupNotes];
    int count = 0;
    int step = 0;
    int gate = 0;
    int gateBeforeTie = 0;
    int16_t delay = 0;
    int16_t time = 0;
};

// One note of a group: number, length, gate, velocity, ties, gate, velocity.
// A note that gives a length or a tie fixes the step of the whole group.
Pos parseGroupNote(Pos p, trkinf& info, const headdata& hd, Group& g, bool& stepFixed) {
    GroupNote& out = g.notes[g.count++];
    // Most notes of a group are plain: read in one pass. One whose length
    // differs from the group's goes the long way, which reports it.
    PlainNote plain;
    if (readPlainNote(p.bytes(), info, hd, plain) && !(plain.lengthGiven && stepFixed && plain.step != g.step)) {
        out.number = plain.number;
        if (plain.lengthGiven) {
            stepFixed = true;
            g.step = plain.step;
            g.gate = gateFromQuantize(info, g.step);
        }
        return p.at(plain.end);
    }
    p = readNoteNumber(p, info, out.number);
    NoteText before, after;
    uint16_t length = 0;
    int kind = 0;
    p = getLength(p, length, info.default_length, kind, hd);
    before.step = length;
    p = parseGate(p, before, hd);
    p = parseVelocity(p, before);
    Pos q = skipBlanks(p);
    bool tied = *q == '^';
    if (tied) p = parseTies(q, before, info, hd);
    p = parseGate(p, after, hd);
    p = parseVelocity(p, after);

    if (after.velocityKind != kValueOmitted) {
        out.velocityValue = after.velocityValue;
        out.velocityKind = after.velocityKind;
    } else {
        out.velocityValue = before.velocityValue;
        out.velocityKind = before.velocityKind;
    }
    if (kind != kLengthDefault || tied) {
        if (stepFixed && before.step != g.step) sourceError("too many steps in a chord/portament.", p);
        stepFixed = true;
        g.step = before.step;
        g.gate = before.gateGiven ? before.gate : after.gateGiven ? after.gate : gateFromQuantize(info, g.step);
    }
    return p;
}

// The notes up to the closing character and what follows the group: a step
// in clocks, `,delay`, `,time` (portamento only), ties and `&`.
Pos parseGroup(Pos p, TrackCompile& tc, int track, char closing, bool portamento, Group& g) {
    trkinf& info = tc.inf[track];
    const headdata& hd = tc.hd;
    int octaveBefore = info.octave;
    g.step = info.default_length;
    g.gate = gateFromQuantize(info, g.step);
    bool stepFixed = false;
    for (;;) {
        p = skipBlanks(p);
        unsigned char c = *p;
        if (c == static_cast<unsigned char>(closing)) {
            ++p;
            break;
        }
        if (c == ',') {
            ++p;
        } else if (isOctaveMark(c)) {
            p = changeOctave(p, info);
        } else if (isNoteLetter(c)) {
            // The group keeps at most eight notes.
            if (g.count == kMaxGroupNotes) sourceError("too many notes in a chord/portament (up to 8).", p + 1);
            p = parseGroupNote(p, info, hd, g, stepFixed);
        } else {
            sourceError("SYNTAX ERROR.", p);
        }
    }
    // A chord leaves the octave as it found it; a portamento group keeps the
    // octave it reached.
    if (portamento) {
        octaveBefore = info.octave;
    } else {
        info.octave = static_cast<int8_t>(octaveBefore);
    }

    // A number right behind the group, or one after `*`, is the step in clocks.
    if ((*p >= '0' && *p <= '9') || *p == '*') {
        int32_t clocks = 0;
        p = requiredNumber(*p == '*' ? p + 1 : p, clocks, "`*' must be followed to its parameter.");
        g.step = clocks & 0xFFFF;
        g.gate = gateFromQuantize(info, g.step);
    }

    p = changeOctave(p, info);
    Pos q = skipWhite(p);
    if (*q == ',') {
        q = skipBlanks(q + 1);
        if (*q == '*') ++q;
        int32_t delay = 0;
        q = requiredNumber(q, delay, "no delay parameter is specified.");
        g.delay = static_cast<int16_t>(delay);
        p = changeOctave(q, info);
        q = skipWhite(p);
        if (*q == ',') {
            int32_t time = 0;
            q = requiredNumber(q + 1, time, "no portament time is specified.");
            if (!portamento) sourceError("Portament time can't set on the chord.", q);
            g.time = static_cast<int16_t>(time);
            p = q;
        }
    }
    p = skipBlanks(changeOctave(p, info));
    while (*p == '^') {
        uint16_t length = 0;
        int kind = 0;
        p = skipBlanks(getLength(p + 1, length, info.default_length, kind, hd));
        g.step += length;
    }

    g.gateBeforeTie = g.gate;
    q = skipBlanks(p);
    if (*q == '&') {
        p = q + 1;
        g.gate = portamento ? kTieGate : kChordHoldGate;
        if (info.octave != octaveBefore)
            vlserror("There is octave switch(es) between NOTE and TIE.", p, 3, 1);
    }
    if (g.delay > g.gate) sourceError("delay must be less than the gate.", p);
    return p;
}

// Rewrites the two-byte gate field of an earlier note event whose step field
// begins at `offset`. A field that is not there (or not two bytes long) any
// more is left alone.
void rewriteTiedGate(EventBuffer& buf, const trkinf& info, int32_t offset, uint32_t gate) {
    if (offset < 0) return;
    size_t at = static_cast<size_t>(offset);
    // Inside an open tuplet the event still has its fixed 16-bit step field.
    bool fixedForm = info.tuplet_depth != 0 &&
                     std::any_of(info.tuplet_notes.begin(), info.tuplet_notes.end(), [&](const TupletNode& n) { return n.offset == offset; });
    size_t gateAt = at + (fixedForm || (buf.at(at) & 0x80) ? 2 : 1);
    if (gateAt + 2 > buf.size() || !(buf.at(gateAt) & 0x80)) return;
    buf.patchBE16(gateAt, gate);
}

// Compiled with the readers and writers it calls inlined, as the note
// command is: a chord stands in many bars of a song.
[[gnu::flatten]] void putChordOnTrack(Pos& p, TrackCompile& tc, int t, char closing) {
    trkinf& info = tc.inf[t];
    EventBuffer& buf = tc.trk[t].buf;
    Group g;
    g.delay = info.portamento_values[2];
    g.time = info.portamento_values[3];
    p = parseGroup(p, tc, t, closing, false, g);
    // An empty chord plays nothing and takes no time.
    if (g.count > 0) addClocks(info, g.step);
    info.portamento_values[2] = g.delay;

    int delay = g.delay;
    if (delay < 0) {
        std::reverse(g.notes, g.notes + g.count);
        delay = -delay;
        vlserror("delay under 0 can use only for vlc3.", p, 4, 1);
    }
    if (delay != 0 && g.count > 0) {
        long spread = static_cast<long>(delay - 1) * (g.count - 1);
        if (spread > g.step) {
            vlserror("delay parameter for the chord is too large (for steptime).", p, 2, 1);
        } else if (spread > g.gate) {
            vlserror("delay parameter for the chord is too large (for gatetime).", p, 3, 1);
        }
    }

    int gate = g.gate == kChordHoldGate ? kTieGate : g.gate;
    for (TieNode& node : info.pending_ties) node.matched = 0;
    int remaining = g.step;
    for (int i = 0; i < g.count; ++i) {
        const GroupNote& note = g.notes[i];
        bool last = i == g.count - 1;
        if (last && gate == 0) gate = 1;
        int mode = kVelocityNone;
        int velocity = noteVelocity(tc, t, note.velocityValue, note.velocityKind, mode, g.step);
        if (closing == '"' && info.velocity_sequence_enable) advanceVelocityIndex(info);

        int32_t stepOffset = static_cast<int32_t>(buf.size()) + 1;
        auto held = std::find_if(info.pending_ties.begin(), info.pending_ties.end(),
                                 [&](const TieNode& n) { return n.note == note.number && !n.matched; });
        if (held != info.pending_ties.end()) {
            // The earlier note is held into this one.
            rewriteTiedGate(buf, info, held->offset, kChordHoldGate);
            held->offset = stepOffset;
            held->gate = g.gateBeforeTie;
            held->matched = 1;
        } else if (gate == kTieGate) {
            info.pending_ties.push_back(TieNode{stepOffset, g.gateBeforeTie, static_cast<uint8_t>(note.number), 0, 1});
        }
        // The delay spreads the notes; the last one takes what is left of
        // the step. A spread wider than the step stops at its end, so that
        // the track stays in time with the clocks it counts.
        int step = last ? std::max(0, remaining) : std::min(delay, std::max(0, remaining));
        writeNoteEvent(p, tc, t, note.number, step, gate, mode, last ? kTupletNote : kTupletChordNote, velocity);
        if (!last) {
            remaining -= step;
            if (gate != kChordHoldGate && gate != kTieGate) gate = std::max(0, gate - delay);
        }
    }
    // Held notes that this chord does not continue end here with the gate
    // they had before their tie.
    std::erase_if(info.pending_ties, [&](const TieNode& node) {
        if (node.matched) return false;
        rewriteTiedGate(buf, info, node.offset, 0x8000 | (static_cast<uint32_t>(node.gate) & 0x7FFF));
        return true;
    });
    if (gate != kTieGate) info.pending_ties.clear();
    advanceQuantizeIndex(info);
}

}  // namespace

Pos chordCommand(Pos p, TrackCompile& tc, char closing) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        putChordOnTrack(q, tc, t, closing);
        return q;
    });
}

Pos portamentoCommand(Pos p, TrackCompile& tc, unsigned code, char closing) {
    Pos end = p;
    for (size_t i = 0; i < tc.target.size() && !(tc.target[i] & 0x80); ++i) {
        int t = tc.target[i];
        trkinf& info = tc.inf[t];
        EventBuffer& buf = tc.trk[t].buf;
        Group g;
        g.delay = info.portamento_values[1];
        g.time = info.portamento_values[3];
        end = parseGroup(p, tc, t, closing, true, g);
        if (g.count == 2) {
            if (g.delay < 0) sourceError("delay must not be under zero.", end);
            if (g.step == 0) sourceError("illegal step length.", end);
        } else if (g.count == 1 && g.notes[0].number % 12 == 2 && (g.step == 0 || g.step == tc.hd.whole_note_clocks)) {
            // `(d1)` and `(d0)` switch the debugging marks on and off.
            tc.hd.second_mode = g.step != 0 ? 1 : 0;
            break;
        } else {
            sourceError("portament requires 2 tones.", end);
        }

        const GroupNote* own =
            std::find_if(g.notes, g.notes + 2, [](const GroupNote& n) { return n.velocityKind != kValueOmitted; });
        int mode = kVelocityNone;
        int velocity = own != g.notes + 2 ? noteVelocity(tc, t, own->velocityValue, own->velocityKind, mode, g.step)
                                          : noteVelocity(tc, t, 0, kValueOmitted, mode, g.step);
        if (info.velocity_sequence_enable) advanceVelocityIndex(info);

        buf.begin(code == kPortamento.code ? kPortamento : kBracketPortamento);
        buf.put(static_cast<unsigned>(g.notes[0].number + (g.delay != 0 ? 0x80 : 0)));
        info.portamento_values[1] = g.delay;
        buf.put(static_cast<unsigned>(g.notes[1].number + (g.time != 0 ? 0x80 : 0)));
        info.portamento_values[3] = g.time;
        if (g.delay != 0) buf.putDuration(static_cast<uint16_t>(g.delay));
        if (g.time != 0) buf.putDuration(static_cast<uint16_t>(g.time));
        addClocks(info, g.step);
        if (info.tuplet_depth != 0) {
            recordTupletEvent(tc, t, kTupletPortamento);
            buf.putBE16(static_cast<uint32_t>(g.step));
            buf.putBE16(static_cast<uint32_t>(g.gate));
        } else {
            buf.putDuration(static_cast<uint32_t>(g.step));
            buf.putDuration(static_cast<uint32_t>(g.gate));
        }
        // Portamento takes an absolute value without the track's offset.
        putVelocityByte(end, buf, mode, velocity, 0);
        advanceQuantizeIndex(info);
    }
    return end;
}
