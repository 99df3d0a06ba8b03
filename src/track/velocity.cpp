#include "track/velocity.h"

#include <algorithm>
#include <cstdlib>

#include "base/random.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

int clampVelocity(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, 0, 127)); }

namespace {

// A `:` that begins a random range, not the `:|` that closes a repeat.
bool randomRangeFollows(Pos p) { return p[0] == ':' && p[1] != '|'; }

struct VelocityText {
    bool signed_ = false;  // written with `+` or `-`: relative
    bool given = false;
    int32_t value = 0;
};

Pos readVelocityText(Pos p, VelocityText& out) {
    p = skipBlanks(p);
    out.signed_ = *p == '+' || *p == '-';
    int status = 0;
    p = getNumber(p, out.value, status);
    out.given = status == kNumberRead;
    if (!out.given) out.value = 0;
    return p;
}

const SequenceItem& currentVelocityItem(const trkinf& info) {
    static const SequenceItem kNone{};
    return info.velocity_index < info.velocity.size() ? info.velocity[info.velocity_index] : kNone;
}

}  // namespace

int randomInRange(RandomGenerator& random, int64_t range) {
    if (range <= 0) return 0;
    return static_cast<int>(random.next() % (2 * range + 1) - range);
}

Pos uCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        EventBuffer& buf = tc.trk[t].buf;
        VelocityText n;
        q = readVelocityText(q, n);
        if (randomRangeFollows(q)) {
            int32_t r = info.velocity_random;
            int status = 0;
            q = getNumber(q + 1, r, status);
            if (status != kNumberRead) r = info.velocity_random;
            info.velocity_random = static_cast<int16_t>(std::abs(int64_t{r}));
        }
        if (n.signed_) {
            buf.begin(vld::eventNamed("relative velocity"));
            buf.put(static_cast<unsigned>(n.value));
        } else {
            if (n.given) info.current_velocity = static_cast<int16_t>(n.value);
            buf.begin(vld::eventNamed("velocity"));
            buf.put(static_cast<unsigned>(clampVelocity(info.current_velocity + info.velocity_offset)));
        }
        info.velocity_sequence_on = 0;
        return q;
    });
}

Pos velocityCommand(Pos p, TrackCompile& tc, bool relative) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        EventBuffer& buf = tc.trk[t].buf;
        int a = info.current_velocity;
        int rnd = info.velocity_random != 0 ? randomInRange(tc.hd.random, info.velocity_random) : 0;
        VelocityText n;
        q = readVelocityText(q, n);
        if (randomRangeFollows(q)) {
            int32_t r = 0;
            int status = 0;
            q = getNumber(q + 1, r, status);
            if (status == kNumberRead) info.velocity_random = static_cast<int16_t>(std::abs(int64_t{r}));
            rnd = (status == kNumberRead && r != 0) ? randomInRange(tc.hd.random, std::abs(int64_t{r})) : 0;
        }
        int64_t v;
        if (!n.given) {
            v = info.relative_velocity_memory != 0 ? a + info.relative_velocity_memory : info.current_velocity;
        } else {
            if (n.signed_ || relative) {
                info.relative_velocity_memory = static_cast<int16_t>(n.value);
                v = int64_t{n.value} + a;
            } else {
                info.relative_velocity_memory = 0;
                v = n.value;
            }
            v = clampVelocity(v + rnd);
            info.current_velocity = static_cast<int16_t>(v);
        }
        if (relative) {
            buf.begin(vld::eventNamed("relative velocity"));
            buf.put(static_cast<unsigned>(n.value));
        } else {
            buf.begin(vld::eventNamed("velocity"));
            buf.put(static_cast<unsigned>(clampVelocity(v + info.velocity_offset)));
        }
        info.velocity_sequence_on = 0;
        return q;
    });
}

