// What a track does to its notes while it plays, beyond what a MIDI message
// says by itself: a velocity pattern, a program split, glides between notes.
#pragma once
#include <array>
#include <optional>
#include <cstdint>
#include <vector>

#include "dump/vld_dump.h"
#include "export/smf_writer.h"

namespace vld {

// While on, a note without a velocity of its own takes the next entry of the
// pattern; notes that start together share one entry, and an empty entry
// plays the track's velocity.
struct VelocityPattern {
    bool on = false;
    std::array<int, 8> entries{};  // -1 for an empty one
    size_t size = 0;               // up to the last entry given
    size_t next_entry = 0;
    uint32_t last_clock = UINT32_MAX;
    int last_velocity = 0;

    void set(const Event& pattern);
    int next(uint32_t clock, int current);
};

// While on, a note in an entry's range plays with that entry's bank and program.
struct ProgramSplit {
    struct Entry {
        int low = 0, high = 127;
        int bank = 0;     // msb x 128 + lsb
        int program = 1;  // 1 to 128
    };
    bool on = false;
    std::vector<Entry> entries;

    void set(const Event& split);
    const Entry* find(int pitch) const;
};

// A glide of the pitch wheel from one note to another, written as steps.
struct Glide {
    int from = 0;  // the note that sounds
    int to = 0;    // the note it glides to
    uint32_t delay = 0;  // clocks after the note-on before the glide starts
    uint32_t time = 0;   // clocks the glide takes; 0: until the note's end
    bool clamped = false;  // wider than the widest bend range, 24 semitones
};

Glide glideOf(const Event& portamento, int transpose);

// After `[AUTO_PORTAMENT]` on, every note glides from the note before it.
struct AutoPortamento {
    bool on = false;
    uint32_t delay = 0;
    uint32_t time = 0;
    Glide glide;

    void set(const Event& control);
    // The glide into `pitch` after `previous` (-1: none), or null.
    Glide* glideFrom(int previous, int pitch);
};

// Writes the bend range the glide needs (when `range` is narrower), the
// wheel's steps every `step` clocks from `start` + delay, and at `end` the
// wheel back at `base` and the range as it was. Clocks become ticks by
// `ticks_per_clock`.
void writeGlide(SmfTrack& out, uint8_t channel, Glide& glide, uint32_t start, uint32_t end, int range, int base,
                uint32_t ticks_per_clock, uint32_t step);


// A fader: the track's volume scaled by a level that moves from one value
// to another (128 is the volume as set), written as volume changes.
struct Fade {
    bool moving = false;
    double level = 128;
    double target = 128;
    double per_clock = 0;  // level moved each clock
    uint32_t clock = 0;    // the level is the one at this clock
    int last_sent = -1;

    // Starts a fade at `clock`: `speed` / 256 levels a clock (a guess at the
    // unit), from `from` (or the level now) to `to`.
    void start(uint32_t clock, int64_t speed, std::optional<int64_t> from, std::optional<int64_t> to);
    int scaled(int volume) const;
    // Writes the volume as the level moves, every `sample_clocks`, up to `until`.
    void advance(uint32_t until, int volume, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock,
                 uint32_t sample_clocks);
};

}  // namespace vld
