// In-process fixture for the scanner and the diagnostics: a line buffer made
// from a text, with the line tracking at its start and the error stream
// captured.
#pragma once
#include <cstdio>
#include <string>

#include "base/failure.h"
#include "cli/switches.h"
#include "preprocess/preprocess.h"
#include "scan/diagnostics.h"
#include "scan/line_tracking.h"
#include "source/lines.h"

class ScanText {
public:
    explicit ScanText(std::string_view text, std::string file = "song.vls") {
        resetLineTracking();
        beginMessages(MessageSettings{});
        SourceText source(text.begin(), text.end());
        source.insert(source.end(), {'\r', '\n', 255, 255, 255, 255});
        LineFileChain files;
        files.push_back(LINEFILEDATA{std::move(file), nullptr, {}});
        buffer_ = v3macro(std::move(source), std::move(files));
        beginLineTracking(buffer_);
        capture_ = std::tmpfile();
        setErrStream(capture_);
    }
    ~ScanText() {
        setErrStream(nullptr);
        std::fclose(capture_);
    }
    Pos at(size_t offset = 0) const { return buffer_.text.data() + offset; }
    size_t offsetOf(Pos p) const { return static_cast<size_t>(p - buffer_.text.data()); }
    // Everything printed to the error stream so far.
    std::string errors() const {
        std::fflush(capture_);
        std::rewind(capture_);
        std::string out;
        int c;
        while ((c = std::fgetc(capture_)) != EOF) out += static_cast<char>(c);
        return out;
    }
    int lineNumber() const { return lineTracking().current->line_number; }

private:
    LineBuffer buffer_;
    FILE* capture_;
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
