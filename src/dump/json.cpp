#include "dump/json.h"

#include "dump/format.h"

namespace vld {

namespace {

// JSON pieces.
std::string field(const char* name, const std::string& value, bool last = false) {
    return std::string("\"") + name + "\":" + value + (last ? "" : ",");
}

std::string jsonTrack(const TrackEntry& t) {
    return "{" + field("order", std::to_string(t.order)) +
           field("channel", t.channel == 0xFFFF ? "null" : std::to_string(t.channel)) +
           field("device", "{\"word\":" + std::to_string(t.device) + ",\"name\":" + jsonString(deviceName(t.device)) + "}") +
           field("interface", t.interface_byte == 0xFF ? "null" : std::to_string(t.interface_byte + 1)) + field("rhythm", t.rhythm ? "true" : "false") +
           field("comment", jsonString(t.comment)) + field("eventsOffset", std::to_string(t.events_offset)) +
           field("length", std::to_string(t.events_length), true) + "}";
}

std::string jsonEvent(const Event& e) {
    std::string operands;
    for (const Operand& op : e.operands) operands += (operands.empty() ? "" : ",") + jsonString(std::string(op.label)) + ":" + op.json;
    return "{" + field("offset", std::to_string(e.offset)) + field("size", std::to_string(e.size)) +
           field("code", std::to_string(e.code)) + field("name", jsonString(e.name)) +
           field("known", e.known ? "true" : "false") +
           field("clock", e.has_clock ? std::to_string(e.clock) : "null") +
           field("position", e.has_clock ? jsonString(e.position) : "null") + field("bytes", "\"" + e.hex + "\"") +
           field("operands", "{" + operands + "}", true) + "}";
}

std::string jsonProblem(const Problem& p) {
    return "{" + field("offset", std::to_string(p.file_offset)) + field("message", jsonString(p.message), true) + "}";
}

bool listsTrack(const DumpOptions& options, int order) {
    return options.only_stream < 0 || options.only_stream == order;
}

}  // namespace

std::string listingJson(const Dump& dump, const DumpOptions& options) {
    std::string out = "{";
    out += field("file", jsonString(dump.file_name));
    out += field("size", std::to_string(dump.file_size));
    out += field("ok", dump.ok() ? "true" : "false");
    if (dump.header_read) {
        const HeaderInfo& h = dump.header;
        std::string flags;
        for (const std::string& name : flagNames(h.flags)) flags += (flags.empty() ? "" : ",") + jsonString(name);
        std::string meter = h.meter == 0 ? "null"
                                         : "{\"numerator\":" + std::to_string(h.meter >> 8) +
                                               ",\"denominator\":" + std::to_string(h.meter & 0xFF) + "}";
        std::string key = keyName(static_cast<int8_t>(h.key[0]), h.key[1]);
        out += field("header",
                     "{" + field("timeBase", std::to_string(h.time_base)) + field("tempo", std::to_string(h.tempo)) +
                         field("meter", meter) +
                         field("key", "{\"fifths\":" + std::to_string(static_cast<int8_t>(h.key[0])) +
                                          ",\"mode\":" + std::to_string(h.key[1]) + ",\"name\":" + jsonString(key) + "}") +
                         field("flags", "{\"value\":" + std::to_string(h.flags) + ",\"names\":[" + flags + "]}") +
                         field("longestTrack", std::to_string(h.longest_clocks)) +
                         field("comment", h.has_comment ? jsonString(h.comment) : "null") +
                         field("trackCount", std::to_string(h.track_count), true) + "}");
    } else {
        out += field("header", "null");
    }
    std::string tracks;
    for (const TrackEntry& t : dump.tracks) {
        if (listsTrack(options, t.order)) tracks += (tracks.empty() ? "" : ",") + jsonTrack(t);
    }
    out += field("tracks", "[" + tracks + "]");
    std::string streams;
    for (const Stream& s : dump.streams) {
        std::string events;
        for (const Event& e : s.events) events += (events.empty() ? "" : ",") + jsonEvent(e);
        streams += (streams.empty() ? "" : ",") + std::string("{") +
                   field("stream", s.order == 0 ? "\"common\"" : "\"track\"") + field("order", std::to_string(s.order)) +
                   field("fileOffset", std::to_string(s.file_offset)) + field("length", std::to_string(s.length)) +
                   field("padding", std::to_string(s.padding)) + field("events", "[" + events + "]", true) + "}";
    }
    out += field("streams", "[" + streams + "]");
    std::string problems;
    for (const Problem& p : dump.allProblems()) problems += (problems.empty() ? "" : ",") + jsonProblem(p);
    out += field("problems", "[" + problems + "]", true);
    return out + "}\n";
}

}  // namespace vld
