#include "dump/vld_listing.h"

#include <cstdio>

#include "dump/format.h"

namespace vld {

namespace {

std::string padded(const std::string& text, size_t width) {
    return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
}

std::string offset4(uint32_t offset) { return hexNumber(offset).substr(2); }

std::string channelText(uint16_t channel) { return channel == 0xFFFF ? "none" : std::to_string(channel); }

std::string meterText(uint16_t meter) {
    if (meter == 0) return "none (4/4 assumed)";
    return std::to_string(meter >> 8) + "/" + std::to_string(meter & 0xFF);
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out.empty() ? "none" : out;
}

bool listsHeader(const DumpOptions& options) { return options.only_stream < 0; }

bool listsTrack(const DumpOptions& options, int order) {
    return options.only_stream < 0 || options.only_stream == order;
}

void header(std::string& out, const Dump& dump) {
    const HeaderInfo& h = dump.header;
    out += "header\n";
    out += "  time base      " + std::to_string(h.time_base) + " clocks per whole note\n";
    out += "  tempo          " + std::to_string(h.tempo) + "\n";
    out += "  meter          " + meterText(h.meter) + "\n";
    out += "  key            " + keyName(static_cast<int8_t>(h.key[0]), h.key[1]) + "\n";
    out += "  flags          " + joined(flagNames(h.flags)) + "\n";
    out += "  longest track  " + std::to_string(h.longest_clocks) + " clocks\n";
    out += "  comment        " + (h.has_comment ? quotedText(h.comment) : std::string("none")) + "\n";
}

void trackTable(std::string& out, const Dump& dump, const DumpOptions& options) {
    out += "tracks\n";
    out += "  order  channel  device           interface  kind    comment\n";
    if (dump.tracks.empty()) out += "  none\n";
    for (const TrackEntry& t : dump.tracks) {
        if (!listsTrack(options, t.order)) continue;
        out += "  " + padded(std::to_string(t.order), 7) + padded(channelText(t.channel), 9) +
               padded(deviceName(t.device), 17) + padded(t.interface_byte == 0xFF ? "none" : std::to_string(t.interface_byte + 1), 11) +
               padded(t.rhythm ? "rhythm" : "normal", 8) + quotedText(t.comment) + "\n";
    }
}

void stream(std::string& out, const Stream& s) {
    out += s.order == 0 ? std::string("common stream") : "track " + std::to_string(s.order);
    out += ": " + std::to_string(s.length) + " bytes at " + hexNumber(s.file_offset) + "\n";
    for (const Event& e : s.events) {
        std::string line = "  " + offset4(e.offset) + "  " + padded(e.has_clock ? e.position : "-", 10) +
                           padded(e.name, 20);
        for (const Operand& op : e.operands) line += std::string(op.label) + "=" + op.text + " ";
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    if (s.padding) out += "  (" + std::to_string(s.padding) + " byte(s) of padding)\n";
    for (const Problem& p : s.problems) out += "  !! " + p.message + "\n";
}

}  // namespace

std::string listingText(const Dump& dump, const DumpOptions& options) {
    std::string out;
    if (!dump.file_name.empty()) out += dump.file_name + ": ";
    out += std::to_string(dump.file_size) + " bytes\n";
    if (dump.header_read && listsHeader(options)) header(out, dump);
    if (dump.table_read) trackTable(out, dump, options);
    for (const Stream& s : dump.streams) stream(out, s);
    for (const Problem& p : dump.problems) out += "!! offset " + hexNumber(p.file_offset) + ": " + p.message + "\n";
    return out;
}

}  // namespace vld
