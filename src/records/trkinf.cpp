#include "records/trkinf.h"

#include "records/records.h"

void initTrkInf(trkinf& info, headdata& hd) {
    info = trkinf{};
    info.velocity.assign(1, SequenceItem{127, 0, kValuePlain, kValueNone});
    info.quantize.assign(1, SequenceItem{hd.gate_resolution, 0, kValuePlain, kValueNone});
    info.sequence_a[0] = SequenceItem{0, 0, kValuePlain, kValueNone};
    info.sequence_b[0] = SequenceItem{127, 0, kValuePlain, kValueNone};
    info.gate_resolution = hd.gate_resolution;
    info.header = &hd;
}

void clearStructureStacks(trkinf& info, int /*track*/) {
    info.repeat_stack.clear();
    info.do_stack.clear();
    info.tuplet_notes.clear();
    info.length_groups.clear();
    info.pending_ties.clear();
    info.tuplet_fields.clear();
}

void releaseTrkInf(trkinf& info, int /*track*/) {
    std::vector<SequenceItem>().swap(info.velocity);
    std::vector<SequenceItem>().swap(info.quantize);
    std::vector<RepeatFrame>().swap(info.repeat_stack);
    std::vector<DoFrame>().swap(info.do_stack);
    std::vector<TupletNode>().swap(info.tuplet_notes);
    std::vector<GroupFrame>().swap(info.length_groups);
    std::vector<TieNode>().swap(info.pending_ties);
    std::vector<OffsetField>().swap(info.tuplet_fields);
}

void copyTrkInf(trkinf& destination, const trkinf& source) {
    std::vector<RepeatFrame> l = std::move(destination.repeat_stack);
    std::vector<DoFrame> d = std::move(destination.do_stack);
    std::vector<TupletNode> r = std::move(destination.tuplet_notes);
    std::vector<GroupFrame> s = std::move(destination.length_groups);
    std::vector<TieNode> c = std::move(destination.pending_ties);
    std::vector<OffsetField> fields = std::move(destination.tuplet_fields);
    const uint8_t subTrack = destination.sub_track;
    const uint8_t parentTrack = destination.parent_track;
    destination = source;
    // A track's place among the sub-tracks stays its own.
    destination.sub_track = subTrack;
    destination.parent_track = parentTrack;
    destination.repeat_stack = std::move(l);
    destination.do_stack = std::move(d);
    destination.tuplet_notes = std::move(r);
    destination.length_groups = std::move(s);
    destination.pending_ties = std::move(c);
    destination.tuplet_fields = std::move(fields);
    // The copies of the sequences hold at least one item.
    destination.velocity.resize(std::max<size_t>(1, std::min<size_t>(source.velocity_count, source.velocity.size())));
    destination.quantize.resize(std::max<size_t>(1, std::min<size_t>(source.quantize_count, source.quantize.size())));
}

void advanceVelocityIndex(trkinf& info) {
    if (!info.velocity_sequence_on) return;
    ++info.velocity_index;
    if (info.velocity_index >= info.velocity_count) info.velocity_index = 0;
}

void advanceQuantizeIndex(trkinf& info) {
    ++info.quantize_index;
    if (info.quantize_index >= info.quantize_count) info.quantize_index = 0;
}
