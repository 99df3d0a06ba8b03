// Sending bytes that a source wrote as raw MIDI data: exclusive messages and
// channel messages, as a MIDI file can hold them.
#pragma once
#include <cstdint>
#include <span>

#include "export/smf_writer.h"

namespace vld {

// Writes `bytes` at `tick`: every message from F0 to its F7 as an exclusive,
// complete channel messages (running status allowed) as channel events, and
// whatever is left as escape events. Returns the count of escape events.
size_t sendRawMessages(SmfTrack& out, uint32_t tick, std::span<const uint8_t> bytes);

// The Roland checksum of an exclusive's address and data: what makes their
// sum a multiple of 128.
uint8_t rolandChecksum(std::span<const uint8_t> bytes);

}  // namespace vld
