#include "export/controller_modulation.h"

#include <algorithm>
#include <cmath>

namespace vld {

namespace {

// A wave's value from -1 to 1 at `x` (0 to 1) of its period.
double waveValue(int waveform, double x, uint32_t period_index, const UserWaves* user_waves) {
    switch (waveform) {
    case 0: return 2 * x - 1;                // saw, rising
    case 1: return x < 0.5 ? 1 : -1;         // square
    case 2: return x < 0.25 ? 4 * x : x < 0.75 ? 2 - 4 * x : 4 * x - 4;  // triangle, from the centre
    case 3: return 1 - 2 * x;                // saw, falling
    case 4: {                                // random: a new value every period, the same every export
        uint32_t h = period_index * 2654435761u + 12345u;
        h ^= h >> 15;
        h *= 2246822519u;
        h ^= h >> 13;
        return (h % 2001) / 1000.0 - 1;
    }
    default: break;
    }
    if (user_waves) {
        for (const auto& [number, table] : *user_waves) {
            if (number != waveform || table.empty()) continue;
            size_t i = std::min(table.size() - 1, static_cast<size_t>(x * table.size()));
            return (static_cast<int>(table[i]) - 128) / 128.0;
        }
    }
    return 0;
}

}  // namespace

int ControllerModulation::Modulator::valueAt(uint32_t clock, const UserWaves* user_waves, bool wheel, int base) const {
    int centre = wheel ? base : origin;
    if (clock < wave_start + delay) return centre;
    uint32_t since = clock - wave_start - delay;
    uint32_t p = std::max<uint32_t>(period, 1);
    double x = double(since % p) / p;
    double w = waveValue(waveform, x, since / p, user_waves);
    if (inverted) w = -w;
    int value = static_cast<int>(std::floor(centre + depth * w + 0.5));
    return wheel ? std::clamp(value, -8192, 8191) : std::clamp(value, 0, 127);
}

bool ControllerModulation::running() const {
    return std::any_of(modulators_.begin(), modulators_.end(), [](const Modulator& m) { return m.active(); });
}

void ControllerModulation::send(const Modulator& m, uint32_t clock, int value, SmfTrack& out, uint8_t channel,
                                uint32_t ticks_per_clock) {
    if (wheel_) {
        int v = std::clamp(value + 8192, 0, 16383);
        out.message(clock * ticks_per_clock, static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(v & 0x7F),
                    static_cast<uint8_t>(v >> 7));
    } else {
        out.message(clock * ticks_per_clock, static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(m.controller),
                    static_cast<uint8_t>(std::clamp(value, 0, 127)));
    }
}

void ControllerModulation::stop(Modulator& m, uint32_t clock, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock) {
    if (m.last_sent == INT32_MIN) return;
    send(m, clock, wheel_ ? wheel_base_ : m.reset.value_or(m.origin), out, channel, ticks_per_clock);
    m.last_sent = INT32_MIN;
}

ControllerModulation ControllerModulation::pitchLfo(uint32_t sample_clocks, const UserWaves* user_waves) {
    ControllerModulation lfo(sample_clocks, user_waves);
    lfo.wheel_ = true;
    for (Modulator& m : lfo.modulators_) m.switched_on = false;
    return lfo;
}

bool ControllerModulation::applyLfo(const Event& e, uint32_t clock, SmfTrack& out, uint8_t channel,
                                    uint32_t ticks_per_clock) {
    advance(clock, out, channel, ticks_per_clock);
    Modulator& m = modulators_[0];
    bool was_active = m.active();
    const Operand* values = e.operand("values");
    auto firstValue = [&]() -> std::optional<int64_t> {
        if (!values) return std::nullopt;
        for (const auto& v : values->elements) {
            if (v) return *v;
        }
        return std::nullopt;
    };
    bool exact = true;
    switch (e.code) {
    case 0x95: exact = false; break;  // the LFO's mode: not modelled
    case 0x96:
        m.switched_on = e.number("value") != 0;
        if (m.switched_on && !was_active) m.wave_start = clock;
        break;
    case 0x97: m.sync = e.number("sync") != 0; break;
    case 0xB0: m.waveform = static_cast<int>(e.number("waveform")); break;
    case 0xE2:
        m.level_mode = static_cast<int>(e.number("mode"));
        m.depths.clear();
        if (values) {
            for (const auto& v : values->elements) {
                if (v) m.depths.push_back(static_cast<int>(*v));
            }
        }
        m.next_depth = m.depths.size() > 1 ? 1 : 0;
        m.depth = m.depths.empty() ? 0 : m.depths[0];
        if (!was_active && m.active()) m.wave_start = clock;
        break;
    case 0xE3:
        if (auto v = firstValue()) m.period = static_cast<uint32_t>(std::max<int64_t>(1, *v));
        break;
    case 0xE4:
        if (auto v = firstValue()) m.delay = static_cast<uint32_t>(std::max<int64_t>(0, *v));
        break;
    default: return false;
    }
    if (was_active && !m.active()) stop(m, clock, out, channel, ticks_per_clock);
    next_sample_ = std::min(next_sample_, clock);
    return exact;
}

bool ControllerModulation::apply(const Event& e, uint32_t clock, SmfTrack& out, uint8_t channel,
                                 uint32_t ticks_per_clock) {
    int index = static_cast<int>(e.number("arcc")) - 1;
    if (index < 0 || index >= 4) return false;
    advance(clock, out, channel, ticks_per_clock);
    Modulator& m = modulators_[index];
    bool was_active = m.active();
    bool exact = true;
    const Operand* values = e.operand("values");
    auto firstValue = [&]() -> std::optional<int64_t> {
        if (!values) return std::nullopt;
        for (const auto& v : values->elements) {
            if (v) return *v;
        }
        return std::nullopt;
    };
    switch (e.code) {
    case 0xB3: {  // switch
        int64_t s = e.number("switch");
        m.switched_on = s != 0;
        exact = s == 0 || s == 2;
        if (m.switched_on && !was_active) m.wave_start = clock;
        break;
    }
    case 0xB4: exact = e.number("mode") == 255; break;  // only the normal mode is modelled
    case 0xB5: m.sync = e.number("sync") != 0; break;
    case 0xC9: m.waveform = static_cast<int>(e.number("waveform")); break;
    case 0xE5: {  // level: one depth, or one per note
        m.level_mode = static_cast<int>(e.number("mode"));
        m.depths.clear();
        if (values) {
            for (const auto& v : values->elements) {
                if (v) m.depths.push_back(static_cast<int>(*v));
            }
        }
        m.next_depth = 0;
        m.depth = m.depths.empty() ? 0 : m.depths[0];
        if (m.depths.size() > 1) m.next_depth = 1 % m.depths.size();
        if (!was_active && m.active()) m.wave_start = clock;
        break;
    }
    case 0xE6:
        if (auto v = firstValue()) m.period = static_cast<uint32_t>(std::max<int64_t>(1, *v));
        break;
    case 0xE7:
        if (auto v = firstValue()) m.delay = static_cast<uint32_t>(std::max<int64_t>(0, *v));
        break;
    case 0xF7:
        if (values && values->elements.size() > 0 && values->elements[0]) m.controller = static_cast<int>(*values->elements[0] & 0x7F);
        if (values && values->elements.size() > 1 && values->elements[1]) m.reset = static_cast<int>(*values->elements[1]);
        if (values && values->elements.size() > 2 && values->elements[2]) m.origin = static_cast<int>(*values->elements[2]);
        if (values && values->elements.size() > 3 && values->elements[3]) m.inverted = *values->elements[3] == 255;
        break;
    default: return false;
    }
    if (was_active && !m.active()) stop(m, clock, out, channel, ticks_per_clock);
    next_sample_ = std::min(next_sample_, clock);
    return exact;
}

void ControllerModulation::noteOn(uint32_t clock) {
    for (Modulator& m : modulators_) {
        if (m.sync) m.wave_start = clock;
        if (m.depths.size() > 1) {
            m.depth = m.depths[m.next_depth];
            m.next_depth = (m.next_depth + 1) % m.depths.size();
        }
    }
}

void ControllerModulation::advance(uint32_t clock, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock) {
    if (!running()) {
        next_sample_ = clock;
        return;
    }
    for (uint32_t at = next_sample_; at < clock; at += sample_clocks_) {
        for (Modulator& m : modulators_) {
            if (!m.active()) continue;
            int value = m.valueAt(at, user_waves_, wheel_, wheel_base_);
            if (value == m.last_sent) continue;
            send(m, at, value, out, channel, ticks_per_clock);
            m.last_sent = value;
        }
        next_sample_ = at + sample_clocks_;
    }
}

}  // namespace vld
