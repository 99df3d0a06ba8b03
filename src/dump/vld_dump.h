// Taking a compiled VLD (version 3) file apart for a listing: the header
// fields, the track table and every stream decoded event by event through the
// event table. Reading never goes past the bytes it is given, whatever they
// hold; what does not hold together is collected as problems, each with the
// file offset where it was found.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vld {

struct Problem {
    uint32_t file_offset = 0;
    std::string message;
};

// One decoded operand in both forms a listing needs.
struct Operand {
    std::string label;
    std::string text;  // as the text listing shows it
    std::string json;  // a JSON value
};

struct Event {
    uint32_t offset = 0;  // in its stream
    uint32_t size = 0;
    uint8_t code = 0;
    bool known = true;         // false: no table row knows the code
    bool has_clock = false;    // common events have no clock position
    uint32_t clock = 0;
    std::string position;      // bar:beat:tick
    std::string name;
    std::string hex;  // the event's bytes
    std::vector<Operand> operands;
};

struct Stream {
    int order = 0;  // 0 the common stream, 1.. the tracks in table order
    uint32_t file_offset = 0;
    uint32_t length = 0;
    uint32_t padding = 0;  // 0xFF bytes behind the last end code
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
};

struct Dump {
    std::string file_name;
    uint32_t file_size = 0;
    bool header_read = false;  // the 80 header bytes were there
    bool table_read = false;   // the track table held together
    HeaderInfo header;
    std::vector<TrackEntry> tracks;
    std::vector<Stream> streams;    // the ones asked for, common first
    std::vector<Problem> problems;  // faults of the frame and of the options

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
