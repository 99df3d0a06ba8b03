#include "export/export_summary.h"

namespace vld {

void ExportSummary::note(Outcome outcome, std::string_view kind, int track, uint32_t offset, uint32_t clock,
                         std::string_view event) {
    auto& byKind = counts_[static_cast<int>(outcome)];
    auto it = byKind.find(kind);
    if (it == byKind.end()) it = byKind.emplace(std::string(kind), std::map<int, size_t>{}).first;
    ++it->second[track];
    if (!keep_details_) return;
    if (details_.size() < kMostDetails) details_.push_back({track, offset, clock, outcome, std::string(kind), event});
    else ++details_left_out_;
}

void ExportSummary::warn(std::string message) {
    if (warned_.count(message)) return;
    if (warnings_.size() >= kMostWarnings) {
        ++warnings_left_out_;
        return;
    }
    warned_.insert(message);
    warnings_.push_back(std::move(message));
}

std::string ExportSummary::line(Outcome outcome) const {
    std::string out;
    for (const auto& [kind, byTrack] : counts_[static_cast<int>(outcome)]) {
        size_t total = 0;
        for (const auto& [track, n] : byTrack) total += n;
        if (!out.empty()) out += ", ";
        out += std::to_string(total) + " " + kind + (total == 1 ? "" : "s") + " (";
        bool first = true;
        for (const auto& [track, n] : byTrack) {
            if (!first) out += ", ";
            first = false;
            out += track == 0 ? std::string("common stream") : "track " + std::to_string(track);
            if (byTrack.size() > 1) out += ": " + std::to_string(n);
        }
        out += ")";
    }
    return out;
}

}  // namespace vld
