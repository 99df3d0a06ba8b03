// Decoding one event stream through the event table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "dump/events.h"
#include "format/event_table.h"

namespace vld {

// Turns a clock count into bar:beat:tick from the time base and the meter
// (4/4 when the file names none).
struct Timing {
    uint32_t whole_note = 192;
    unsigned numerator = 4;
    unsigned denominator = 4;

    static Timing of(uint16_t time_base, uint16_t meter);
    std::string position(uint32_t clock) const;
};

struct StreamInput {
    const unsigned char* bytes = nullptr;  // the stream's first byte
    uint32_t length = 0;
    uint32_t file_offset = 0;  // of the first byte, for messages
    int order = 0;             // 0 common, 1.. tracks
    int track_count = 0;       // tracks in the file, to tell synchronize events
    uint16_t device = 0xFFFF;  // the track's device word in the track table (MIDI by default)
    Timing timing;
};

// Decodes every event, choosing the reading of each code with several as the
// event table describes. When no choice reads the stream to its end, the
// listing stops at a code that no row knows or at an event cut short by the
// end of the stream, each recorded as a problem; a track stream must also
// end in the end code (the common stream need not).
Stream decodeStream(const StreamInput& input);

// A stream's readings without the listing's texts: what a player walks. One
// byte per stream byte keeps them small beside the file itself.
struct StreamReadings {
    bool complete = false;  // the stream read to its end; else `problems` names the fault
    // 0 where no event starts; else 1 + the event table index of the reading
    // of the event that starts there.
    std::vector<uint8_t> row_at;
    std::vector<Problem> problems;

    // The reading of the event that starts at `offset`, or null.
    const EventRow* rowAt(uint32_t offset) const {
        return offset < row_at.size() && row_at[offset] ? &kEventTable[row_at[offset] - 1] : nullptr;
    }
};

StreamReadings chooseReadings(const StreamInput& input);

// Decodes the event at `offset` with `row` into typed operands only (no
// texts); `event` may be reused, its operands are replaced. False when the
// stream ends inside the event.
bool decodeEvent(const StreamInput& input, uint32_t offset, const EventRow& row, Event& event);

}  // namespace vld
