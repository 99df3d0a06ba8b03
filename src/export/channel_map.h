// Which MIDI port and channel each track plays on. MIDI tracks keep the
// interface and channel of their assignment; FM tracks take the channels of
// interface 1 that no MIDI track uses (never the drum channel 10), one per FM
// channel; ADPCM tracks play on the drum channel.
#pragma once
#include <cstdint>
#include <map>
#include <vector>

#include "dump/vld_dump.h"
#include "export/export_options.h"
#include "export/export_summary.h"

namespace vld {

enum class Sound : uint8_t { midi, fm, adpcm };

struct Route {
    Sound sound = Sound::midi;
    bool silent = false;  // left out of the export by the options
    uint8_t port = 0;     // interface - 1
    uint8_t channel = 0;  // 0 to 15
};

class ChannelMap {
public:
    // `current_interface` is what the common stream last chose for tracks
    // assigned to the current interface (1 when it chose nothing).
    ChannelMap(const std::vector<TrackEntry>& tracks, int current_interface, const ExportOptions& options,
               ExportSummary& summary);

    // The route of a device word and channel word, from the track table or a
    // channel change on `track`.
    Route route(uint16_t device, uint16_t channel, int track);
    const Route& initial(int track) const { return initial_[track - 1]; }
    // More than one MIDI port carries sound.
    bool severalPorts() const;

private:
    uint8_t freeChannel(uint8_t port) const;

    const ExportOptions& options_;
    ExportSummary& summary_;
    int current_interface_;
    std::vector<bool> used_[2];         // [0] port 0's channels taken by MIDI tracks (16 entries)
    std::map<int, uint8_t> fm_channel_;  // FM channel -> MIDI channel
    std::vector<uint8_t> fm_free_;       // port 0's channels left for FM, in order
    std::vector<Route> initial_;
    std::map<uint8_t, bool> ports_;
};

}  // namespace vld