Pos velocityBracket(Pos p, TrackCompile& tc) {
    if (*p != '.') return velocityCommand(p, tc, false);
    static constexpr const char* kSuffixes[] = {"level", "depth", "deepen", "control", "origin", "reset", "speed", "delay",
                                                "waveform", "switch", "sync", "mode", "phase", "offset", "revise"};
    Pos q = p + 1;
    for (const char* suffix : kSuffixes) {
        std::string_view name = suffix;
        if (matchKeyword(q, name) != 0) continue;
        q += name.size();
        if (name == "offset") {
            int32_t n = 0;
            int status = 0;
            q = getNumber(q, n, status);
            forEachTrackOf(tc.set(), [&](int t) { tc.inf[t].velocity_offset = static_cast<int16_t>(n); });
            return q;
        }
        if (name == "revise") {
            Pos end = forEachTarget(tc, q, [&](int t, Pos r) {
                int32_t mode = 0;
                int32_t amount = 0;
                int status = 0;
                r = getNumber(r, mode, status);
                if (status != kNumberRead) mode = 0;
                r = skipBlanks(r);
                if (*r == ',') {
                    r = getNumber(r + 1, amount, status);
                    if (status != kNumberRead) amount = 0;
                    r = skipBlanks(r);
                }
                if (*r != ']') sourceError("SYNTAX ERROR.", r);
                tc.inf[t].revise_mode = static_cast<uint8_t>(mode);
                tc.inf[t].revise_amount = static_cast<uint16_t>(amount);
                return r + 1;
            });
            vlserror("[velocity.revise] can use only for vlc2/vlc3.", end, 4, 1);
            return end;
        }
        return q;  // a modulation suffix without meaning for velocity
    }
    return q;
}

int revision(trkinf& info, const headdata& hd, int step) {
    auto bits = [](int x) {
        int n = 0;
        for (unsigned u = static_cast<unsigned>(x); u != 0; u >>= 1) ++n;
        return n;
    };
    int w = hd.whole_note_clocks;
    int a = info.revise_amount;
    int result;
    switch (info.revise_mode) {
        case 1:
            // A note of no length has no ratio to the whole note: no revision.
            result = step != 0 ? (w / step) * a : 0;
            break;
        case 2:
            result = (step != 0 && a != 0) ? w / step / a : 0;
            break;
        case 0: case 8: case 16: case 24: {
            bool longer = info.revise_mode >= 16 && info.last_length >= 2 * step;
            int lowered = (info.revise_mode == 8 || info.revise_mode == 24) ? 2 : 0;
            result = longer ? 0 : (bits(w) - bits(step) - lowered) * a;
            break;
        }
        default:
            return 0;
    }
    info.last_length = static_cast<uint16_t>(step);
    return result;
}

bool autoVelocity(TrackCompile& tc, int track, int step, int& value) {
    trkinf& info = tc.inf[track];
    info.velocity_written = 0;
    bool hasResult = false;
    value = 0;
    if (info.velocity_sequence_on && info.velocity_sequence_enable) {
        const SequenceItem& item = currentVelocityItem(info);
        int b = item.value2;
        int d = clampVelocity(item.value + info.velocity_offset);
        if (!(item.value == 128 && b == 0)) {
            tc.trk[track].buf.begin(vld::eventNamed("velocity"));
            tc.trk[track].buf.put(static_cast<unsigned>(d));
        }
        if (b != 0) {
            value = randomInRange(tc.hd.random, b);
            hasResult = true;
        }
    } else if (info.velocity_random != 0) {
        value = randomInRange(tc.hd.random, info.velocity_random);
        hasResult = true;
    }
    if (info.revise_amount != 0) {
        value -= revision(info, tc.hd, step);
        hasResult = true;
    }
    return hasResult;
}

int noteVelocity(TrackCompile& tc, int track, int value, int kind, int& mode, int step) {
    trkinf& info = tc.inf[track];
    if (kind == kValueOmitted) {
        int automatic = 0;
        if (autoVelocity(tc, track, step, automatic)) {
            mode = 1;
            info.velocity_written = 1;
            return automatic;
        }
        mode = 0;
        return 0;
    }
    int itemRange = currentVelocityItem(info).value2;
    int e = itemRange != 0 ? itemRange : info.velocity_random;
    mode = kind == kValueRelative ? 1 : -1;
    info.velocity_written = 1;
    // Any number may be written. Beyond these bounds a relative velocity is
    // refused and an absolute one limited all the same, and no sum overflows.
    int64_t sum = int64_t{value} + (e != 0 ? randomInRange(tc.hd.random, e) : 0);
    return static_cast<int>(std::clamp<int64_t>(sum, -0x10000, 0x10000));
}
