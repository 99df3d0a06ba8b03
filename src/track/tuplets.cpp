// Tuplets: the events between the braces are written with fixed 16-bit step
// and gate fields; the closing brace shares the tuplet length among them and
// rewrites each in the compact duration encoding. Reserved-length groups only
// check that their contents fill the length given.
#include "track/tuplets.h"

#include <algorithm>
#include <cstdio>

#include "format/byte_order.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/notes.h"

namespace {

// Reads `n^n^...` behind a tuplet or group: the length in clocks.
Pos readGroupLength(Pos p, const trkinf& info, const headdata& hd, int& length, Pos* lengthEnd = nullptr) {
    uint16_t part = 0;
    int kind = 0;
    p = getLength(p, part, info.default_length, kind, hd);
    length = part;
    if (lengthEnd) *lengthEnd = p;
    return p;
}

Pos addTies(Pos p, const trkinf& info, const headdata& hd, int& length) {
    p = skipBlanks(p);
    while (*p == '^') {
        uint16_t part = 0;
        int kind = 0;
        p = skipBlanks(getLength(p + 1, part, info.default_length, kind, hd));
        length += part;
    }
    return p;
}

// The bytes at [at, at + count) left the stream: every offset the track keeps
// at or behind `at + count` moves back.
void shiftOffsets(trkinf& info, int32_t from, int32_t count) {
    auto shift = [&](int32_t& offset) {
        if (offset >= from) offset -= count;
    };
    for (TieNode& node : info.pending_ties)
        if (node.offset >= 0) shift(node.offset);
    for (RepeatFrame& frame : info.repeat_stack) {
        shift(frame.start_offset);
        if (frame.patch_offset != 0) shift(frame.patch_offset);
    }
    for (OffsetField& field : info.tuplet_fields) {
        shift(field.field);
        shift(field.from);
        shift(field.to);
    }
    if (info.segno_offset != 0) shift(info.segno_offset);
    if (info.tocoda_offset != 0) shift(info.tocoda_offset);
}

// Steps and the lengths their gates are computed on, oldest event first. The
// tuplet length is shared among its elements (notes, rests, portamento
// events and whole chords), the first `rest` of them taking one clock more.
// A chord note before the last keeps its delay as step; the last note of the
// chord takes what the delays leave of the chord's share.
struct Share {
    int step = 0;
    int gateLength = 0;
};

std::vector<Share> shareOut(const std::vector<TupletNode>& nodes, const EventBuffer& buf, int length) {
    int elements = static_cast<int>(std::count_if(nodes.begin(), nodes.end(),
                                                  [](const TupletNode& n) { return n.node_kind != kTupletChordNote; }));
    if (elements == 0) elements = 1;
    int share = length / elements;
    int rest = length % elements;
    std::vector<Share> out(nodes.size());
    int element = 0;
    int delays = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].node_kind == kTupletChordNote) {
            int elementShare = share + (element + 1 <= rest ? 1 : 0);
            int delay = static_cast<int>(buf.readBE16(static_cast<size_t>(std::max(0, nodes[i].offset))));
            out[i] = {delay, std::max(0, elementShare - delay)};
            delays += delay;
        } else {
            ++element;
            int elementShare = share + (element <= rest ? 1 : 0);
            int step = std::max(0, elementShare - delays);
            out[i] = {step, step};
            delays = 0;
        }
    }
    return out;
}

