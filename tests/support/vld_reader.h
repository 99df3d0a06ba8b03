// A checking reader of compiled files for the tests: it takes the bytes of a
// VLD (version 3) file apart into header fields, the common stream and the
// tracks, and says in plain words what is wrong when the frame does not hold
// together. It never throws on a bad file; the error string tells.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<unsigned char>;

// "3C 30 30 80" -> {0x3C, 0x30, 0x30, 0x80}. Blanks (space, TAB, line ends)
// between byte pairs are optional. A malformed literal is a fault of the test
// itself and throws std::invalid_argument.
Bytes hex(std::string_view text);
// {0x3C, 0x30} -> "3C 30": upper case, one space between bytes.
std::string toHex(const Bytes& bytes);
std::string toHex(const unsigned char* bytes, size_t count);
// Bytes of a text, as written (for sources and expected outputs).
Bytes bytesOf(std::string_view text);
std::string textOf(const Bytes& bytes);

struct VldTrack {
    bool kindRhythm = false;
    uint8_t interfaceByte = 0;  // interface number - 1
    uint16_t device = 0;
    uint16_t channel = 0;       // as stored: channel 255 (none) reads 0xFFFF
    Bytes comment;
    Bytes events;
};

struct VldFile {
    std::string error;  // empty when every check passed
    bool ok() const { return error.empty(); }

    // Header fields, as stored.
    uint32_t commonPointer = 0;    // offset 8
    uint32_t tablePointer = 0;     // offset 12
    uint32_t sizeEstimate = 0;     // offset 20
    uint32_t commentPointer = 0;   // offset 36
    uint32_t longestClocks = 0;    // offset 40
    uint16_t meter = 0;            // offset 48
    uint8_t key[2] = {0, 0};       // offsets 52, 53
    uint16_t timeBase = 0;         // offset 54: clocks in a whole note
    uint16_t tempo = 0;            // offset 56
    uint32_t flags = 0;            // offset 60
    uint8_t trackCount = 0;        // offset 74

    // Offset of the piece's comment text inside the common stream, -1 none.
    long commentOffset = -1;
    Bytes common;
    std::vector<VldTrack> tracks;
};

// Parses and checks the whole frame. On the first problem found, `error`
// names it and the fields read so far stay filled in.
VldFile readVld(const Bytes& file);
