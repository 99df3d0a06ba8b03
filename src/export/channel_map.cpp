#include "export/channel_map.h"

#include <set>
#include <string>

namespace vld {

namespace {

constexpr uint8_t kDrumChannel = 9;  // channel 10
constexpr uint16_t kFmDevice = 0x0000;
constexpr uint16_t kAdpcmDevice = 0x0001;
constexpr uint16_t kCurrentInterface = 0xFFFF;
constexpr uint16_t kNoChannel = 0xFFFF;

bool isMidiDevice(uint16_t device) { return device == kCurrentInterface || (device >= 0x8000 && device < 0x8100); }

}  // namespace

ChannelMap::ChannelMap(const std::vector<TrackEntry>& tracks, int current_interface, const ExportOptions& options,
                       ExportSummary& summary)
    : options_(options), summary_(summary), current_interface_(current_interface) {
    used_[0].assign(16, false);
    // The channels the MIDI tracks take on interface 1, before FM gets the rest.
    std::set<int> fm_channels;
    for (const TrackEntry& t : tracks) {
        if (isMidiDevice(t.device) && t.channel < 16) {
            int port = t.device == kCurrentInterface ? current_interface - 1 : t.device - 0x8000;
            if (port == 0) used_[0][t.channel] = true;
        } else if (t.device == kFmDevice) {
            fm_channels.insert(t.channel);
        }
    }
    for (uint8_t c = 0; c < 16; ++c) {
        if (!used_[0][c] && c != kDrumChannel) fm_free_.push_back(c);
    }
    for (int fm : fm_channels) {
        if (fm_free_.empty()) break;
        size_t index = fm_channel_.size();
        if (index >= fm_free_.size()) {
            summary_.warn("more FM channels than free MIDI channels: FM channel " + std::to_string(fm) +
                          " shares MIDI channel " + std::to_string(fm_free_.back() + 1));
            index = fm_free_.size() - 1;
        }
        fm_channel_[fm] = fm_free_[index];
    }
    for (const TrackEntry& t : tracks) initial_.push_back(route(t.device, t.channel, t.order));
}

uint8_t ChannelMap::freeChannel(uint8_t port) const {
    if (port == 0) {
        for (uint8_t c = 0; c < 16; ++c) {
            if (!used_[0][c] && c != kDrumChannel) return c;
        }
    }
    return 0;
}

Route ChannelMap::route(uint16_t device, uint16_t channel, int track) {
    Route r;
    std::string name = "track " + std::to_string(track);
    if (device == kFmDevice) {
        r.sound = Sound::fm;
        r.silent = !options_.fm;
        auto it = fm_channel_.find(channel);
        if (it == fm_channel_.end()) {
            // An FM channel that only a channel change names.
            uint8_t midi = fm_free_.empty() ? 0 : fm_free_[std::min(fm_channel_.size(), fm_free_.size() - 1)];
            if (fm_free_.empty()) summary_.warn("no MIDI channel is free for the FM tracks: they share channel 1");
            it = fm_channel_.emplace(channel, midi).first;
        }
        r.channel = it->second;
    } else if (device == kAdpcmDevice) {
        r.sound = Sound::adpcm;
        r.silent = options_.adpcm == ExportOptions::Adpcm::skip;
        r.channel = kDrumChannel;
        r.port = static_cast<uint8_t>(current_interface_ - 1);
    } else if (isMidiDevice(device)) {
        int port = device == kCurrentInterface ? current_interface_ - 1 : device - 0x8000;
        if (channel == kNoChannel) {
            r.channel = freeChannel(static_cast<uint8_t>(port));
            summary_.warn(name + " has no channel: it plays on channel " + std::to_string(r.channel + 1));
        } else if (channel >= 16) {
            port += channel / 16;
            r.channel = static_cast<uint8_t>(channel % 16);
            summary_.warn(name + " is assigned channel number " + std::to_string(channel) + ": it plays on interface " +
                          std::to_string(port + 1) + ", channel " + std::to_string(r.channel + 1));
        } else {
            r.channel = static_cast<uint8_t>(channel);
        }
        r.port = static_cast<uint8_t>(std::min(port, 255));
        r.silent = options_.interface != 0 && port + 1 != options_.interface;
    } else {
        r.silent = true;
        summary_.warn(name + " plays on device word " + std::to_string(device) + ", which no MIDI port stands for");
    }
    if (!r.silent) ports_[r.port] = true;
    return r;
}

bool ChannelMap::severalPorts() const { return ports_.size() > 1; }

}  // namespace vld
