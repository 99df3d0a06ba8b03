#include "export/export_support.h"

std::string timelineText(const vld::ExportResult& result) {
    std::string out;
    for (const vld::TimelineNote& n : vld::noteTimeline(result)) {
        if (!out.empty()) out += ", ";
        if (n.track != 1) out += "t" + std::to_string(n.track) + " ";
        out += std::to_string(n.start) + "-" + std::to_string(n.end) + " " + std::to_string(n.pitch);
        if (n.velocity != 127) out += " v" + std::to_string(n.velocity);
        if (n.channel != 0) out += " ch" + std::to_string(n.channel);
    }
    return out;
}

Exported exportSource(const std::string& source, const vld::ExportOptions& options) {
    Exported out;
    RunResult run = compileSource(source);
    if (run.exitCode != 0) {
        out.compile_error = "exit " + std::to_string(run.exitCode) + ": " + firstMessage(run);
        return out;
    }
    out.vld = run.vldBytes;
    out.result = vld::exportVld(out.vld, options);
    return out;
}

std::string timelineOf(const std::string& source, const vld::ExportOptions& options) {
    Exported e = exportSource(source, options);
    if (!e.compile_error.empty()) return e.compile_error;
    if (e.result.outcome == vld::ExportResult::Outcome::malformed) return "malformed: " + e.result.message;
    return timelineText(e.result);
}

std::string chunkEvents(const vld::ExportResult& result, size_t chunk, const std::string& only) {
    std::vector<uint8_t> bytes = result.tracks.at(chunk).chunk();
    static const char* const kHex = "0123456789ABCDEF";
    auto hex = [](uint8_t b) { return std::string{kHex[b >> 4], kHex[b & 15]}; };
    std::string out;
    size_t p = 8;
    uint32_t tick = 0;
    uint8_t running = 0;
    auto quantity = [&] {
        uint32_t v = 0;
        while (p < bytes.size()) {
            uint8_t b = bytes[p++];
            v = v << 7 | (b & 0x7F);
            if (!(b & 0x80)) break;
        }
        return v;
    };
    while (p < bytes.size()) {
        tick += quantity();
        std::string text;
        uint8_t status = bytes[p];
        if (status < 0x80) {
            status = running;
        } else {
            ++p;
        }
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            text = hex(status);
            if (status == 0xFF) text += " " + hex(bytes[p++]);
            uint32_t n = quantity();
            for (uint32_t i = 0; i < n && p < bytes.size(); ++i) text += " " + hex(bytes[p++]);
            running = 0;
        } else {
            running = status;
            size_t n = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
            text = hex(status);
            for (size_t i = 0; i < n && p < bytes.size(); ++i) text += " " + hex(bytes[p++]);
            if ((status & 0xE0) == 0x80) continue;  // notes are in the timeline
        }
        if (text.rfind(only, 0) != 0) continue;
        out += (out.empty() ? "" : ", ") + std::to_string(tick) + " " + text;
    }
    return out;
}
