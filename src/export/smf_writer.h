// Writing a Standard MIDI File: timed events per track, turned into track
// chunks with delta times, and the whole file of format 1 (a conductor track
// first, then one track per played track). Only the standard library.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vld {

// Appends `value` (at most 0x0FFFFFFF) as a variable-length quantity: seven
// bits a byte, most significant first, every byte but the last with its top bit.
void putVariableLength(std::vector<uint8_t>& out, uint32_t value);

constexpr uint32_t kMaxVariableLength = 0x0FFFFFFF;

// A note of a track chunk: its note-on and its note-off, kept as one record
// so that a player can move its end while the music goes on.
struct SmfNote {
    static constexpr uint8_t kDropped = 1;  // written nowhere (merged into a later note)
    static constexpr uint8_t kLegato = 2;   // its note-off follows the note-ons of its last tick

    uint32_t start = 0;
    uint32_t end = 0;
    uint8_t channel = 0;
    uint8_t pitch = 0;
    uint8_t velocity = 0;
    uint8_t flags = 0;
};

// The events of one track chunk, added in any order of time. At one tick they
// go out by kind: meta events and exclusives, note-offs, controllers and
// program changes, pitch wheel, then note-ons, so that a program change or a
// bend at a tick applies to the note that starts there; events of one kind
// keep the order they were added in. The end of the track comes after the
// last event, or at the tick given to `endAt` when that is later.
class SmfTrack {
public:
    // A channel message of one or two data bytes (status with its channel).
    void message(uint32_t tick, uint8_t status, uint8_t data1);
    void message(uint32_t tick, uint8_t status, uint8_t data1, uint8_t data2);
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

    // A note from `start` to `end` (later than `start`); the index stays valid.
    size_t note(const SmfNote& note);
    SmfNote& noteAt(size_t index) { return notes_[index]; }
    const std::vector<SmfNote>& notes() const { return notes_; }

    void endAt(uint32_t tick) { end_ = std::max(end_, tick); }
    bool empty() const { return events_.empty() && notes_.empty(); }
    uint32_t lastTick() const;
    // The whole chunk: "MTrk", its length, the events and the end of the track.
    std::vector<uint8_t> chunk() const;

private:
    struct Timed {
        uint32_t tick;
        uint32_t offset;  // of the event's bytes in `bytes_`
        uint32_t size : 29;
        uint32_t rank : 3;  // the order of kinds at one tick
    };
    void add(uint32_t tick, std::span<const uint8_t> bytes);

    std::vector<Timed> events_;
    std::vector<uint8_t> bytes_;
    std::vector<SmfNote> notes_;
    uint32_t end_ = 0;
};

// A format-1 file: the header chunk with `division` ticks per quarter note,
// then every track's chunk in order. `division` stays below 0x8000 (the top
// bit would make it a frame rate).
std::vector<uint8_t> smfFile(uint16_t division, std::span<const SmfTrack> tracks);

}  // namespace vld
