// In-process fixture for the scanner and the diagnostics: a line buffer made
// from a text, read with its messages captured.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "base/failure.h"
#include "cli/switches.h"
#include "preprocess/preprocess.h"
#include "scan/diagnostics.h"
#include "source/lines.h"
#include "source/position.h"

class ScanText {
public:
    explicit ScanText(std::string_view text, std::string file = "song.vls", MessageSettings settings = {}) {
        SourceText source(text.begin(), text.end());
        source.insert(source.end(), {'\r', '\n', 255, 255, 255, 255});
        LineFileChain files;
        files.push_back(LINEFILEDATA{std::move(file), nullptr, {}});
        buffer_ = v3macro(std::move(source), std::move(files));
        capture_ = std::tmpfile();
        settings.stream = capture_;
        reading_ = std::make_unique<Reading>(buffer_, settings);
    }
    ~ScanText() { std::fclose(capture_); }
    Pos at(size_t offset = 0) const { return reading_->start() + static_cast<std::ptrdiff_t>(offset); }
    size_t offsetOf(Pos p) const { return static_cast<size_t>(p - at()); }
    // Everything printed to the error stream so far.
    std::string errors() const {
        std::fflush(capture_);
        std::rewind(capture_);
        std::string out;
        int c;
        while ((c = std::fgetc(capture_)) != EOF) out += static_cast<char>(c);
        return out;
    }
    // The source line a position is on, and where that line starts.
    int lineNumber(Pos p) const { return reading_->lineOf(p.bytes()).record->line_number; }
    Pos lineStart(Pos p) const { return Pos(reading_->lineOf(p.bytes()).start, reading_.get()); }
    // The run's message settings, changed between messages.
    MessageSettings& settings() { return reading_->settings; }

private:
    LineBuffer buffer_;
    FILE* capture_;
    std::unique_ptr<Reading> reading_;
};

// Runs `action` and returns the exit code it ended the run with, or -1.
template <typename Action>
int exitCodeOf(Action action) {
    try {
        action();
    } catch (const VlcExit& exit) {
        return exit.code;
    }
    return -1;
}
