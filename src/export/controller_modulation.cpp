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
        sendPitchWheel(out, clock * ticks_per_clock, channel, value);
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

namespace {

// What an ARCC or pitch LFO event sets.
enum class Setting : uint8_t { mode, switched, sync, waveform, level, speed, delay, control };

std::optional<Setting> arccSetting(uint8_t code) {
    switch (code) {
    case 0xB3: return Setting::switched;
    case 0xB4: return Setting::mode;
    case 0xB5: return Setting::sync;
    case 0xC9: return Setting::waveform;
    case 0xE5: return Setting::level;
    case 0xE6: return Setting::speed;
    case 0xE7: return Setting::delay;
    case 0xF7: return Setting::control;
    default: return std::nullopt;
    }
}

std::optional<Setting> lfoSetting(uint8_t code) {
    switch (code) {
    case 0x95: return Setting::mode;
    case 0x96: return Setting::switched;
    case 0x97: return Setting::sync;
    case 0xB0: return Setting::waveform;
    case 0xE2: return Setting::level;
    case 0xE3: return Setting::speed;
    case 0xE4: return Setting::delay;
    default: return std::nullopt;
    }
}

// The first value a group gives, if any.
std::optional<int64_t> firstPresent(const Operand* values) {
    if (!values) return std::nullopt;
    for (const auto& v : values->elements) {
        if (v) return *v;
    }
    return std::nullopt;
}

// The value at `position` of a group, if given.
std::optional<int64_t> elementAt(const Operand* values, size_t position) {
    return values && position < values->elements.size() ? values->elements[position] : std::nullopt;
}

}  // namespace

bool ControllerModulation::applyLfo(const Event& e, uint32_t clock, SmfTrack& out, uint8_t channel,
                                    uint32_t ticks_per_clock) {
    std::optional<Setting> setting = lfoSetting(e.code);
    return setting && change(modulators_[0], static_cast<uint8_t>(*setting), e, clock, out, channel, ticks_per_clock);
}

bool ControllerModulation::apply(const Event& e, uint32_t clock, SmfTrack& out, uint8_t channel,
                                 uint32_t ticks_per_clock) {
    int index = static_cast<int>(e.number("arcc")) - 1;
    std::optional<Setting> setting = arccSetting(e.code);
    if (index < 0 || index >= 4 || !setting) return false;
    return change(modulators_[index], static_cast<uint8_t>(*setting), e, clock, out, channel, ticks_per_clock);
}

bool ControllerModulation::change(Modulator& m, uint8_t what, const Event& e, uint32_t clock, SmfTrack& out,
                                  uint8_t channel, uint32_t ticks_per_clock) {
    advance(clock, out, channel, ticks_per_clock);
    bool was_active = m.active();
    bool exact = true;
    const Operand* values = e.operand("values");
    switch (static_cast<Setting>(what)) {
    case Setting::mode:  // only the ARCC's normal mode is modelled; the LFO's modes not at all
        exact = !wheel_ && e.number("mode") == 255;
        break;
    case Setting::switched: {
        int64_t s = e.number(wheel_ ? "value" : "switch");
        m.switched_on = s != 0;
        exact = wheel_ || s == 0 || s == 2;
        if (m.switched_on && !was_active) m.wave_start = clock;
        break;
    }
    case Setting::sync: m.sync = e.number("sync") != 0; break;
    case Setting::waveform: m.waveform = static_cast<int>(e.number("waveform")); break;
    case Setting::level:  // one depth, or one per note
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
    case Setting::speed:
        if (auto v = firstPresent(values)) m.period = static_cast<uint32_t>(std::max<int64_t>(1, *v));
        break;
    case Setting::delay:
        if (auto v = firstPresent(values)) m.delay = static_cast<uint32_t>(std::max<int64_t>(0, *v));
        break;
    case Setting::control:
        if (auto v = elementAt(values, 0)) m.controller = static_cast<int>(*v & 0x7F);
        if (auto v = elementAt(values, 1)) m.reset = static_cast<int>(*v);
        if (auto v = elementAt(values, 2)) m.origin = static_cast<int>(*v);
        if (auto v = elementAt(values, 3)) m.inverted = *v == 255;
        break;
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
