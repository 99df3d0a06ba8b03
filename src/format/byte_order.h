// Big-endian numbers, as every multi-byte value in a compiled file is stored,
// and the compact encoding of step and gate times.
#pragma once
#include <cstddef>
#include <cstdint>

inline void putBE16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

inline void putBE32(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

inline uint32_t getBE16(const unsigned char* at) { return (uint32_t{at[0]} << 8) | at[1]; }

inline uint32_t getBE32(const unsigned char* at) {
    return (uint32_t{at[0]} << 24) | (uint32_t{at[1]} << 16) | (uint32_t{at[2]} << 8) | at[3];
}

// Step and gate times: below 128 one byte; otherwise a big-endian word with the
// top bit set (values from 0x8000 up, the tie gate 0x8000 and the chord-hold
// gate 0xFFFF among them, already carry it).
inline size_t durationSize(uint32_t clocks) { return (clocks & 0xFFFF) < 128 ? 1 : 2; }

// Writes the encoding at `at` and returns the number of bytes written.
inline size_t encodeDuration(unsigned char* at, uint32_t clocks) {
    clocks &= 0xFFFF;
    if (clocks < 128) {
        at[0] = static_cast<unsigned char>(clocks);
        return 1;
    }
    putBE16(at, clocks | 0x8000);
    return 2;
}

// Reads one encoded duration; `size` receives the bytes it took. The special
// gates 0x8000 (tie) and 0xFFFF (held into the next chord) read back as
// themselves; every other word as its low 15 bits.
inline uint32_t decodeDuration(const unsigned char* at, size_t& size) {
    if (at[0] < 0x80) {
        size = 1;
        return at[0];
    }
    size = 2;
    uint32_t word = getBE16(at);
    return (word == 0x8000 || word == 0xFFFF) ? word : word & 0x7FFF;
}
