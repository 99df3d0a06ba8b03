// Writing a Standard MIDI File: the events of each track written as they
// come, with delta times and running status, and the whole file of format 1
// (a conductor track first, then one track per played track). Only the
// standard library.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <span>
#include <string_view>
#include <vector>

namespace vld {

// Appends `value` (at most 0x0FFFFFFF) as a variable-length quantity: seven
// bits a byte, most significant first, every byte but the last with its top bit.
void putVariableLength(std::vector<uint8_t>& out, uint32_t value);

constexpr uint32_t kMaxVariableLength = 0x0FFFFFFF;
constexpr uint32_t kOpenEnd = UINT32_MAX;  // a note whose end is not known yet

// A note as it sounds, kept for listings.
struct SmfNote {
    uint32_t start = 0;
    uint32_t end = 0;
    uint8_t channel = 0;
    uint8_t pitch = 0;
    uint8_t velocity = 0;
};

// One track chunk. A player adds events in time order: every event at a
// tick not before the one of the event before ("the present"), except those
// given to `later`, and notes, whose ends may move until they come. At one
// tick the events go out by kind: meta events and exclusives, note-offs,
// controllers and program changes, pitch wheel, note-ons (so that a program
// change or a bend at a tick applies to the note that starts there); events
// of one kind keep the order they came in. An unordered track (the
// conductor) takes events at any tick and writes them when finished.
class SmfTrack {
public:
    explicit SmfTrack(bool ordered = true, bool keep_notes = true) : ordered_(ordered), keep_notes_(keep_notes) {}

    // A channel message of one or two data bytes (status with its channel).
    void message(uint32_t tick, uint8_t status, uint8_t data1);
    void message(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2);
    // A channel message at a tick after the present (a glide's steps).
    void later(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2);
    // A meta event of the given type and data.
    void meta(uint32_t tick, uint8_t type, std::span<const uint8_t> data);
    void text(uint32_t tick, uint8_t type, std::string_view text);
    void tempo(uint32_t tick, uint32_t microsecondsPerQuarter);
    // Numerator and denominator as written (the denominator a power of two).
    void timeSignature(uint32_t tick, uint8_t numerator, uint8_t denominator);
    void keySignature(uint32_t tick, int8_t fifths, bool minor);
    // A system exclusive message as sent, from F0 to its F7.
    void exclusive(uint32_t tick, std::span<const uint8_t> message);
    // Bytes sent as they stand (an escape event, F7 and the length).
    void escape(uint32_t tick, std::span<const uint8_t> bytes);

    // A note from `tick` (the present) to `end` (later, or kOpenEnd); the id
    // names it until its note-off is written.
    uint32_t noteOn(uint32_t tick, uint8_t channel, uint8_t pitch, uint8_t velocity, uint32_t end);
    // The note still sounds: its note-off is not written yet.
    bool sounding(uint32_t id) const { return find(id) != nullptr; }
    uint32_t noteStart(uint32_t id) const;
    uint32_t noteEnd(uint32_t id) const;
    // Moves the end of a sounding note; `legato`: its note-off follows the
    // note-ons of its tick.
    void setNoteEnd(uint32_t id, uint32_t end, bool legato = false);
    // A note that starts at the present tick is left out; an older one ends now.
    void dropNote(uint32_t id);
    // Every sounding note that would sound past `tick` ends there.
    void cutNotesAt(uint32_t tick);

    void endAt(uint32_t tick) { end_ = std::max(end_, tick); }
    // Writes everything still waiting; open notes end with the track.
    void finish();
    // The tick of the end of the track, once finished.
    uint32_t endTick() const { return now_; }
    // The notes written, when kept.
    const std::vector<SmfNote>& notes() const { return notes_; }
    // The whole chunk: "MTrk", its length, the events and the end of the track.
    std::vector<uint8_t> chunk() const;
    // The chunk's size when written.
    size_t chunkSize() const { return 8 + body_.size() + 4; }
    void appendChunk(std::vector<uint8_t>& out) const;
    // The events of a finished track, without the chunk's head.
    std::span<const uint8_t> body() const { return body_; }

private:
    struct Pending {
        uint32_t tick = 0;
        uint32_t order = 0;  // the order added, among events of one tick and kind
        uint8_t rank = 0;
        uint8_t size = 0;     // of `bytes`, or 0 for an event kept in `long_`
        uint8_t bytes[3] = {};
        uint32_t long_offset = 0;
        uint32_t long_size = 0;
        uint32_t note = UINT32_MAX;  // the note of a note-on
    };
    struct LaterFirst {
        bool operator()(const Pending& a, const Pending& b) const {
            if (a.tick != b.tick) return a.tick > b.tick;
            if (a.rank != b.rank) return a.rank > b.rank;
            return a.order > b.order;
        }
    };
    struct Sounding {
        uint32_t id;
        uint32_t start;
        uint32_t end;
        uint8_t channel, pitch, velocity;
        bool legato;
    };

    void add(uint32_t tick, std::span<const uint8_t> bytes, bool later, uint32_t note);
    void present(uint32_t tick);
    void flushBucket();
    void write(uint32_t tick, std::span<const uint8_t> bytes);
    void writeNoteOff(const Sounding& note, uint32_t tick);
    const Sounding* find(uint32_t id) const;
    Sounding* find(uint32_t id);

    bool ordered_;
    bool keep_notes_;
    uint32_t present_ = 0;  // the tick of the bucket
    uint32_t order_ = 0;
    std::vector<Pending> bucket_;  // events at the present tick
    std::priority_queue<Pending, std::vector<Pending>, LaterFirst> later_;
    std::vector<uint8_t> long_;  // bytes of meta events and exclusives not yet written
    std::vector<Sounding> sounding_;
    uint32_t next_id_ = 0;
    std::vector<SmfNote> notes_;
    std::vector<Pending> due_;  // scratch of flushBucket

    std::vector<uint8_t> body_;
    uint32_t now_ = 0;  // the tick written last
    uint8_t running_ = 0;
    uint32_t end_ = 0;
    bool finished_ = false;
};

// The pitch wheel at `value` (-8192 to 8191, 0 the centre), now or, with
// `later`, at a tick after the present.
void sendPitchWheel(SmfTrack& out, uint32_t tick, uint8_t channel, int value, bool later = false);
// The pitch bend range in semitones: RPN 0 with its data entry, then the RPN
// closed again so that a stray data entry changes nothing.
void sendBendRange(SmfTrack& out, uint32_t tick, uint8_t channel, int semitones, bool later = false);

// A format-1 file: the header chunk with `division` ticks per quarter note,
// then every track's chunk in order. `division` stays below 0x8000 (the top
// bit would make it a frame rate).
std::vector<uint8_t> smfFile(uint16_t division, std::span<const SmfTrack> tracks);

// The same file handed to `sink` piece by piece, without a copy of the
// whole; stops at the first piece the sink refuses. The tracks are finished.
bool writeSmfFile(uint16_t division, std::span<const SmfTrack> tracks,
                  const std::function<bool(std::span<const uint8_t>)>& sink);

}  // namespace vld
