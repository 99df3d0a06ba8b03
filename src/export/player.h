// Playing a compiled VLD file the way the driver would, into the tracks of a
// Standard MIDI File: one cursor per track, and a scheduler that always lets
// the track with the smallest clock play its next event, so that what tracks
// do to each other (synchronize, tempo, a shared channel) happens in time.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "export/export_options.h"
#include "export/export_summary.h"
#include "export/smf_writer.h"

namespace vld {

struct ExportResult {
    enum class Outcome : uint8_t {
        written,    // the whole piece
        malformed,  // the file does not hold together: nothing to write
        cut,        // written up to where a guard stopped it
    };
    Outcome outcome = Outcome::written;
    std::string message;  // why it is malformed or cut, naming the offset or track and clock

    uint16_t division = 48;        // ticks per quarter note
    uint32_t ticks_per_clock = 1;  // 1, or more when the time base is not a multiple of 4
    uint16_t time_base = 192;
    uint16_t meter = 0;
    std::vector<SmfTrack> tracks;  // the conductor, then one per track of the table
    std::vector<uint8_t> track_ports;  // per track of the table: its MIDI port at the start
    bool several_ports = false;
    uint32_t end_clock = 0;        // where the last track ended: its last step
    uint32_t sound_end_clock = 0;  // where the last sound ends (a long gate may sound past the end)
    double seconds = 0;            // the file's length through the tempo map, to the last sound
    size_t notes = 0;
    ExportSummary summary;

    std::vector<uint8_t> file() const { return smfFile(division, tracks); }
};

ExportResult exportVld(std::span<const uint8_t> file, const ExportOptions& options);

// One note as it sounds: for listings and for comparing with other readers.
struct TimelineNote {
    int track = 0;  // its place in the track table
    uint32_t start = 0;  // clocks
    uint32_t end = 0;
    uint8_t port = 0;
    uint8_t channel = 0;  // 0 to 15
    uint8_t pitch = 0;
    uint8_t velocity = 0;
};

// Every note of the export, by start, then track, then pitch.
std::vector<TimelineNote> noteTimeline(const ExportResult& result);

}  // namespace vld
