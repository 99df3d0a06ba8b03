// At-commands: `@` and a letter routed to its handler, `@` and anything else
// a program change; the handlers only `@` reaches; and the single letters of
// track lines that share their handlers.
#include "commands/at_commands.h"

#include <algorithm>

#include "commands/arcc.h"
#include "commands/channel_messages.h"
#include "commands/command_reading.h"
#include "commands/emitters.h"
#include "commands/sequences.h"
#include "commands/track_flow.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/velocity.h"

namespace {

// `@f value`: 0xA9 and the value's low byte.
Pos fCommand(Pos p, TrackCompile& tc) {
    int32_t value = 0;
    Pos end = getNumberInRange(p, value, 0, 0, "", "@f can't omit its parameter.");
    forEachTrackOf(tc.set(), [&](int t) {
        tc.trk[t].buf.begin(vld::eventNamed("f value"));
        tc.trk[t].buf.put(static_cast<unsigned>(value) & 0xFF);
    });
    return end;
}

// `@h a,b` and `@s a,b`: each given value writes the event of its position;
// an omitted one writes nothing.
template <typename Check, typename Put>
Pos twoPositionCommand(Pos p, TrackCompile& tc, const char* message, Check valueIsBad, Put put) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        for (int position = 0; position < 2; ++position) {
            int32_t value = 0;
            int status = 0;
            q = readNumber(q, value, status);
            if (status == kNumberMalformed || (status == kNumberRead && valueIsBad(value))) sourceError(message, q);
            if (status == kNumberRead) put(tc.trk[t].buf, position, value);
            Pos comma = commaAfter(q);
            if (position == 1 || !comma) break;
            q = comma + 1;
        }
        return q;
    });
}

Pos hCommand(Pos p, TrackCompile& tc) {
    return twoPositionCommand(p, tc, "@H parameter error.", [](int32_t) { return false; },
                              [](EventBuffer& out, int position, int32_t value) {
                                  out.begin(position == 0 ? vld::eventNamed("lfo delay")
                                                          : vld::eventNamed("arcc delay", vld::kTrackStream,
                                                                            vld::Pick::wordPresence));
                                  if (position == 1) out.put(0x00);
                                  out.putBE16(1);
                                  out.putBE16(static_cast<uint32_t>(value) & 0xFFFF);
                              });
}

Pos sCommand(Pos p, TrackCompile& tc) {
    return twoPositionCommand(p, tc, "@S parameter error.", [](int32_t value) { return value == 0; },
                              [](EventBuffer& out, int position, int32_t value) {
                                  out.begin(position == 0 ? vld::eventNamed("lfo speed") : vld::eventNamed("arcc speed"));
                                  if (position == 1) out.put(0x00);
                                  out.put(0x01);
                                  out.putBE16((static_cast<uint32_t>(value) * 2u) & 0xFFFF);  // wraps, as the 16 bits kept do
                              });
}

// `@l clocks`: the default length of every track of the set.
Pos lCommand(Pos p, TrackCompile& tc) {
    int32_t clocks = 0;
    Pos end = getNumberInRange(p, clocks, 0, 0, "", "@l can't omit its parameter.");
    forEachTrackOf(tc.set(), [&](int t) { tc.inf[t].default_length = static_cast<uint16_t>(clocks); });
    return end;
}

// `@n channel`: 0xCC, the channel kind and the channel, both 16 bits.
Pos nCommand(Pos p, TrackCompile& tc) {
    int32_t n = 0;
    Pos end = getNumberInRange(p, n, 0, 0, "", "@n can't omit its parameter.");
    int32_t kind = 0;
    int32_t channel = 0;
    if (n <= 8) {
        channel = n;
    } else if (n == 9) {
        kind = 1;
    } else if (n <= 25) {
        kind = 0x8000;
        channel = n - 10;
    } else if (n <= 31) {
        kind = 1;
        channel = n - 25;
    } else {
        kind = 0x8000 + (n - 33) / 16;
        channel = (n - 33) % 16;
    }
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& out = tc.trk[t].buf;
        out.begin(vld::eventNamed("channel change"));
        out.putBE16(static_cast<uint32_t>(kind) & 0xFFFF);
        out.putBE16(static_cast<uint32_t>(channel) & 0xFFFF);
        if (tc.inf[t].note_written) {
            tc.trk[t].device = static_cast<uint16_t>(kind);
            tc.trk[t].channel = static_cast<uint8_t>(channel);
        }
    });
    return end;
}

