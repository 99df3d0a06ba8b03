#include "export/smf_writer.h"

#include <algorithm>

namespace vld {

namespace {

void putBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

void putVariableLength(std::vector<uint8_t>& out, uint32_t value) {
    value = std::min(value, kMaxVariableLength);
    uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

void SmfTrack::message(uint32_t tick, uint8_t status, uint8_t data1) { events_.push_back({tick, {status, data1}}); }

void SmfTrack::message(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
    events_.push_back({tick, {status, data1, data2}});
}

void SmfTrack::meta(uint32_t tick, uint8_t type, std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes{0xFF, type};
    putVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    events_.push_back({tick, std::move(bytes)});
}

void SmfTrack::text(uint32_t tick, uint8_t type, std::string_view text) {
    meta(tick, type, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

void SmfTrack::tempo(uint32_t tick, uint32_t microsecondsPerQuarter) {
    uint32_t v = std::min<uint32_t>(microsecondsPerQuarter, 0xFFFFFF);
    const uint8_t data[] = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    meta(tick, 0x51, data);
}

void SmfTrack::timeSignature(uint32_t tick, uint8_t numerator, uint8_t denominator) {
    uint8_t power = 0;
    while (power < 7 && (1u << power) < denominator) ++power;
    // 24 MIDI clocks a metronome click, 8 thirty-second notes a quarter note.
    const uint8_t data[] = {numerator, power, 24, 8};
    meta(tick, 0x58, data);
}

void SmfTrack::keySignature(uint32_t tick, int8_t fifths, bool minor) {
    const uint8_t data[] = {static_cast<uint8_t>(fifths), static_cast<uint8_t>(minor ? 1 : 0)};
    meta(tick, 0x59, data);
}

void SmfTrack::exclusive(uint32_t tick, std::span<const uint8_t> message) {
    // Stored as F0, the length of what follows it, then the rest up to its F7.
    std::span<const uint8_t> rest = !message.empty() && message[0] == 0xF0 ? message.subspan(1) : message;
    std::vector<uint8_t> bytes{0xF0};
    putVariableLength(bytes, static_cast<uint32_t>(rest.size()));
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    events_.push_back({tick, std::move(bytes)});
}

uint32_t SmfTrack::lastTick() const {
    uint32_t last = 0;
    for (const Timed& e : events_) last = std::max(last, e.tick);
    return last;
}

std::vector<uint8_t> SmfTrack::chunk() const {
    std::vector<const Timed*> order;
    order.reserve(events_.size());
    for (const Timed& e : events_) order.push_back(&e);
    std::stable_sort(order.begin(), order.end(), [](const Timed* a, const Timed* b) { return a->tick < b->tick; });
    std::vector<uint8_t> body;
    uint32_t now = 0;
    for (const Timed* e : order) {
        putVariableLength(body, e->tick - now);
        now = e->tick;
        body.insert(body.end(), e->bytes.begin(), e->bytes.end());
    }
    const uint8_t endOfTrack[] = {0x00, 0xFF, 0x2F, 0x00};
    body.insert(body.end(), std::begin(endOfTrack), std::end(endOfTrack));
    std::vector<uint8_t> out{'M', 'T', 'r', 'k'};
    putBE(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> smfFile(uint16_t division, std::span<const SmfTrack> tracks) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    putBE(out, 6, 4);
    putBE(out, 1, 2);  // format 1: tracks played together
    putBE(out, static_cast<uint32_t>(tracks.size()), 2);
    putBE(out, division, 2);
    for (const SmfTrack& track : tracks) {
        std::vector<uint8_t> chunk = track.chunk();
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

}  // namespace vld
