// Exclusive events in the common stream and in tracks: raw MIDI and exclusive
// data with Roland and Yamaha checksums, and the fixed messages that reset or
// switch a sound module. Each takes the text behind the command name and
// returns the position behind what it consumed.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "header/header.h"

Pos midiDataCommand(Pos p, TrackRecords& trk, headdata& hd);        // MIDI_DATA
Pos exclusiveCommand(Pos p, TrackRecords& trk, headdata& hd);       // EXCLUSIVE
Pos rolandExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd); // ROLAND_EXCLUSIVE
Pos yamahaExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd); // YAMAHA_EXCLUSIVE
Pos xgExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd);     // XG_EXCLUSIVE
Pos dxBulkDumpCommand(Pos p, TrackRecords& trk, headdata& hd);      // DX_BULK_DUMP

// The fixed messages, written to every track of the set (0xF4 form for tracks
// other than the common track).
Pos gsResetCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);      // SC55_INIT, SC55_RESET, GS_INIT, GS_RESET
Pos gmSystemOnCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);   // GM_SYSTEM_ON
Pos gm2SystemOnCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);  // GM2_SYSTEM_ON (with its notice)
Pos xgSystemOnCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);   // XG_SYSTEM_ON, XG_INIT (with its notice)
Pos mu100VoiceMapCommand(Pos p, TrackRecords& trk, headdata& hd);              // MU100_VOICE_MAP
Pos mu100BasicMapCommand(Pos p, TrackRecords& trk, headdata& hd);              // MU100_BASIC_MAP (with its notice)
Pos mu100NativeMapCommand(Pos p, TrackRecords& trk, headdata& hd);             // MU100_NATIVE_MAP (with its notice)
// SC88_MODE and SC88_MODE_SET (0xF3 form for tracks other than the common track).
Pos sc88ModeCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);

// ---- Pieces shared with the sound-module setup messages ----

// Frame types of a message held as F0 and the bytes behind it.
constexpr int kFramePlain = 0;
constexpr int kFrameRoland = 1;           // checksum over address and data
constexpr int kFrameYamahaBulk = 2;       // count and checksum
constexpr int kFrameYamahaParameter = 3;  // no checksum
constexpr int kFrameBulkDataSum = 4;      // count, checksum over the data only

constexpr uint8_t kDefaultDeviceId = 0x10;
constexpr uint8_t kNoInterface = 255;

// A message (F0 and what follows, without F7) in its final frame: count bytes
// and checksum as the frame type asks, then F7.
std::vector<unsigned char> frameMessage(std::span<const unsigned char> message, int frameType);

// Appends one exclusive event (0x34, IF byte, label, length, message).
void putExclusiveEvent(EventBuffer& out, uint8_t ifno, std::string_view label, std::span<const unsigned char> message);

// Reads `[dev] [,] [ifno]` (`[,] [ifno]` when `readDevice` is off) and writes
// the template, the device ID in its third byte, in its frame to every track
// of the set: the 0x34 event to the common track, the 0xF4 form elsewhere.
// The IF number is stored as ifno - 1 (255 when omitted).
Pos buildFromTemplate(Pos p, std::span<const unsigned char> message, std::string_view label, bool readDevice,
                      int frameType, TrackRecords& trk, TrackSet set);

// A number that must be there: missing or malformed is `message` (an error).
// A missing number is reported where it was looked for, on the command's
// line; a malformed one where the reading stopped.
Pos requiredParameter(Pos p, int32_t& value, const char* message);
// A number that may be omitted (value becomes `fallback`); malformed is
// `message` (an error). `given` tells whether a number was read.
Pos optionalNumber(Pos p, int32_t& value, int32_t fallback, const char* message, bool* given = nullptr);
// Any run of the separator characters; line ends among them do the line step.
Pos skipSeparators(Pos p, std::string_view separators);

// The data-list closers of the exclusive reader.
inline constexpr std::string_view kDataListClosing = "},\t \r\n";