// `@o [value]`: 0x82 alone, or 0xA5 and value + 128.
Pos oCommand(Pos p, TrackCompile& tc) {
    int32_t value = 0;
    int status = 0;
    Pos end = readNumber(p, value, status);
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& out = tc.trk[t].buf;
        if (status == kNumberRead) {
            out.begin(vld::eventNamed("bend range"));
            out.put(static_cast<unsigned>(wrapped(int64_t{value} + 128)) & 0xFF);
        } else {
            out.begin(vld::eventNamed("noise off"));
        }
    });
    return end;
}

// `@m a,b,...`: up to eight values; an omitted value repeats the one before,
// a relative one is added to it. Kept in sequence_a as well.
Pos mCommand(Pos p, TrackCompile& tc) {
    constexpr int kValues = 8;
    return forEachTarget(tc, p, [&](int t, Pos q) {
        ParameterElement elements[kValues];
        int count = 0;
        q = readParameterList(q, elements, kValues, count, false);
        count = std::min(count, kValues);
        trkinf& info = tc.inf[t];
        int32_t previous = 0;
        for (int i = 0; i < count; ++i) {
            ParameterElement& e = elements[i];
            if (i > 0 && e.kind == kValueOmitted) {
                e.value = static_cast<int16_t>(previous);
            } else if (i > 0 && e.kind == kValueRelative) {
                e.value = static_cast<int16_t>(previous + e.value);
            } else if (e.kind == kValueOmitted) {
                e.value = 0;
            }
            previous = e.value;
        }
        info.sequence_a_count = static_cast<uint8_t>(count);
        info.sequence_a_mode = 0;
        EventBuffer& out = tc.trk[t].buf;
        out.begin(vld::eventNamed("lfo level"));
        if (count == 0) {
            out.put(0x00);
            out.put(0x00);
        } else if (count == 1) {
            out.put(0x01);
            out.put(0x01);
            out.putBE16(static_cast<uint16_t>(elements[0].value));
        } else {
            out.put(0xFF);
            unsigned presence = 0;
            for (int i = 0; i < count; ++i)
                if (elements[i].kind != kValueOmitted) presence |= 1u << i;
            out.put(presence);
            for (int i = 0; i < count; ++i)
                if (elements[i].kind != kValueOmitted) out.putBE16(static_cast<uint16_t>(elements[i].value));
            for (int i = 0; i < kValues; ++i)
                info.sequence_a[i] = i < count ? elements[i] : SequenceItem{0, 0, kValueOmitted, kValueNone};
        }
        return q;
    });
}

