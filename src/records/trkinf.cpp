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

void initTrkInf2(trkinf& info, int /*track*/) {
    info.l.clear();
    info.d.clear();
    info.r.clear();
    info.s.clear();
    info.c.clear();
    info.tuplet_fields.clear();
}

void releaseTrkInf(trkinf& info, int /*track*/) {
    std::vector<SequenceItem>().swap(info.velocity);
    std::vector<SequenceItem>().swap(info.quantize);
    std::vector<RepeatFrame>().swap(info.l);
    std::vector<DoFrame>().swap(info.d);
    std::vector<TupletNode>().swap(info.r);
    std::vector<GroupFrame>().swap(info.s);
    std::vector<TieNode>().swap(info.c);
    std::vector<OffsetField>().swap(info.tuplet_fields);
}

void copyTrkInf(trkinf& destination, const trkinf& source) {
    std::vector<RepeatFrame> l = std::move(destination.l);
    std::vector<DoFrame> d = std::move(destination.d);
    std::vector<TupletNode> r = std::move(destination.r);
    std::vector<GroupFrame> s = std::move(destination.s);
    std::vector<TieNode> c = std::move(destination.c);
    std::vector<OffsetField> fields = std::move(destination.tuplet_fields);
    destination = source;
    destination.l = std::move(l);
    destination.d = std::move(d);
    destination.r = std::move(r);
    destination.s = std::move(s);
    destination.c = std::move(c);
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
