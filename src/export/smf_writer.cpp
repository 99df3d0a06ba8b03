#include "export/smf_writer.h"

#include <algorithm>
#include <functional>
#include <queue>

namespace vld {

namespace {

void putBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// The order of kinds at one tick.
enum Rank : uint32_t { kMetaRank = 0, kNoteOffRank = 1, kControlRank = 2, kWheelRank = 3, kNoteOnRank = 4 };

uint32_t rankOf(uint8_t status, std::span<const uint8_t> bytes) {
    switch (status & 0xF0) {
    case 0x80: return kNoteOffRank;
    case 0x90: return bytes.size() > 2 && bytes[2] == 0 ? kNoteOffRank : kNoteOnRank;
    case 0xE0: return kWheelRank;
    case 0xF0: return kMetaRank;
    default: return kControlRank;
    }
}

// Writes events with delta times, leaving out a channel message's status
// byte when it repeats the one before (running status).
class ChunkBody {
public:
    void event(uint32_t tick, std::span<const uint8_t> bytes) {
        putVariableLength(out_, tick - now_);
        now_ = tick;
        uint8_t status = bytes[0];
        if (status >= 0xF0) {
            running_ = 0;  // meta events and exclusives end the running status
        } else if (status == running_) {
            bytes = bytes.subspan(1);
        } else {
            running_ = status;
        }
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }
    uint32_t now() const { return now_; }
    std::vector<uint8_t>& bytes() { return out_; }

private:
    std::vector<uint8_t> out_;
    uint32_t now_ = 0;
    uint8_t running_ = 0;
};

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

void SmfTrack::add(uint32_t tick, std::span<const uint8_t> bytes) {
    events_.push_back({tick, static_cast<uint32_t>(bytes_.size()), static_cast<uint32_t>(bytes.size()),
                       rankOf(bytes[0], bytes)});
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void SmfTrack::message(uint32_t tick, uint8_t status, uint8_t data1) {
    const uint8_t bytes[] = {status, static_cast<uint8_t>(data1 & 0x7F)};
    add(tick, bytes);
}

void SmfTrack::message(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[] = {status, static_cast<uint8_t>(data1 & 0x7F), static_cast<uint8_t>(data2 & 0x7F)};
    add(tick, bytes);
}

void SmfTrack::meta(uint32_t tick, uint8_t type, std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes{0xFF, type};
    putVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    add(tick, bytes);
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
    add(tick, bytes);
}

void SmfTrack::escape(uint32_t tick, std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes{0xF7};
    putVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    add(tick, bytes);
}

size_t SmfTrack::note(const SmfNote& note) {
    notes_.push_back(note);
    return notes_.size() - 1;
}

uint32_t SmfTrack::lastTick() const {
    uint32_t last = end_;
    for (const Timed& e : events_) last = std::max(last, e.tick);
    for (const SmfNote& n : notes_) {
        if (!(n.flags & SmfNote::kDropped)) last = std::max(last, n.end);
    }
    return last;
}

std::vector<uint8_t> SmfTrack::chunk() const {
    std::vector<Timed> order(events_);
    std::stable_sort(order.begin(), order.end(),
                     [](const Timed& a, const Timed& b) { return a.tick != b.tick ? a.tick < b.tick : a.rank < b.rank; });
    std::vector<uint32_t> starts;  // notes by their start, in the order added
    starts.reserve(notes_.size());
    for (uint32_t i = 0; i < notes_.size(); ++i) {
        if (!(notes_[i].flags & SmfNote::kDropped)) starts.push_back(i);
    }
    std::stable_sort(starts.begin(), starts.end(),
                     [&](uint32_t a, uint32_t b) { return notes_[a].start < notes_[b].start; });
    // Sounding notes by their end, the earliest on top (in the order they started).
    using Ending = std::pair<uint64_t, uint32_t>;  // (end << 32 | order started, note)
    std::priority_queue<Ending, std::vector<Ending>, std::greater<>> sounding;
    uint32_t started = 0;

    ChunkBody body;
    size_t next_event = 0, next_start = 0;
    auto noteOff = [&](const SmfNote& n, uint32_t tick) {
        const uint8_t bytes[] = {static_cast<uint8_t>(0x80 | n.channel), n.pitch, 0};
        body.event(tick, bytes);
    };
    auto eventsUpTo = [&](uint32_t tick, uint32_t rank) {
        for (; next_event < order.size() && order[next_event].tick == tick && order[next_event].rank <= rank;
             ++next_event) {
            body.event(tick, {bytes_.data() + order[next_event].offset, order[next_event].size});
        }
    };
    auto endsAt = [&](uint32_t tick, bool legato) {
        std::vector<uint32_t> later;
        while (!sounding.empty() && (sounding.top().first >> 32) == tick) {
            uint32_t index = sounding.top().second;
            sounding.pop();
            if (bool(notes_[index].flags & SmfNote::kLegato) == legato) noteOff(notes_[index], tick);
            else later.push_back(index);
        }
        for (uint32_t index : later) sounding.push({uint64_t{tick} << 32 | started++, index});
    };
    for (;;) {
        uint64_t tick = UINT64_MAX;
        if (next_event < order.size()) tick = order[next_event].tick;
        if (next_start < starts.size()) tick = std::min<uint64_t>(tick, notes_[starts[next_start]].start);
        if (!sounding.empty()) tick = std::min(tick, sounding.top().first >> 32);
        if (tick == UINT64_MAX) break;
        uint32_t t = static_cast<uint32_t>(tick);
        eventsUpTo(t, kMetaRank);
        endsAt(t, false);
        eventsUpTo(t, kNoteOnRank);
        for (; next_start < starts.size() && notes_[starts[next_start]].start == t; ++next_start) {
            const SmfNote& n = notes_[starts[next_start]];
            const uint8_t bytes[] = {static_cast<uint8_t>(0x90 | n.channel), n.pitch, n.velocity};
            body.event(t, bytes);
            sounding.push({uint64_t{std::max(n.end, t + 1)} << 32 | started++, starts[next_start]});
        }
        endsAt(t, true);
    }
    const uint8_t endOfTrack[] = {0xFF, 0x2F, 0x00};
    body.event(std::max(end_, body.now()), endOfTrack);
    std::vector<uint8_t> out{'M', 'T', 'r', 'k'};
    putBE(out, static_cast<uint32_t>(body.bytes().size()), 4);
    out.insert(out.end(), body.bytes().begin(), body.bytes().end());
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
