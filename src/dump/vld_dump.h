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

#include "dump/events.h"
#include "dump/format.h"

namespace vld {

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

}  // namespace vld
