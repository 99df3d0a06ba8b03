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
