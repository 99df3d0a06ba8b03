#include "track/tuplet_events.h"

void recordTupletEvent(TrackCompile& tc, int track, int nodeKind) {
    trkinf& info = tc.inf[track];
    SequenceItem q = info.quantize_index < info.quantize.size() ? info.quantize[info.quantize_index]
                                                                 : SequenceItem{info.gate_resolution};
    info.tuplet_notes.push_back(TupletNode{static_cast<int32_t>(tc.trk[track].buf.size()), q.value, q.kind,
                                static_cast<uint8_t>(nodeKind)});
    ++info.tuplet_depth;
}

void recordTupletOffsetField(trkinf& info, size_t field, size_t from, size_t to) {
    if (info.tuplet_depth == 0) return;
    info.tuplet_fields.push_back(
        OffsetField{static_cast<int32_t>(field), static_cast<int32_t>(from), static_cast<int32_t>(to)});
}
