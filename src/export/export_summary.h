// What the export left out or approximated, counted by kind and track, and
// the warnings a musician should read. A skip is not a failure: the file is
// written, and the summary says where it differs from what the driver plays.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vld {

class ExportSummary {
public:
    enum class Outcome : uint8_t { skipped, approximated };

    struct Detail {
        int track = 0;
        uint32_t offset = 0;  // in the track's stream
        uint32_t clock = 0;
        Outcome outcome = Outcome::skipped;
        std::string kind;
        std::string_view event;  // the event's name
    };

    explicit ExportSummary(bool keep_details = false) : keep_details_(keep_details) {}

    // One event of `kind` ("FM register write") on a track.
    void note(Outcome outcome, std::string_view kind, int track, uint32_t offset, uint32_t clock,
              std::string_view event);
    void warn(std::string message);

    // "1 FM register write (track 4), 2 timer tempos (track 1: 1, track 2: 1)", or empty.
    std::string line(Outcome outcome) const;
    const std::vector<Detail>& details() const { return details_; }
    size_t detailsLeftOut() const { return details_left_out_; }
    const std::vector<std::string>& warnings() const { return warnings_; }
    size_t warningsLeftOut() const { return warnings_left_out_; }

    // The most of each kept, so that a runaway file cannot fill the memory.
    static constexpr size_t kMostDetails = 100000;
    static constexpr size_t kMostWarnings = 100;

private:
    // Counts by kind, then by track.
    std::map<std::string, std::map<int, size_t>, std::less<>> counts_[2];
    std::vector<Detail> details_;
    size_t details_left_out_ = 0;
    std::vector<std::string> warnings_;
    std::unordered_set<std::string> warned_;
    size_t warnings_left_out_ = 0;
    bool keep_details_;
};

}  // namespace vld
