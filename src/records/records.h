// The header record of a piece and the 81 per-track output records.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/random.h"
#include "format/event_buffer.h"

constexpr int kTrackCount = 81;  // record 0 is the common stream, 1 to 80 the tracks
constexpr uint8_t kNoTrack = 255;

// Bits of headdata::flags.
constexpr uint32_t kFlagInitialize = 0x0001;
constexpr uint32_t kFlagWaveForm = 0x0080;
constexpr uint32_t kFlagCurrentMidiOut = 0x1000;
constexpr uint32_t kFlagModuleText = 0x2000;

struct headdata {
    RandomGenerator random;  // random velocities: seeded by the compile and by .RANDOMIZE_SEED
    int32_t whole_note_clocks = 192;  // clocks in a whole note: the time base
    int32_t whole_note_clocks_init = 192;
    int16_t tempo = 120;
    uint8_t sc88_mode = 0;    // 0 single, 1 double: how channels map to ports
    uint8_t second_mode = 0;  // non-zero: the debugging marks are written
    // Assigned track numbers in assignment order, ended by a byte with its top
    // bit set: the order of the tracks in the file.
    uint8_t track_list[kTrackCount + 1];
    uint8_t legacy_tie = 0;
    uint8_t header_flag = 1;
    int32_t track_count = kTrackCount;
    // Header work area, set afresh by every run of the header dispatcher.
    uint8_t current_midi_out = 0;           // `.CURRENT_MIDI_OUT`
    uint8_t work_bytes[2] = {255, 0};
    uint8_t parameter_block[55] = {};       // the image `(@` and `(V` append
    uint8_t adpcm_channel_counter = 0;      // automatic `adpcm` / `all` channels of the run
    uint8_t common_end_bytes = 0;           // end code and pad closing the common stream
    uint8_t quantize_mode = 3;
    int16_t gate_resolution = 8;   // denominator of quantize ratios
    int32_t comment_offset = 0;    // offset of the piece's comment text in the common stream, 0 none
    uint16_t meter = 0;            // numerator high byte, denominator low byte
    uint8_t key[2] = {0, 0};
    uint8_t spare[2] = {0, 0};
    int32_t block_open = 0;        // a `.track ... {` block is open
    uint32_t flags = 0;
    int32_t subtracks_made = 0;    // a sub-track was made: the file keeps every track
    // Every listed track goes into the file, those without events too: the
    // compile sets it when sub-tracks were made and no partition list chose
    // among them, the run when the compatibility level (-Z) is 3 or more.
    bool keep_every_track = false;

    headdata();
};

struct trkdata {
    uint8_t channel = 255;           // current channel
    uint8_t assigned_channel = 255;  // channel given at assignment (track table)
    uint16_t device = 0;             // device/port word (track table)
    uint8_t priority = 0;
    uint8_t interface_no = 0;  // written to the track table as value - 1
    uint8_t mode = 0;          // play 0, record 1
    uint8_t kind = 0;          // normal 0, rhythm 1
    uint8_t partition_mark = 0;
    bool has_comment = false;
    std::string comment;
    EventBuffer buf;  // the event stream; its size is the write position
    int32_t track_value = 0;
    int32_t length = 0;    // final length of the stream, set when compiling ends
    int32_t redirect = -1; // track that receives this track's events, -1 none
};

using TrackRecords = std::vector<trkdata>;

// Gives record n a fresh 8192-byte event buffer and marks it for writing.
void allocTrackBuffer(TrackRecords& trk, int n);

// Calls `visit(track)` for each number of track_list, in list order.
template <typename Visit>
void forEachListedTrack(const headdata& hd, Visit visit) {
    for (int i = 0; i < kTrackCount && !(hd.track_list[i] & 0x80); ++i) visit(int{hd.track_list[i]});
}