// Closes the tuplet of one track: L clocks shared, every event rewritten from
// the newest to the oldest so that the offsets of the older ones stay valid
// while the stream shrinks.
void rewriteTuplet(trkinf& info, EventBuffer& buf, int length, bool tied) {
    std::vector<TupletNode> nodes = std::move(info.tuplet_notes);
    info.tuplet_notes.clear();
    std::vector<Share> shares = shareOut(nodes, buf, length);
    for (size_t i = nodes.size(); i-- > 0;) {
        const TupletNode& node = nodes[i];
        if (node.offset < 0) continue;
        size_t at = static_cast<size_t>(node.offset);
        // An event that is no longer inside the stream is not touched.
        if (at + 4 > buf.size()) continue;
        uint32_t gate = buf.readBE16(at + 2);
        if (tied && i + 1 == nodes.size()) gate = kTieGate;
        // A tie gate stays: 0x8000 ties to the next note, 0xFFFF holds the
        // note into the next chord.
        if (gate != kTieGate && gate != kChordHoldGate) {
            int computed = gateFromQuantizeItem(node.quantize_value, node.quantize_kind, info.gate_resolution,
                                                shares[i].gateLength);
            gate = static_cast<uint32_t>(std::max(0, computed));
        }
        unsigned char bytes[4];
        size_t size = encodeDuration(bytes, static_cast<uint32_t>(shares[i].step));
        size += encodeDuration(bytes + size, gate);
        for (size_t k = 0; k < size; ++k) buf.patch(at + k, bytes[k]);
        if (size < 4) {
            buf.eraseBytes(at + size, 4 - size);
            shiftOffsets(info, static_cast<int32_t>(at + 4), static_cast<int32_t>(4 - size));
        }
    }
    // Relative offsets written inside the tuplet, worked out again.
    for (const OffsetField& field : info.tuplet_fields) {
        if (field.field >= 0 && static_cast<size_t>(field.field) + 4 <= buf.size())
            buf.patchBE32(static_cast<size_t>(field.field), static_cast<uint32_t>(field.to - field.from));
    }
    info.tuplet_fields.clear();
    info.tuplet_depth = 0;
    // The storage goes back to the track for its next tuplet.
    nodes.clear();
    if (info.tuplet_notes.empty()) info.tuplet_notes.swap(nodes);
}

Pos openReserved(Pos p, TrackCompile& tc) {
    forEachTrackOf(tc.set(), [&](int t) { tc.inf[t].length_groups.push_back(GroupFrame{tc.inf[t].total_clocks}); });
    vlserror("{{..}} can use only for vlc2.", p, 4, 1);
    return p;
}

Pos closeReserved(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        if (info.length_groups.empty()) sourceError("no {{  found.", q);
        int used = static_cast<int>(int64_t{info.total_clocks} - info.length_groups.back().start_clocks);
        int reserved = 0;
        Pos lengthEnd = q;
        Pos end = readGroupLength(q, info, tc.hd, reserved, &lengthEnd);
        end = addTies(end, info, tc.hd, reserved);
        if (reserved != used) {
            char message[96];
            std::snprintf(message, sizeof message, "{{..}}: %d ticks are reserved, but %d are in use.",
                          int{static_cast<uint16_t>(reserved)}, int{static_cast<uint16_t>(used)});
            vlserror(message, lengthEnd, 2, 1);
            vlserror("{{..}} can use only for vlc2.", q, 4, 1);
        }
        info.length_groups.pop_back();
        return end;
    });
}

}  // namespace

Pos openTuplet(Pos p, TrackCompile& tc) {
    Pos q = skipWhite(p);
    if (*q == '{') return openReserved(q + 1, tc);
    return forEachTarget(tc, p, [&](int t, Pos r) {
        trkinf& info = tc.inf[t];
        if (info.tuplet_depth != 0) sourceError("renpu{..} can't nest.", r);
        info.tuplet_depth = 1;
        info.tuplet_notes.clear();
        info.tuplet_fields.clear();
        return r;
    });
}

Pos closeTuplet(Pos p, TrackCompile& tc) {
    if (*p == '}') return closeReserved(p + 1, tc);
    Pos end = p;
    bool warned = false;
    for (size_t i = 0; i < tc.target.size() && !(tc.target[i] & 0x80); ++i) {
        int t = tc.target[i];
        trkinf& info = tc.inf[t];
        if (info.tuplet_notes.empty()) {
            // Without a tuplet event the brace closes a `.track ... {` block,
            // or an empty tuplet.
            if (tc.hd.block_open) {
                tc.hd.block_open = 0;
            } else if (info.tuplet_depth == 1) {
                info.tuplet_depth = 0;
                info.tuplet_fields.clear();
            } else {
                sourceError("no { found..", p);
            }
            break;
        }
        int octaveBefore = info.octave;
        int length = 0;
        Pos q = readGroupLength(skipBlanks(p), info, tc.hd, length);
        q = changeOctave(q, info);
        q = addTies(q, info, tc.hd, length);
        addToClocks(info.total_clocks, length);
        bool tied = *q == '&';
        if (tied) {
            ++q;
            if (info.octave != octaveBefore && !warned) {
                warned = true;
                vlserror("There is octave switch(es) between NOTE and TIE.", q, 3, 0);
            }
        }
        rewriteTuplet(info, tc.trk[t].buf, length, tied);
        end = q;
    }
    return end;
}
