#include "export/smf_writer.h"

#include <algorithm>

namespace vld {

namespace {

void putBE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// The order of kinds at one tick.
enum Rank : uint8_t {
    kMetaRank = 0,
    kNoteOffRank = 1,
    kControlRank = 2,
    kWheelRank = 3,
    kNoteOnRank = 4,
    kLegatoOffRank = 5,  // a slur's note-off, after the note it slurs into
};

uint8_t rankOf(std::span<const uint8_t> bytes) {
    switch (bytes[0] & 0xF0) {
    case 0x80: return kNoteOffRank;
    case 0x90: return bytes.size() > 2 && bytes[2] == 0 ? kNoteOffRank : kNoteOnRank;
    case 0xE0: return kWheelRank;
    case 0xF0: return kMetaRank;
    default: return kControlRank;
    }
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

void SmfTrack::write(uint32_t tick, std::span<const uint8_t> bytes) {
    tick = std::max(tick, now_);
    putVariableLength(body_, tick - now_);
    now_ = tick;
    uint8_t status = bytes[0];
    if (status >= 0xF0) {
        running_ = 0;  // meta events and exclusives end the running status
    } else if (status == running_) {
        bytes = bytes.subspan(1);
    } else {
        running_ = status;
    }
    body_.insert(body_.end(), bytes.begin(), bytes.end());
}

void SmfTrack::writeNoteOff(const Sounding& note, uint32_t tick) {
    const uint8_t bytes[] = {static_cast<uint8_t>(0x80 | note.channel), note.pitch, 0};
    write(tick, bytes);
    if (keep_notes_) notes_.push_back({note.start, tick, note.channel, note.pitch, note.velocity});
}

const SmfTrack::Sounding* SmfTrack::find(uint32_t id) const {
    for (const Sounding& s : sounding_) {
        if (s.id == id) return &s;
    }
    return nullptr;
}

SmfTrack::Sounding* SmfTrack::find(uint32_t id) {
    return const_cast<Sounding*>(static_cast<const SmfTrack*>(this)->find(id));
}

void SmfTrack::present(uint32_t tick) {
    if (!ordered_ || tick <= present_) return;
    flushBucket();
    present_ = tick;
}

// Writes the events of the present tick and everything due up to it: later
// events and note-offs, in order of tick and kind.
void SmfTrack::flushBucket() {
    // The common case: one event at the present tick, nothing else due.
    if (bucket_.size() == 1 && (later_.empty() || later_.top().tick > present_) && bucket_[0].size != 0 &&
        bucket_[0].note == UINT32_MAX) {
        bool offDue = false;
        for (const Sounding& s : sounding_) offDue = offDue || (s.end != kOpenEnd && s.end <= present_);
        if (!offDue) {
            write(present_, {bucket_[0].bytes, bucket_[0].size});
            bucket_.clear();
            return;
        }
    }
    due_.clear();
    while (!later_.empty() && later_.top().tick <= present_) {
        due_.push_back(later_.top());
        later_.pop();
    }
    due_.insert(due_.end(), bucket_.begin(), bucket_.end());
    bucket_.clear();
    // Note-offs that are due; a note-off stands for its note, found by `order`.
    for (size_t i = 0; i < sounding_.size(); ++i) {
        const Sounding& s = sounding_[i];
        if (s.end == kOpenEnd || s.end > present_) continue;
        Pending off;
        off.tick = std::max(s.end, s.start + 1);
        off.rank = s.legato ? kLegatoOffRank : kNoteOffRank;
        off.order = 0;
        off.note = static_cast<uint32_t>(i);
        off.size = 0xFF;  // marks a note-off
        due_.push_back(off);
    }
    // A few events at a time, mostly in order already: an insertion sort,
    // which keeps events of one tick and kind in the order they came.
    for (size_t i = 1; i < due_.size(); ++i) {
        Pending p = due_[i];
        size_t j = i;
        for (; j > 0 && (due_[j - 1].tick > p.tick || (due_[j - 1].tick == p.tick && due_[j - 1].rank > p.rank)); --j) {
            due_[j] = due_[j - 1];
        }
        due_[j] = p;
    }
    bool ended = false;
    for (const Pending& p : due_) {
        if (p.size == 0xFF) {
            writeNoteOff(sounding_[p.note], p.tick);
            sounding_[p.note].id = UINT32_MAX;  // written; removed below
            ended = true;
        } else if (p.size == 0) {
            write(p.tick, {long_.data() + p.long_offset, p.long_size});
        } else if (p.note == UINT32_MAX || find(p.note)) {
            write(p.tick, {p.bytes, p.size});  // a dropped note's note-on is left out
        }
    }
    if (ended) std::erase_if(sounding_, [](const Sounding& s) { return s.id == UINT32_MAX; });
    if (later_.empty() && bucket_.empty()) long_.clear();
}

void SmfTrack::add(uint32_t tick, std::span<const uint8_t> bytes, bool later, uint32_t note) {
    // Moving the present on may write and forget the long events waiting;
    // this event's bytes are kept only after that.
    if (ordered_ && !later) present(tick);
    Pending p;
    p.tick = tick;
    p.order = order_++;
    p.rank = rankOf(bytes);
    p.note = note;
    if (bytes.size() <= 3) {
        p.size = static_cast<uint8_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), p.bytes);
    } else {
        p.long_offset = static_cast<uint32_t>(long_.size());
        p.long_size = static_cast<uint32_t>(bytes.size());
        long_.insert(long_.end(), bytes.begin(), bytes.end());
    }
    if (!ordered_ || later) {
        later_.push(p);
        return;
    }
    p.tick = present_;  // never before the present
    bucket_.push_back(p);
}

void SmfTrack::message(uint32_t tick, uint8_t status, uint8_t data1) {
    const uint8_t bytes[] = {status, static_cast<uint8_t>(data1 & 0x7F)};
    add(tick, bytes, false, UINT32_MAX);
}

void SmfTrack::message(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[] = {status, static_cast<uint8_t>(data1 & 0x7F), static_cast<uint8_t>(data2 & 0x7F)};
    add(tick, bytes, false, UINT32_MAX);
}

void SmfTrack::later(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[] = {status, static_cast<uint8_t>(data1 & 0x7F), static_cast<uint8_t>(data2 & 0x7F)};
    add(std::max(tick, present_), bytes, true, UINT32_MAX);
}

void SmfTrack::meta(uint32_t tick, uint8_t type, std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes{0xFF, type};
    putVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    add(tick, bytes, false, UINT32_MAX);
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
    add(tick, bytes, false, UINT32_MAX);
}

void SmfTrack::escape(uint32_t tick, std::span<const uint8_t> data) {
    std::vector<uint8_t> bytes{0xF7};
    putVariableLength(bytes, static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    add(tick, bytes, false, UINT32_MAX);
}

uint32_t SmfTrack::noteOn(uint32_t tick, uint8_t channel, uint8_t pitch, uint8_t velocity, uint32_t end) {
    if (ordered_) present(tick);
    uint32_t start = ordered_ ? present_ : tick;
    // The same key still sounding on the channel in this track ends here: a
    // synthesizer would end both at the first note-off. (A player ends such
    // notes itself; this keeps the file sound whatever it sends.)
    for (size_t i = sounding_.size(); i-- > 0;) {
        Sounding& s = sounding_[i];
        if (s.channel != channel || s.pitch != pitch || (s.end != kOpenEnd && s.end <= start)) continue;
        if (s.start == start) sounding_.erase(sounding_.begin() + static_cast<std::ptrdiff_t>(i));
        else s.end = start;
    }
    uint32_t id = next_id_++;
    const uint8_t bytes[] = {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(pitch & 0x7F),
                             static_cast<uint8_t>(std::clamp<int>(velocity, 1, 127))};
    add(tick, bytes, false, id);
    sounding_.push_back({id, start, end, channel, pitch, velocity, false});
    return id;
}

uint32_t SmfTrack::noteStart(uint32_t id) const {
    const Sounding* s = find(id);
    return s ? s->start : 0;
}

uint32_t SmfTrack::noteEnd(uint32_t id) const {
    const Sounding* s = find(id);
    return s ? s->end : 0;
}

void SmfTrack::setNoteEnd(uint32_t id, uint32_t end, bool legato) {
    if (Sounding* s = find(id)) {
        s->end = end == kOpenEnd ? end : std::max(end, std::max(present_, s->start + 1));
        s->legato = legato;
    }
}

void SmfTrack::dropNote(uint32_t id) {
    Sounding* s = find(id);
    if (!s) return;
    if (s->start == present_) {
        // Its note-on waits in the present bucket: it goes nowhere.
        std::erase_if(sounding_, [id](const Sounding& n) { return n.id == id; });
        return;
    }
    s->end = present_;
}

void SmfTrack::cutNotesAt(uint32_t tick) {
    for (Sounding& s : sounding_) {
        if (s.end == kOpenEnd || s.end > tick) s.end = std::max(tick, s.start + 1);
    }
}

void SmfTrack::finish() {
    if (finished_) return;
    finished_ = true;
    uint32_t last = std::max(end_, present_);
    for (Sounding& s : sounding_) {
        if (s.end == kOpenEnd) s.end = std::max(last, s.start + 1);
    }
    // Everything left, up to the last tick anything waits for.
    uint32_t until = present_;
    for (const Sounding& s : sounding_) until = std::max(until, s.end);
    std::vector<Pending> rest;
    while (!later_.empty()) {
        rest.push_back(later_.top());
        later_.pop();
    }
    for (const Pending& p : rest) until = std::max(until, p.tick);
    for (Pending& p : rest) later_.push(p);
    bool was_ordered = ordered_;
    ordered_ = true;
    present_ = until;
    flushBucket();
    ordered_ = was_ordered;
    const uint8_t endOfTrack[] = {0xFF, 0x2F, 0x00};
    write(std::max(end_, now_), endOfTrack);
}

void SmfTrack::appendChunk(std::vector<uint8_t>& out) const {
    if (!finished_) {
        SmfTrack copy(*this);
        copy.finish();
        copy.appendChunk(out);
        return;
    }
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBE(out, static_cast<uint32_t>(body_.size()), 4);
    out.insert(out.end(), body_.begin(), body_.end());
}

void sendPitchWheel(SmfTrack& out, uint32_t tick, uint8_t channel, int value, bool later) {
    int v = std::clamp(value + 8192, 0, 16383);
    uint8_t status = static_cast<uint8_t>(0xE0 | channel);
    if (later) out.later(tick, status, static_cast<uint8_t>(v & 0x7F), static_cast<uint8_t>(v >> 7));
    else out.message(tick, status, static_cast<uint8_t>(v & 0x7F), static_cast<uint8_t>(v >> 7));
}

void sendBendRange(SmfTrack& out, uint32_t tick, uint8_t channel, int semitones, bool later) {
    const uint8_t rpn[][2] = {{101, 0}, {100, 0}, {6, static_cast<uint8_t>(std::clamp(semitones, 0, 127))},
                              {38, 0},  {101, 127}, {100, 127}};
    uint8_t status = static_cast<uint8_t>(0xB0 | channel);
    for (const auto& [controller, value] : rpn) {
        if (later) out.later(tick, status, controller, value);
        else out.message(tick, status, controller, value);
    }
}

std::vector<uint8_t> SmfTrack::chunk() const {
    std::vector<uint8_t> out;
    appendChunk(out);
    return out;
}

namespace {

std::vector<uint8_t> fileHead(uint16_t division, size_t tracks) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    putBE(out, 6, 4);
    putBE(out, 1, 2);  // format 1: tracks played together
    putBE(out, static_cast<uint32_t>(tracks), 2);
    putBE(out, division, 2);
    return out;
}

}  // namespace

std::vector<uint8_t> smfFile(uint16_t division, std::span<const SmfTrack> tracks) {
    size_t size = 14;
    for (const SmfTrack& track : tracks) size += track.chunkSize();
    std::vector<uint8_t> out = fileHead(division, tracks.size());
    out.reserve(size);
    for (const SmfTrack& track : tracks) track.appendChunk(out);
    return out;
}

bool writeSmfFile(uint16_t division, std::span<const SmfTrack> tracks,
                  const std::function<bool(std::span<const uint8_t>)>& sink) {
    if (!sink(fileHead(division, tracks.size()))) return false;
    for (const SmfTrack& track : tracks) {
        std::vector<uint8_t> head{'M', 'T', 'r', 'k'};
        putBE(head, static_cast<uint32_t>(track.body().size()), 4);
        if (!sink(head) || !sink(track.body())) return false;
    }
    return true;
}

}  // namespace vld
