// The one-character commands of track lines that write a short fixed event:
// switches, literal bytes, work-area control, H, M, S, key transpose, channel
// change, fades, relative velocity steps, and the return from a sub-track.
#include "track/simple_commands.h"

#include <algorithm>

#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

EventBuffer& out(TrackCompile& tc, int track) { return tc.trk[track].buf; }

// One optional number of the H, M and S commands: a malformed number stops
// the run with `message`; an omitted one leaves `given` false.
Pos optionalNumber(Pos p, int32_t& value, bool& given, const char* message) {
    int status = 0;
    Pos end = readNumber(p, value, status);
    if (status == kNumberMalformed) sourceError(message, end);
    given = status == kNumberRead;
    return end;
}

// `H`, `M` and `S`: an optional first number and, behind a `,`, an optional
// second one; `put(buffer, position, value)` writes the event of each.
template <typename Put>
Pos twoNumberCommand(Pos p, TrackCompile& tc, const char* message, Put put) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t value = 0;
        bool given = false;
        q = optionalNumber(q, value, given, message);
        if (given) put(out(tc, track), 0, value);
        if (Pos comma = commaAfter(q)) {
            q = optionalNumber(comma + 1, value, given, message);
            if (given) put(out(tc, track), 1, value);
        }
        return q;
    });
}

// A number whose omission means 0.
Pos numberOrZero(Pos p, int32_t& value) {
    int status = 0;
    Pos end = readNumber(p, value, status);
    if (status == kNumberOmitted) value = 0;
    return end;
}

}  // namespace

Pos switchCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t n = 0;
        int status = 0;
        q = getNumber(q, n, status);
        out(tc, track).begin(vld::eventNamed("tie mode"));
        out(tc, track).put(n != 0 ? 1 : 0);
        return q;
    });
}

Pos insertBytesCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        for (;;) {
            int32_t n = 0;
            int status = 0;
            Pos end = readNumber(q, n, status);
            if (status != kNumberRead) break;
            out(tc, track).putRaw(static_cast<unsigned>(n) & 0xFF);
            q = end;
            Pos comma = commaAfter(q);
            if (!comma) break;
            q = comma + 1;
        }
        vlserror("It's too dangerous to insert VLD data directly.", q, 3, 1);
        return q;
    });
}

Pos switchMaskCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t n = 0;
        q = numberOrZero(q, n);
        auto bit = [n](int k) -> unsigned { return (n >> k) & 1 ? 2 : 0; };
        EventBuffer& buf = out(tc, track);
        buf.begin(vld::eventNamed("switch bit 3"));
        buf.put(bit(3));
        buf.begin(vld::eventNamed("bend switch"));
        buf.put(bit(2));
        buf.begin(vld::eventNamed("arcc switch"));
        buf.put(0);  // the first modulator
        buf.put(bit(1));
        buf.begin(vld::eventNamed("switch bit 0"));
        buf.put(bit(0));
        tc.inf[track].velocity_sequence_enable = (n >> 4) & 1;
        return q;
    });
}

Pos workAreaCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t address = 0;
        int status = 0;
        q = readNumber(q, address, status);
        if (status != kNumberRead) sourceError("workarea control(`?') must be followed to its parameter.", q);
        if (address < 0 || address > 255) sourceError("work address is out of range.", q);
        Pos comma = commaAfter(q);
        if (!comma) sourceError("workarea control(`?') must have 2 parameters.", q);
        q = comma + 1;
        Pos valueStart = skipSpace(q);
        bool isSigned = *valueStart == '+' || *valueStart == '-';
        int32_t value = 0;
        Pos end = getNumber(valueStart, value, status);
        if (status != kNumberRead) sourceError("workarea control(`?') must have 2 parameters.", q);
        q = end;
        EventBuffer& buf = out(tc, track);
        if (!isSigned) {
            buf.begin(vld::eventNamed("work area set"));
        } else {
            buf.begin(value >= 0 ? vld::eventNamed("work area add") : vld::eventNamed("work area subtract"));
            if (value < 0) value = wrapped(-int64_t{value});
        }
        buf.put(static_cast<unsigned>(address));
        buf.put(static_cast<unsigned>(value) & 0xFF);
        vlserror("workarea control(`?') will be ignored by many drivers.", q, 3, 1);
        return q;
    });
}

Pos hCommand(Pos p, TrackCompile& tc) {
    return twoNumberCommand(p, tc, "H error.", [](EventBuffer& buf, int position, int32_t value) {
        if (position == 0) {
            buf.begin(vld::eventNamed("lfo sync"));
        } else {
            buf.begin(vld::eventNamed("arcc sync"));
            buf.put(0x00);
        }
        buf.put(value != 0 ? 0x00 : 0x80);
        buf.putBE16(1);
    });
}

