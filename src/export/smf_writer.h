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

// The events of one track chunk, added in any order of time. Events at the
// same tick keep the order they were added in; the end of the track is
// written after the last of them.
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

    bool empty() const { return events_.empty(); }
    uint32_t lastTick() const;
    // The whole chunk: "MTrk", its length, the events and the end of the track.
    std::vector<uint8_t> chunk() const;

private:
    struct Timed {
        uint32_t tick;
        std::vector<uint8_t> bytes;  // the event without its delta time
    };
    std::vector<Timed> events_;
};

// A format-1 file: the header chunk with `division` ticks per quarter note,
// then every track's chunk in order. `division` stays below 0x8000 (the top
// bit would make it a frame rate).
std::vector<uint8_t> smfFile(uint16_t division, std::span<const SmfTrack> tracks);

}  // namespace vld
