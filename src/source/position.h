// A position in the text a compile reads. It knows what it reads (the line
// buffer and where messages about it go), so a message finds its file, line
// and column from the position alone: there is no current line to keep up to
// date, and a lookahead is a plain copy that nothing needs to put back.
#pragma once
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "source/lines.h"

// How a run wants its messages, taken from its options.
struct MessageSettings {
    int warning_level = 3;     // -W: 0 prints every warning, n drops those above level n
    bool show_column = false;  // -l alone: "LnCm" instead of the line number
    std::string source_name;   // named when no line record is at hand
    FILE* stream = nullptr;    // where messages go: standard error, or the file of -e
};

class Pos;

// One text being read and the run's messages about it. The line records say
// where each line of the text begins and which file and line it came from.
// Positions point at it, so it stays where it is while they are in use.
struct Reading {
    const unsigned char* text = nullptr;
    std::span<const size_t> line_starts;  // offset of each line's first byte, ascending
    std::span<const LINEDATA> lines;      // one record per line start
    size_t text_size = SIZE_MAX;          // where the lines end and the end marks begin
    MessageSettings settings;
    const unsigned char* last_reported = nullptr;  // the position a message named last

    // Reads a joined line buffer.
    Reading(const LineBuffer& buffer, MessageSettings messageSettings);
    // Reads one line of text that came from `where` (whose file record must
    // outlive the reading).
    Reading(const unsigned char* lineText, const LINEDATA& where, MessageSettings messageSettings);
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

    Pos start();

    // The line holding `at`: its first byte and its record (nullptr when the
    // text has no records). The end marks behind the last line count as a
    // line of their own that keeps the last record, so a message at the end
    // of the text names the last line, at column 1.
    struct Line {
        const unsigned char* start;
        const LINEDATA* record;
    };
    Line lineOf(const unsigned char* at) const;

    FILE* stream() const { return settings.stream ? settings.stream : stderr; }

private:
    static constexpr size_t kFirstLine = 0;
    LINEDATA only_line_{nullptr, 0};  // the record of a single line read
};

// Behaves as a pointer to a byte of the text, and carries the reading.
class Pos {
public:
    Pos() = default;
    Pos(std::nullptr_t) {}
    Pos(const unsigned char* at, Reading* reading) : at_(at), reading_(reading) {}

    const unsigned char* bytes() const { return at_; }
    Reading* reading() const { return reading_; }
    // Another byte of the same text, found through `bytes()`.
    Pos at(const unsigned char* byte) const { return Pos(byte, reading_); }

    unsigned char operator*() const { return *at_; }
    unsigned char operator[](std::ptrdiff_t i) const { return at_[i]; }
    explicit operator bool() const { return at_ != nullptr; }

    Pos& operator++() {
        ++at_;
        return *this;
    }
    Pos operator++(int) {
        Pos before = *this;
        ++at_;
        return before;
    }
    Pos& operator--() {
        --at_;
        return *this;
    }
    Pos operator--(int) {
        Pos before = *this;
        --at_;
        return before;
    }
    Pos& operator+=(std::ptrdiff_t n) {
        at_ += n;
        return *this;
    }
    Pos& operator-=(std::ptrdiff_t n) {
        at_ -= n;
        return *this;
    }
    friend Pos operator+(Pos p, std::ptrdiff_t n) { return p += n; }
    friend Pos operator-(Pos p, std::ptrdiff_t n) { return p -= n; }
    friend std::ptrdiff_t operator-(Pos a, Pos b) { return a.at_ - b.at_; }
    friend bool operator==(Pos a, Pos b) { return a.at_ == b.at_; }
    friend std::strong_ordering operator<=>(Pos a, Pos b) { return a.at_ <=> b.at_; }

private:
    const unsigned char* at_ = nullptr;
    Reading* reading_ = nullptr;
};

inline Pos Reading::start() { return Pos(text, this); }