// `@z a,b,...`: eight velocity bytes, 0xFF where none is given; relative
// values continue from the track's current velocity.
Pos zCommand(Pos p, TrackCompile& tc) {
    constexpr int kValues = 8;
    return forEachTarget(tc, p, [&](int t, Pos q) {
        EventBuffer& out = tc.trk[t].buf;
        bool relative = relativeValueFollows(q);
        int32_t value = 0;
        int status = 0;
        q = readNumber(q, value, status);
        if (status != kNumberRead && !commaAfter(q)) {
            out.begin(vld::eventNamed("velocity pattern off"));
            out.put(0x00);
            return q;
        }
        out.begin(vld::eventNamed("velocity pattern"));
        int running = tc.inf[t].current_velocity;
        int written = 0;
        for (;;) {
            if (status != kNumberRead) {
                out.put(0xFF);
            } else if (relative) {
                // A sum below 0 is limited like one above 127.
                running = clampVelocity(int64_t{running} + value);
                out.put(static_cast<unsigned>(running));
            } else {
                running = value;
                out.put(static_cast<unsigned>(value) & 0xFF);
            }
            ++written;
            Pos comma = commaAfter(q);
            if (!comma) break;
            if (written == kValues) {
                vlserror("@z: too many ','.", comma, 2, 1);
                q = comma + 1;
                break;
            }
            q = comma + 1;
            relative = relativeValueFollows(q);
            q = readNumber(q, value, status);
        }
        for (; written < kValues; ++written) out.put(0xFF);
        return q;
    });
}

}  // namespace

Pos atCommand(Pos p, TrackCompile& tc) {
    unsigned char c = *p;
    c = foldCase(c);
    if (c < 'a' || c > 'z') return programChangeCommand(p, tc);
    Pos q = p + 1;
    switch (c) {
        case 'a': return arccLevelWriter(q, tc, 0, kArccShortForm);
        case 'b': return bendCommand(q, tc, BendForm::bend);
        case 'c': {
            FlaggedEvent event;
            event.event = vld::eventNamed("arcc control");
            event.sub = 0;
            event.max_parameters = 3;
            event.too_many = "@c: too many parameters.";
            event.relative = "@c can't use relational parameters.";
            return highFirstFlaggedEmitter(q, tc, event);
        }
        case 'd': return damperCommand(q, tc, DamperForm::onOff);
        case 'e': return effectCommand(q, tc);
        case 'f': return fCommand(q, tc);
        case 'g': return bendRangeCommand(q, tc);
        case 'h': return hCommand(q, tc);
        case 'i':
            forEachTrackOf(tc.set(), [&](int t) { tc.inf[t].instrument_id_written = 1; });
            return instrumentIdCommand(q, tc);
        case 'j': return tieModeCommand(q, tc);
        case 'k': return bendCommand(q, tc, BendForm::detune);
        case 'l': return lCommand(q, tc);
        case 'm': return mCommand(q, tc);
        case 'n': return nCommand(q, tc);
        case 'o': return oCommand(q, tc);
        case 'p': return panpotCommand(q, tc, PanpotForm::upTo127);
        case 'q': return quantizeListCommand(q, tc, 0);
        case 'r': return trackModeCommand(q, tc);
        case 's': return sCommand(q, tc);
        case 't': return tempoCommand(q, tc, TempoForm::timer);
        case 'u': return velocityCommand(q, tc, false);
        case 'v': return volumeCommand(q, tc, VolumeForm::upTo127);
        case 'w': return trackDelayCommand(q, tc, DelayForm::length);
        case 'x': return midiDataCommand(q, tc, kRawMidiData);
        case 'y': return nrpnCommand(q, tc);
        case 'z': return zCommand(q, tc);
        default: return programChangeCommand(p, tc);  // not reached: every letter has its command
    }
}

Pos sharedLetterCommand(Pos c, TrackCompile& tc) {
    Pos p = c + 1;
    switch (*c) {
        case 'I': case 'i': return bankSelectCommand(p, tc);
        case 'J': case 'j': return replayCommand(p, tc);
        case 'P': case 'p': return panpotCommand(p, tc, PanpotForm::table);
        case 'T': case 't': return tempoCommand(p, tc, TempoForm::tempo);
        case 'V': case 'v': return volumeCommand(p, tc, VolumeForm::upTo16);
        case 'W': case 'w': return synchronizeCommand(p, tc);
        case 'X': case 'x': return midiDataCommand(p, tc, 0x41);
        case 'Y': case 'y': return controlChangeCommand(p, tc);
        case '`': return allSoundOffCommand(p, tc);
        default: return p;  // the dispatcher sends only the letters above
    }
}
