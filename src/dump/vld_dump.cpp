#include "dump/vld_dump.h"

#include <cstring>

#include "dump/event_decoder.h"
#include "dump/format.h"
#include "format/byte_order.h"
#include "format/file_layout.h"

namespace vld {

namespace {

class FrameReader {
public:
    FrameReader(const unsigned char* data, size_t size, Dump& dump) : data_(data), dump_(dump) {
        size_ = size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
        dump.file_size = size_;
    }

    bool readHeader();
    bool readTable();

    uint32_t common_start = 0;
    uint32_t common_end = 0;

private:
    bool fail(uint32_t offset, const std::string& text) {
        dump_.problems.push_back({offset, text});
        return false;
    }
    // `pointer` stored at `field`, counted from `base`; false (with a problem)
    // when the target lies outside the file.
    bool resolve(uint32_t field, uint32_t base, const char* what, uint32_t& target);

    const unsigned char* data_;
    uint32_t size_;
    Dump& dump_;
    uint32_t table_ = 0;
};

bool FrameReader::resolve(uint32_t field, uint32_t base, const char* what, uint32_t& target) {
    uint64_t t = uint64_t{base} + getBE32(data_ + field);
    if (t >= size_) {
        return fail(field, std::string(what) + " pointer " + hexNumber(getBE32(data_ + field), 8) +
                               " leads past the end of the file (to " + hexNumber(static_cast<uint32_t>(t & 0xFFFFFFFF), 8) +
                               ", size " + hexNumber(size_) + ")");
    }
    target = static_cast<uint32_t>(t);
    return true;
}

bool FrameReader::readHeader() {
    if (size_ < kHeaderSize) {
        return fail(0, "the file has " + std::to_string(size_) + " bytes, too few for the 80-byte header");
    }
    if (std::memcmp(data_, kMagic, sizeof kMagic) != 0) {
        return fail(0, "bad magic: the file does not begin with 1A \"VeLtRa0\" (it begins " + hexBytes(data_, sizeof kMagic) + ")");
    }
    HeaderInfo& h = dump_.header;
    h.common_pointer = getBE32(data_ + kCommonPointerField);
    h.table_pointer = getBE32(data_ + kTablePointerField);
    h.size_estimate = getBE32(data_ + kSizeEstimateField);
    h.comment_pointer = getBE32(data_ + kCommentPointerField);
    h.longest_clocks = getBE32(data_ + kLongestClocksField);
    h.meter = static_cast<uint16_t>(getBE16(data_ + kMeterField));
    h.key[0] = data_[kKeyField];
    h.key[1] = data_[kKeyField + 1];
    h.time_base = static_cast<uint16_t>(getBE16(data_ + kTimeBaseField));
    h.tempo = static_cast<uint16_t>(getBE16(data_ + kTempoField));
    h.flags = getBE32(data_ + kFlagsField);
    h.track_count = data_[kTrackCountField];
    dump_.header_read = true;

    if (!resolve(kTablePointerField, pointerBase(kTablePointerField), "track table", table_)) return false;
    if (table_ < kHeaderSize) {
        return fail(kTablePointerField, "the track table pointer leads into the header (to " + hexNumber(table_) + ")");
    }
    common_start = common_end = kHeaderSize;
    if (h.common_pointer != 0) {
        uint32_t common = 0;
        if (!resolve(kCommonPointerField, pointerBase(kCommonPointerField), "common data", common)) return false;
        if (common != kHeaderSize) return fail(kCommonPointerField, "the common data pointer does not lead to offset 0x0050");
        common_end = table_;
    } else if (table_ != kHeaderSize) {
        return fail(kTablePointerField, "no common data, but the track table does not follow the header (it is at " +
                            hexNumber(table_) + ")");
    }
    if (h.comment_pointer != 0) {
        uint32_t text = 0;
        if (!resolve(kCommentPointerField, pointerBase(kCommentPointerField), "comment", text)) return false;
        if (text < common_start || text >= common_end) {
            return fail(kCommentPointerField, "the comment pointer leads outside the common data (to " + hexNumber(text) + ")");
        }
        const unsigned char* begin = data_ + text;
        const unsigned char* end = static_cast<const unsigned char*>(std::memchr(begin, 0, common_end - text));
        if (!end) return fail(text, "the comment text runs to the end of the common data without its 0 byte");
        h.has_comment = true;
        h.comment.assign(reinterpret_cast<const char*>(begin), static_cast<size_t>(end - begin));
    }
    return true;
}

bool FrameReader::readTable() {
    if (size_ - table_ < kTableCountSize) return fail(table_, "the track table is cut short by the end of the file");
    uint32_t stored = getBE16(data_ + table_);
    uint32_t n = stored == 0xFFFF ? 0 : stored + 1;
    if (n != dump_.header.track_count) {
        return fail(table_, "the track table counts " + std::to_string(n) + " track(s), the header " +
                                std::to_string(dump_.header.track_count));
    }
    uint32_t entries = table_ + kTableCountSize;
    if (uint64_t{entries} + uint64_t{kTableEntrySize} * n + (n ? kTableSeparatorSize : 0) > size_) {
        return fail(table_, "the track table of " + std::to_string(n) + " track(s) runs past the end of the file");
    }
    uint32_t separator = entries + kTableEntrySize * n;
    if (n && (data_[separator] != kTableSeparator || data_[separator + 1] != kTableSeparator)) {
        return fail(separator, "the separator 2F 2F is missing behind the track table");
    }
    uint32_t expected_block = n ? separator + kTableSeparatorSize : separator;
    for (uint32_t k = 0; k < n; ++k) {
        uint32_t e = entries + kTableEntrySize * k;
        TrackEntry track;
        track.order = static_cast<int>(k) + 1;
        track.rhythm = data_[e + kEntryKindField] & 0x80;
        track.interface_byte = data_[e + kEntryInterfaceField];
        track.device = static_cast<uint16_t>(getBE16(data_ + e + kEntryDeviceField));
        track.channel = static_cast<uint16_t>(getBE16(data_ + e + kEntryChannelField));
        if (!resolve(e + kEntryBlockPointerField, pointerBase(e + kEntryBlockPointerField), "block head", track.block_offset))
            return false;
        if (track.block_offset != expected_block) {
            return fail(e + kEntryBlockPointerField, "the block head of track " + std::to_string(k + 1) + " is at " +
                                    hexNumber(track.block_offset) + ", not right behind the previous block at " +
                                    hexNumber(expected_block));
        }
        uint32_t b = track.block_offset;
        if (size_ - b < kBlockHeadSize) return fail(b, "the block head of track " + std::to_string(k + 1) + " is cut short");
        uint32_t comment = getBE32(data_ + b + kBlockCommentLengthField);
        uint64_t events = uint64_t{b} + kBlockHeadSize + comment + (comment % 2);
        if (events > size_) {
            return fail(b + kBlockCommentLengthField, "the comment of track " + std::to_string(k + 1) + " (" + std::to_string(comment) +
                                    " bytes) runs past the end of the file");
        }
        track.comment.assign(reinterpret_cast<const char*>(data_ + b + kBlockHeadSize), comment);
        const uint32_t eventsField = e + kEntryEventsPointerField;
        if (!resolve(eventsField, pointerBase(eventsField), "event data", track.events_offset)) {
            // A track whose stream is empty and is last may point at the file's end.
            if (getBE32(data_ + eventsField) + uint64_t{pointerBase(eventsField)} != size_) return false;
            dump_.problems.pop_back();
            track.events_offset = size_;
        }
        if (track.events_offset != events) {
            return fail(e + kEntryEventsPointerField, "the event data of track " + std::to_string(k + 1) + " is at " +
                                   hexNumber(track.events_offset) + ", not right behind its comment at " +
                                   hexNumber(static_cast<uint32_t>(events)));
        }
        dump_.tracks.push_back(track);
        // The stream runs to the next block head, or to the end of the file.
        if (k + 1 < n) {
            uint32_t next = entries + kTableEntrySize * (k + 1);
            uint32_t next_block = 0;
            if (!resolve(next + kEntryBlockPointerField, pointerBase(next + kEntryBlockPointerField), "block head", next_block))
                return false;
            if (next_block < track.events_offset) {
                return fail(next + kEntryBlockPointerField, "the block head of track " + std::to_string(k + 2) +
                                           " lies before the event data of track " + std::to_string(k + 1));
            }
            expected_block = next_block;
        } else {
            expected_block = size_;
        }
        dump_.tracks.back().events_length = expected_block - track.events_offset;
    }
    dump_.table_read = true;
    return true;
}

}  // namespace

std::vector<Problem> Dump::allProblems() const {
    std::vector<Problem> all = problems;
    for (const Stream& s : streams) all.insert(all.end(), s.problems.begin(), s.problems.end());
    return all;
}

Dump dumpVld(const unsigned char* data, size_t size, const DumpOptions& options, std::string file_name) {
    Dump dump;
    dump.file_name = std::move(file_name);
    FrameReader frame(data, size, dump);
    if (!frame.readHeader() || !frame.readTable()) return dump;

    int tracks = static_cast<int>(dump.tracks.size());
    dump.common_offset = static_cast<uint32_t>(frame.common_start);
    dump.common_length = static_cast<uint32_t>(frame.common_end - frame.common_start);
    if (options.only_stream > tracks) {
        dump.track_missing = true;
        return dump;
    }
    if (!options.decode_streams) return dump;
    StreamInput input;
    input.track_count = tracks;
    input.timing = Timing::of(dump.header.time_base, dump.header.meter);
    if (options.only_stream <= 0) {
        input.bytes = data + frame.common_start;
        input.length = frame.common_end - frame.common_start;
        input.file_offset = frame.common_start;
        input.order = 0;
        dump.streams.push_back(decodeStream(input));
    }
    for (const TrackEntry& track : dump.tracks) {
        if (options.only_stream >= 0 && options.only_stream != track.order) continue;
        input.bytes = data + track.events_offset;
        input.length = track.events_length;
        input.file_offset = track.events_offset;
        input.order = track.order;
        input.device = track.device;
        dump.streams.push_back(decodeStream(input));
    }
    return dump;
}

}  // namespace vld
