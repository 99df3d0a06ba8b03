// Taking a compiled VLD (version 3) file apart for a listing: the header
// fields, the track table and every stream decoded event by event through the
// event table. Reading never goes past the bytes it is given, whatever they
// hold; what does not hold together is collected as problems, each with the
// file offset where it was found.
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

struct HeaderInfo {
    uint32_t common_pointer = 0;
    uint32_t table_pointer = 0;
    uint32_t size_estimate = 0;
    uint32_t comment_pointer = 0;
    uint32_t longest_clocks = 0;
    uint16_t meter = 0;  // numerator high byte, denominator low byte
    uint8_t key[2] = {0, 0};
    uint16_t time_base = 0;
    uint16_t tempo = 0;
    uint32_t flags = 0;
    uint8_t track_count = 0;
    bool has_comment = false;
    std::string comment;  // the piece's comment text, as stored
};

struct TrackEntry {
    int order = 0;  // 1-based position in the track table
    bool rhythm = false;
    uint8_t interface_byte = 0;  // interface number - 1
    uint16_t device = 0;
    uint16_t channel = 0;  // as stored: 0xFFFF for none
    uint32_t block_offset = 0;
    uint32_t events_offset = 0;
    uint32_t events_length = 0;
    std::string comment;
};

struct DumpOptions {
    int only_stream = -1;  // -1 every stream, 0 the common stream, n track n
    bool decode_streams = true;  // false: the header and the track table only
};

struct Dump {
    std::string file_name;
    uint32_t file_size = 0;
    bool header_read = false;  // the 80 header bytes were there
    bool table_read = false;   // the track table held together
    HeaderInfo header;
    std::vector<TrackEntry> tracks;
    uint32_t common_offset = 0;  // the common stream's bytes in the file
    uint32_t common_length = 0;
    std::vector<Stream> streams;    // the ones asked for, common first
    std::vector<Problem> problems;  // faults of the frame
    bool track_missing = false;     // the options ask for a track the file does not have

    // Every problem, the streams' included, in file order of discovery.
    std::vector<Problem> allProblems() const;
    bool ok() const { return allProblems().empty(); }
};

Dump dumpVld(const unsigned char* data, size_t size, const DumpOptions& options, std::string file_name = {});

// Names used by both listings.
std::string deviceName(uint16_t device);
std::string keyName(int8_t fifths, uint8_t mode);
std::string noteName(unsigned note);
std::vector<std::string> flagNames(uint32_t flags);

}  // namespace vld