Pos keyTransposeCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t n = 0;
        q = getNumberInRange(q, n, -128, 127, "key transpose parameter is out of range(-128 - 127).",
                             "`k'(key transpose) must be followed to its parameter.");
        out(tc, track).begin(vld::eventNamed("key transpose"));
        out(tc, track).put(static_cast<unsigned>(n) & 0xFF);
        tc.inf[track].key_transpose = static_cast<int8_t>(n);
        return q;
    });
}

Pos mCommand(Pos p, TrackCompile& tc) {
    return twoNumberCommand(p, tc, "M error.", [](EventBuffer& buf, int position, int32_t value) {
        if (position == 0) {
            buf.begin(vld::eventNamed("lfo mode"));
        } else {
            buf.begin(vld::eventNamed("arcc mode"));
            buf.put(0x00);
        }
        buf.put(static_cast<unsigned>(wrapped(int64_t{value} - 1)) & 0xFF);
    });
}

Pos channelChangeCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t n = 0;
        q = getNumberInRange(q, n, 1, 32, "channel change parameter is out of range(1 - 32).",
                             "`n'(channel change) must be followed to its parameter.");
        int32_t c = n - 1;
        if (tc.hd.sc88_mode == 1) {
            if (n <= 16) {
                c = n + 8;
            } else if (n <= 25) {
                c = n - 17;
            }
        }
        out(tc, track).begin(vld::eventNamed("channel change"));
        out(tc, track).putBE16(0x8000);
        out(tc, track).putBE16(static_cast<uint32_t>(c - 9) & 0xFFFF);
        return q;
    });
}

Pos sCommand(Pos p, TrackCompile& tc) {
    return twoNumberCommand(p, tc, "S error.", [](EventBuffer& buf, int position, int32_t value) {
        int32_t operand = value >= 8 ? wrapped(int64_t{value} + 0x7FF8) : value;
        if (position == 0) {
            buf.begin(vld::eventNamed("lfo waveform"));
        } else {
            buf.begin(vld::eventNamed("arcc waveform"));
            buf.put(0x00);
        }
        buf.putBE16(static_cast<uint32_t>(operand) & 0xFFFF);
    });
}

Pos fadeCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        int32_t n = 0;
        q = numberOrZero(q, n);
        if (n < -128 || n > 127) vlserror("fadein/out parameter is out of range(-128 - 127).", q, 3, 1);
        EventBuffer& buf = out(tc, track);
        buf.begin(vld::eventNamed("fader"));
        buf.putBE16(0x7FFE);
        buf.putBE16(0);
        buf.put(0x07);  // presence: all three values follow
        uint32_t magnitude = n >= 0 ? static_cast<uint32_t>(n) : 0u - static_cast<uint32_t>(n);
        buf.putBE16((magnitude * 256) & 0xFFFF);
        buf.put(n >= 0 ? 0x80 : 0x00);
        buf.put(n >= 0 ? 0x00 : 0x80);
        return q;
    });
}

Pos velocityStepCommand(Pos p, TrackCompile& tc, char sign) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        trkinf& info = tc.inf[track];
        int total = 0;
        for (;;) {
            int32_t n = 0;
            int status = 0;
            q = readNumber(q, n, status);
            if (status != kNumberOmitted) info.velocity_step = static_cast<uint8_t>(n);
            total += info.velocity_step;
            Pos next = skipWhite(q);
            if (*next != static_cast<unsigned char>(sign)) break;
            q = next + 1;
        }
        out(tc, track).begin(vld::eventNamed("relative volume"));
        out(tc, track).put(static_cast<unsigned>(sign == '~' ? total : -total) & 0xFF);
        return q;
    });
}

Pos parentTrackCommand(Pos p, TrackCompile& tc) {
    size_t index = 0;
    forEachTarget(tc, p, [&](int track, Pos q) {
        uint8_t parent = tc.inf[track].parent_track;
        if (parent == kNoTrack) sourceError("']' nest error.", q);
        tc.trk[track].redirect = -1;
        // The parent's lines go to the parent again: a later selection of it
        // must not follow the redirect into the finished sub-track.
        if (tc.trk[parent].redirect == track) tc.trk[parent].redirect = -1;
        tc.target[index++] = parent;
        return q;
    });
    // Two sub-tracks of one parent would name it twice and write every event
    // to it twice: keep the first.
    std::vector<uint8_t> set;
    for (uint8_t t : tc.target) {
        if (t & 0x80) break;
        if (std::find(set.begin(), set.end(), t) == set.end()) set.push_back(t);
    }
    set.push_back(255);
    tc.target = std::move(set);
    return p;
}
