#include "export/track_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vld {

void VelocityPattern::set(const Event& pattern) {
    on = true;
    size = 0;
    next_entry = 0;
    last_clock = UINT32_MAX;
    entries.fill(-1);
    const Operand* list = pattern.operand("velocities");
    if (!list) return;
    for (size_t i = 0; i < list->elements.size() && i < entries.size(); ++i) {
        if (list->elements[i]) {
            entries[i] = static_cast<int>(*list->elements[i]);
            size = i + 1;
        }
    }
}

int VelocityPattern::next(uint32_t clock, int current) {
    if (!on || size == 0) return current;
    if (clock == last_clock) return last_velocity;
    int entry = entries[next_entry];
    next_entry = (next_entry + 1) % size;
    last_clock = clock;
    last_velocity = entry < 0 ? current : entry;
    return last_velocity;
}

void ProgramSplit::set(const Event& split) {
    entries.clear();
    const Operand* op = split.operand("entries");
    if (!op) return;
    on = op->value != 0;
    for (size_t i = 0; i + 3 < op->elements.size(); i += 4) {
        entries.push_back({static_cast<int>(op->elements[i].value_or(0)), static_cast<int>(op->elements[i + 1].value_or(127)),
                           static_cast<int>(op->elements[i + 2].value_or(0)),
                           static_cast<int>(op->elements[i + 3].value_or(1))});
    }
}

const ProgramSplit::Entry* ProgramSplit::find(int pitch) const {
    for (const Entry& e : entries) {
        if (pitch >= e.low && pitch <= e.high) return &e;
    }
    return nullptr;
}

Glide glideOf(const Event& portamento, int transpose) {
    Glide g;
    g.from = static_cast<int>(portamento.number("from")) + transpose;
    g.to = static_cast<int>(portamento.number("to")) + transpose;
    g.delay = static_cast<uint32_t>(portamento.number("delay"));
    g.time = static_cast<uint32_t>(portamento.number("time"));
    return g;
}

void AutoPortamento::set(const Event& control) {
    on = control.number("switch") != 0;
    const Operand* values = control.operand("values");
    if (values && !values->elements.empty() && values->elements[0]) delay = static_cast<uint32_t>(*values->elements[0]);
    if (values && values->elements.size() > 1 && values->elements[1]) time = static_cast<uint32_t>(*values->elements[1]);
}

Glide* AutoPortamento::glideFrom(int previous, int pitch) {
    if (!on || previous < 0 || previous == pitch) return nullptr;
    // The note sounds at its own pitch; the wheel starts a glide's width below
    // or above it and comes home.
    glide = Glide{pitch, pitch, delay, time, false};
    glide.from = previous;
    return &glide;
}

void writeGlide(SmfTrack& out, uint8_t channel, Glide& glide, uint32_t start, uint32_t end, int range, int base,
                uint32_t ticks_per_clock, uint32_t step) {
    constexpr int kWidest = 24;
    int width = std::abs(glide.to - glide.from);
    // The glide's first events are at the note's start; the rest come later.
    auto rangeTo = [&](uint32_t clock, int semitones) {
        sendBendRange(out, clock * ticks_per_clock, channel, semitones, clock != start);
    };
    auto wheelAt = [&](uint32_t clock, int value) {
        sendPitchWheel(out, clock * ticks_per_clock, channel, value, clock != start);
    };
    int used = range;
    if (width > range) {
        used = std::min(std::max(2, width), kWidest);
        glide.clamped = width > kWidest;
        rangeTo(start, used);
    }
    if (used <= 0) return;
    uint32_t from = start + std::min(glide.delay, end > start ? end - start : 0);
    uint32_t length = glide.time ? glide.time : (end > from ? end - from : 0);
    // The note sounds at `from`; the wheel carries it to `to`.
    double full = double(std::clamp(glide.to - glide.from, -used, used)) / used * 8191.0;
    if (glide.from == glide.to) full = 0;
    wheelAt(start, base);
    step = std::max<uint32_t>(step, 1);
    for (uint32_t k = step; length && k < length; k += step) {
        wheelAt(from + k, base + static_cast<int>(std::lround(full * k / length)));
    }
    wheelAt(from + length, base + static_cast<int>(std::lround(full)));
    wheelAt(std::max(end, from + length), base);
    if (used != range) rangeTo(std::max(end, from + length), range);
}


void Fade::start(uint32_t at, int64_t speed, std::optional<int64_t> from, std::optional<int64_t> to) {
    clock = at;
    if (from) level = static_cast<double>(std::clamp<int64_t>(*from, 0, 128));
    target = static_cast<double>(std::clamp<int64_t>(to.value_or(128), 0, 128));
    per_clock = std::max(1.0 / 256, static_cast<double>(speed) / 256);
    moving = level != target;
}

int Fade::scaled(int volume) const { return std::clamp(static_cast<int>(std::lround(volume * level / 128)), 0, 127); }

void Fade::advance(uint32_t until, int volume, SmfTrack& out, uint8_t channel, uint32_t ticks_per_clock,
                   uint32_t sample_clocks) {
    uint32_t step = std::max<uint32_t>(sample_clocks, 1);
    // Each sample writes the level reached, then the level moves on; the
    // sample after the last move writes the level the fade ends at.
    bool pending = true;
    for (; (moving || pending) && clock < until; clock += step) {
        int value = scaled(volume);
        if (value != last_sent) {
            out.message(clock * ticks_per_clock, static_cast<uint8_t>(0xB0 | channel), 7, static_cast<uint8_t>(value));
            last_sent = value;
        }
        pending = moving;
        double move = per_clock * step;
        level = level < target ? std::min(target, level + move) : std::max(target, level - move);
        moving = level != target;
    }
    if (!moving && !pending) clock = std::max(clock, until);
}

}  // namespace vld
