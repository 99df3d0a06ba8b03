// The four controller modulators of a track (ARCC): each a slow wave that
// moves one MIDI controller around an origin, written as controller changes
// sampled along the music and sent only when the value changes.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <algorithm>
#include <vector>

#include "dump/vld_dump.h"
#include "export/smf_writer.h"

namespace vld {

// The wave tables of the common stream (waveform 8 and up): number, bytes.
using UserWaves = std::vector<std::pair<int, std::vector<uint8_t>>>;

class ControllerModulation {
public:
    // `sample_clocks`: the clocks between two samples of a wave.
    explicit ControllerModulation(uint32_t sample_clocks = 3, const UserWaves* user_waves = nullptr)
        : sample_clocks_(std::max<uint32_t>(1, sample_clocks)), user_waves_(user_waves) {}

    // The pitch LFO as a fifth modulator on the pitch wheel: off until its
    // switch turns it on; its level in pitch-wheel units around `base`.
    static ControllerModulation pitchLfo(uint32_t sample_clocks, const UserWaves* user_waves);
    // Takes one pitch LFO event (mode, switch, sync, waveform, level, speed, delay).
    bool applyLfo(const Event& event, uint32_t clock, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock);
    // The pitch wheel's value without the LFO (the track's bend and detune).
    void setWheelBase(int base) { wheel_base_ = base; }

    // Takes one ARCC event (switch, mode, sync, waveform, level, speed,
    // delay, control) at `clock`. Returns false for what it only
    // approximates (a mode other than normal, an unknown switch value).
    bool apply(const Event& event, uint32_t clock, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock);
    // A note starts: synced waves start again, a level list moves on.
    void noteOn(uint32_t clock);
    // Writes the samples of every running modulator from where the last
    // call stopped up to (not including) `clock`.
    void advance(uint32_t clock, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock);
    bool running() const;

private:
    struct Modulator {
        int controller = 1;  // the modulation wheel until told otherwise
        int origin = 64;
        std::optional<int> reset;
        bool inverted = false;
        int waveform = 0;
        bool switched_on = true;
        int level_mode = 0;  // 0: off
        std::vector<int> depths;  // one per note, cycling; one for all
        size_t next_depth = 0;
        int depth = 0;
        uint32_t period = 48;  // clocks
        uint32_t delay = 0;
        bool sync = false;
        uint32_t wave_start = 0;  // the clock the wave (and its delay) starts from
        int last_sent = INT32_MIN;

        bool active() const { return switched_on && level_mode != 0 && depth != 0; }
        // A controller value, or with `wheel` a pitch-wheel value around `base`.
        int valueAt(uint32_t clock, const UserWaves* user_waves, bool wheel, int base) const;
    };
    void send(const Modulator& m, uint32_t clock, int value, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock);
    void stop(Modulator& m, uint32_t clock, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock);
    // Applies one setting (what an ARCC or LFO event names) to a modulator;
    // false when it is only approximated.
    bool change(Modulator& m, uint8_t setting, const Event& event, uint32_t clock, SmfTrack& out, uint8_t channel,
                uint32_t ticks_per_clock);

    std::array<Modulator, 4> modulators_{};
    uint32_t sample_clocks_;
    uint32_t next_sample_ = 0;
    const UserWaves* user_waves_;
    bool wheel_ = false;  // the pitch LFO: modulator 1 drives the pitch wheel
    int wheel_base_ = 0;
};

}  // namespace vld
