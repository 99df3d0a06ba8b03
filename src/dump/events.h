// The events of a stream as the decoder gives them: each with its reading,
// its clock and its typed operands, and the problems found on the way.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vld {

struct Problem {
    uint32_t file_offset = 0;
    std::string message;
};

// What an operand holds, so that a reader of the events (the listing, the
// JSON, a player) takes the numbers from one decoding instead of the text.
enum class OperandType : uint8_t {
    number,     // `value`
    note,       // `value`: the note number
    velocity,   // `value`: the byte as stored (0x80 none, 0-127 absolute, 0xC0 + v relative)
    gate,       // `value`: clocks; kGateTie or kGateHold
    volume,     // `value`: the volume; `elements[0]`: its scale, 16 or 127
    device,     // `value`: the device word
    link,       // `value`: the stored displacement; `target`: the stream offset it leads to
    text,       // `bytes`
    bytes,      // `bytes`: raw data, exclusive messages
    group,      // `elements`: one per position, empty where the presence bits leave it out;
                // `value`: the switch bit of a group that has one, else 0
    split,      // `value`: the switch bit; `elements`: four per entry, low note, high note, bank, program
    key,        // `elements`: fifths, mode
    meter,      // `elements`: numerator, denominator
    checksums,  // the verdicts on an exclusive message: text only
};

constexpr int64_t kGateTie = 0x8000;   // the note is tied to the next
constexpr int64_t kGateHold = 0xFFFF;  // the note is held into the chord that follows

// One decoded operand: its typed value and the two forms a listing shows.
struct Operand {
    std::string_view label;  // from the event table, which lives as long as the program
    OperandType type = OperandType::number;
    int64_t value = 0;
    std::optional<uint32_t> target;                 // links that lead inside the stream
    std::vector<std::optional<int64_t>> elements;  // groups, lists, key and meter
    std::vector<uint8_t> bytes;                    // texts and raw data
    std::string text;  // as the text listing shows it
    std::string json;  // a JSON value
};

struct EventRow;

// How durations are encoded: a value below 128 takes one byte in the shortest
// form, two bytes in a long one.
enum class DurationForm : uint8_t {
    shortest,   // every duration in its shortest form
    longGates,  // some gate or other duration in a long form, every step short
    longSteps,  // some step in a long form
};

struct Event {
    uint32_t offset = 0;  // in its stream
    uint32_t size = 0;
    uint8_t code = 0;
    bool known = true;         // false: no table row knows the code
    const EventRow* row = nullptr;  // the reading chosen, when known
    bool has_clock = false;    // common events have no clock position
    uint32_t clock = 0;
    uint32_t step = 0;         // the clocks the event moves the track on
    DurationForm durations = DurationForm::shortest;  // the loosest encoding of its durations
    std::string position;      // bar:beat:tick
    std::string name;
    std::string hex;  // the event's bytes
    std::vector<Operand> operands;

    // The operand of that label, or null.
    const Operand* operand(std::string_view label) const;
    // The value of the operand of that label, or `otherwise` when there is none.
    int64_t number(std::string_view label, int64_t otherwise = 0) const;
};

struct Stream {
    int order = 0;  // 0 the common stream, 1.. the tracks in table order
    uint32_t file_offset = 0;
    uint32_t length = 0;
    uint32_t padding = 0;  // 0xFF bytes behind the last end code
    // The stream reads as the compiler writes it: every step in its shortest
    // form. Files from elsewhere may read only more loosely (not a fault of
    // the file).
    bool read_as_written = false;
    std::vector<Event> events;
    std::vector<Problem> problems;
};

}  // namespace vld
