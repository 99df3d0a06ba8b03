// The frame of a compiled file, where the writer puts each field and the
// readers look for it: the 80-byte header, the common stream right behind it,
// the track table, then one block per track (a block head, the track's
// comment, its event stream). Offsets are in bytes; every number is
// big-endian (format/byte_order.h).
#pragma once
#include <cstdint>

namespace vld {

// A pointer field holds the distance from the end of the field (its offset
// plus 4) to what it points at.
constexpr uint32_t pointerBase(uint32_t field) { return field + 4; }

// The header, from the start of the file.
constexpr uint32_t kHeaderSize = 80;
constexpr unsigned char kMagic[8] = {0x1A, 'V', 'e', 'L', 't', 'R', 'a', '0'};
constexpr uint32_t kCommonPointerField = 8;   // to the common stream; 0 when it is empty
constexpr uint32_t kTablePointerField = 12;   // to the track table
constexpr uint32_t kSizeEstimateField = 20;   // 32-bit: what a player reserves for the file
constexpr uint32_t kCommentPointerField = 36; // to the piece's comment text; 0 none
constexpr uint32_t kLongestClocksField = 40;  // 32-bit: the length of the longest track
constexpr uint32_t kMeterField = 48;          // 16-bit: numerator high byte, denominator low byte
constexpr uint32_t kKeyField = 52;            // two bytes: fifths, mode
constexpr uint32_t kTimeBaseField = 54;       // 16-bit: clocks in a whole note
constexpr uint32_t kTempoField = 56;          // 16-bit
constexpr uint32_t kFlagsField = 60;          // 32-bit
constexpr uint32_t kTrackCountField = 74;     // byte: the tracks in the table

// The track table: a 16-bit count less one (0xFFFF for none), one entry per
// track, then the separator 2F 2F when there is an entry.
constexpr uint32_t kTableCountSize = 2;
constexpr uint32_t kTableEntrySize = 16;
constexpr uint32_t kEntryKindField = 1;           // bit 7: a rhythm track
constexpr uint32_t kEntryInterfaceField = 2;      // interface number - 1
constexpr uint32_t kEntryDeviceField = 4;         // 16-bit device word
constexpr uint32_t kEntryChannelField = 6;        // 16-bit channel, 0xFFFF none
constexpr uint32_t kEntryEventsPointerField = 8;  // to the track's event stream
constexpr uint32_t kEntryBlockPointerField = 12;  // to the track's block head
constexpr uint32_t kTableSeparatorSize = 2;
constexpr unsigned char kTableSeparator = 0x2F;   // both bytes

// A track block: three reserved words and the comment's length, then the
// comment, padded to an even length, then the event stream.
constexpr uint32_t kBlockHeadSize = 16;
constexpr uint32_t kBlockCommentLengthField = 12;

}  // namespace vld
