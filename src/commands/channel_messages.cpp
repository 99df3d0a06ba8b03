#include "commands/channel_messages.h"

#include <algorithm>
#include <vector>

#include "commands/command_reading.h"
#include "commands/emitters.h"
#include "header/assign.h"
#include "header/exclusive.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/notes.h"
#include "track/velocity.h"

namespace {

constexpr const char* kOffOn[] = {"off", "on", nullptr};

// Device words of a track: FM and ADPCM; anything else is MIDI.
constexpr uint16_t kDeviceFm = 0;
constexpr uint16_t kDeviceAdpcm = 1;

EventBuffer& out(TrackCompile& tc, int track) { return tc.trk[track].buf; }

void putWord(EventBuffer& buf, int32_t value) { buf.putBE16(static_cast<uint32_t>(value) & 0xFFFF); }
void putByte(EventBuffer& buf, int32_t value) { buf.put(static_cast<unsigned>(value) & 0xFF); }

// A `:` that joins two values, not the `:|` that closes a repeat.
bool joinFollows(Pos p) { return p[0] == ':' && p[1] != '|'; }

// The ranges of the fields a program and a bank are kept in: a value outside
// would be written as another program or bank.
constexpr const char* kProgramRange = "program number is out of range(1 - 65536).";
constexpr const char* kBankByteRange = "bank number is out of range(0 - 255).";
constexpr const char* kBankRange = "bank number is out of range(0 - 16383).";
constexpr const char* kSplitBankRange = "bank number is out of range(0 - 65535).";

void requireRange(int32_t value, int32_t minimum, int32_t maximum, const char* message, Pos at) {
    if (value < minimum || value > maximum) sourceError(message, at);
}

// One note of a program split: letters with accidentals from the track's
// octave, octave changes, or a note number. Only the low byte is stored, so
// the steps wrap like it from any number.
Pos readSplitNote(Pos p, trkinf& info, int& note) {
    static constexpr int kPitch[] = {9, 11, 0, 2, 4, 5, 7};  // a to g
    note = info.octave * 12 + 12;
    for (;;) {
        unsigned char c = *p;
        unsigned char folded = foldCase(c);
        if (folded == 'o' || c == '<' || c == '>') {
            int before = info.octave;
            p = changeOctave(p, info);
            note = wrapped(note + int64_t{info.octave - before} * 12);
        } else if (folded >= 'a' && folded <= 'g') {
            note = wrapped(int64_t{note} + kPitch[folded - 'a']);
            ++p;
        } else if (c == '#' || c == '+') {
            note = wrapped(int64_t{note} + 1);
            ++p;
        } else if (c == '-') {
            note = wrapped(int64_t{note} - 1);
            ++p;
        } else if (isBlank(p)) {
            p = skipWhite(p);
        } else if (c >= '0' && c <= '9') {
            int32_t number = 0;
            int status = 0;
            p = getNumber(p, number, status);
            note = number;
        } else {
            return p;
        }
    }
}

}  // namespace

// ---- Program and bank ----

Pos bankSelectCommand(Pos p, TrackCompile& tc) {
    FixedFieldEvent event;
    event.event = vld::eventNamed("bank select");
    event.fill = 0;
    event.fields = 2;
    event.too_many = "i: too many parameters.";
    event.relative = "i: can't use relational parameters.";
    return fixedFieldEmitter(p, tc, event);
}

Pos programChangeCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kError = "`@'(program set) error.";
    int32_t first = 0;
    Pos end = requiredNumber(p, first, "`@'(program set) must be followed to its parameter.");
    int32_t program = first;
    bool bank = false;
    int32_t msb = 0;
    int32_t lsb = 0;
    Pos q = skipWhite(end);
    if (joinFollows(q)) {
        // msb:lsb,program
        msb = first;
        requireRange(msb, 0, 0xFF, kBankByteRange, end);
        int status = 0;
        q = readNumber(q + 1, lsb, status);
        if (status != kNumberRead) lsb = 255;
        requireRange(lsb, 0, 0xFF, kBankByteRange, q);
        q = skipWhite(q);
        if (*q != ',') sourceError(kError, q);
        end = requiredNumber(q + 1, program, kError);
        bank = true;
    } else if (*q == ',') {
        // bank,program with a 14-bit bank
        requireRange(first, 0, 0x3FFF, kBankRange, end);
        msb = (first >> 7) & 0x7F;
        lsb = first & 0x7F;
        end = requiredNumber(q + 1, program, kError);
        bank = true;
    }
    requireRange(program, 1, 0x10000, kProgramRange, end);
    forEachTrackOf(tc.set(), [&](int t) {
        if (bank) {
            out(tc, t).begin(vld::eventNamed("bank select"));
            putByte(out(tc, t), msb);
            putByte(out(tc, t), lsb);
        }
        out(tc, t).begin(vld::eventNamed("program"));
        putWord(out(tc, t), wrapped(int64_t{program} - 1));
    });
    return end;
}

Pos programSplitCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kError = "[timbre_split] parameter error.";
    // The entry count shares its byte with the switch bit.
    constexpr int kMaxEntries = 127;
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        EventBuffer& buf = out(tc, t);
        const int8_t octave = info.octave;
        buf.begin(vld::eventNamed("program split"));
        const size_t countAt = buf.size();
        buf.put(0);
        int32_t value = 0;
        int status = 0;
        q = readKeywordOrNumber(q, value, status, kOffOn, 0, false);
        const unsigned switchBit = (status != kNumberRead || value != 0) ? 128 : 0;
        q = skipOneComma(q);
        int entries = 0;
        while (*q != ']') {
            int32_t bank = 0;
            q = readNumber(q, bank, status);
            if (status != kNumberRead) sourceError(kError, q);
            Pos r = skipWhite(q);
            if (joinFollows(r)) {
                int32_t low = 0;
                q = readNumber(r + 1, low, status);
                if (status != kNumberRead) sourceError(kError, q);
                bank = wrapped(int64_t{bank} * 128 + low);
            }
            requireRange(bank, 0, 0xFFFF, kSplitBankRange, q);
            int32_t program = 0;
            q = readNumber(skipOneComma(q), program, status);
            // A program left out is written as program 0 less one, as before.
            if (status == kNumberRead) requireRange(program, 1, 0x10000, kProgramRange, q);
            int first = 0;
            int second = 0;
            q = readSplitNote(skipOneComma(q), info, first);
            q = readSplitNote(skipOneComma(q), info, second);
            if (++entries > kMaxEntries) sourceError(kError, q);
            putByte(buf, first);
            putByte(buf, second);
            putWord(buf, bank);
            putWord(buf, wrapped(int64_t{program} - 1));
            Pos comma = commaAfter(q);
            if (!comma) break;
            q = comma + 1;
        }
        buf.patch(countAt, switchBit + static_cast<unsigned>(entries));
        info.octave = octave;
        return q;
    });
}

// ---- Bend, detune, pitch and portamento ----

Pos bendSwitchCommand(Pos p, TrackCompile& tc) {
    int32_t value = 0;
    int status = 0;
    Pos end = readKeywordOrNumber(p, value, status, kOffOn, 0, false);
    if (status != kNumberRead) {
        vlserror("[BEND.SWITCH] require its parameter.", end, 4, 1);
        return end;
    }
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("bend switch"));
        putByte(out(tc, t), value);
    });
    return end;
}

Pos bendCommand(Pos p, TrackCompile& tc, BendForm form) {
    static constexpr const char* kError = "@b/@k can't omit delay parameter when you want to set.";
    constexpr int kMaxValues = 4;
    const bool bend = form == BendForm::bend;
    return forEachTarget(tc, p, [&](int t, Pos q) {
        EventBuffer& buf = out(tc, t);
        int32_t value = 0;
        int status = 0;
        q = readNumber(q, value, status);
        if (status == kNumberMalformed) sourceError(kError, q);
        Pos comma = commaAfter(q);
        if (!comma) {
            if (status != kNumberRead) {
                buf.begin(vld::eventNamed("bend switch"));
                buf.put(0x00);
            } else {
                buf.begin(bend ? vld::eventNamed("bend") : vld::eventNamed("detune"));
                putWord(buf, value);
            }
            return q;
        }
        int32_t values[kMaxValues] = {};
        bool given[kMaxValues] = {};
        for (int i = 0;; ++i) {
            values[i] = value;
            given[i] = status == kNumberRead;
            if (!comma) break;
            if (i + 1 == kMaxValues) sourceError("@b/@k: too many parameters.", comma);
            q = readNumber(comma + 1, value, status);
            if (status == kNumberMalformed) sourceError(kError, q);
            comma = commaAfter(q);
        }
        buf.begin(bend ? vld::eventNamed("bend with delay") : vld::eventNamed("detune with delay"));
        unsigned presence = 0;
        for (int i = 0; i < kMaxValues; ++i)
            if (given[i]) presence |= 0x80u >> i;
        buf.put(presence);
        for (int i = 0; i < kMaxValues; ++i)
            if (given[i]) putWord(buf, values[i]);
        if (given[2]) tc.inf[t].portamento_values[0] = static_cast<int16_t>(values[2]);
        return q;
    });
}

Pos pitchCommand(Pos p, TrackCompile& tc, bool relative) {
    int32_t value = 0;
    int status = 0;
    Pos end = readNumber(p, value, status);
    if (status != kNumberRead) {
        vlserror("[PITCH]/[@PITCH] require its parameter.", end, 4, 1);
        return end;
    }
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(relative ? vld::eventNamed("relative pitch") : vld::eventNamed("bend"));
        putWord(out(tc, t), value);
    });
    return end;
}

Pos bendRangeCommand(Pos p, TrackCompile& tc) {
    int32_t value = 0;
    Pos end = requiredNumber(p, value, "@g can't omit its parameter.");
    requireRange(value, 0, 0xFF, "@g parameter is out of range(0 - 255).", end);
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("bend range"));
        putByte(out(tc, t), value);
    });
    return end;
}

Pos autoPortamentoCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        EventBuffer& buf = out(tc, t);
        int32_t value = 0;
        int status = 0;
        q = readKeywordOrNumber(q, value, status, kOffOn, 0, true);
        buf.begin(vld::eventNamed("auto portamento"));
        buf.put(status == kNumberRead ? static_cast<unsigned>(value) & 0xFF : 0xFF);
        int32_t values[2] = {};
        unsigned presence = 0;
        for (int i = 0; i < 2; ++i) {
            q = readNumber(skipOneComma(q), values[i], status);
            if (status == kNumberRead) presence |= 0x80u >> i;
        }
        buf.put(presence);
        for (int i = 0; i < 2; ++i)
            if (presence & (0x80u >> i)) putWord(buf, values[i]);
        return q;
    });
}

Pos autoPortamentoSwitchCommand(Pos p, TrackCompile& tc) {
    int32_t value = 0;
    int status = 0;
    Pos end = readKeywordOrNumber(p, value, status, kOffOn, 0, false);
    if (status != kNumberRead) {
        vlserror("[AUTO_PORTAMENT.SWITCH] require its parameter.", end, 4, 1);
        return end;
    }
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("auto portamento"));
        putByte(out(tc, t), value);
        out(tc, t).put(0x00);
    });
    return end;
}

// ---- Volume, panpot, tempo, damper ----

Pos volumeCommand(Pos p, TrackCompile& tc, VolumeForm form) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        EventBuffer& buf = out(tc, t);
        const bool fm = tc.trk[t].device == kDeviceFm;
        const bool relative = relativeValueFollows(q) || form == VolumeForm::relative;
        int32_t value = 0;
        q = requiredNumber(q, value, "v/@v must be followed to its parameter.");
        if (relative) {
            requireRange(value, -128, 127, "v/@v parameter is out of range(-128 - 127).", q);
            buf.begin(vld::eventNamed("relative volume"));
            putByte(buf, value);
            if (fm) info.current_velocity = static_cast<int16_t>(clampVelocity(int64_t{info.current_velocity} + value));
        } else {
            const int maximum = form == VolumeForm::upTo16 ? 16 : 127;
            if (value < 0 || value > maximum) sourceError("v/@v parameter is out of range.", q);
            buf.begin(vld::eventNamed("volume"));
            putByte(buf, value + (form == VolumeForm::upTo16 ? 128 : 0));
            if (fm) info.current_velocity = static_cast<int16_t>(value);
        }
        info.velocity_mode_flag = form == VolumeForm::upTo16 ? 1 : 0;
        return q;
    });
}

Pos panpotCommand(Pos p, TrackCompile& tc, PanpotForm form) {
    static constexpr const char* kRange = "panpot parameter is out of range(0-127).";
    static constexpr int kTable[] = {128, 0, 127, 64};  // P0 to P3
    return forEachTarget(tc, p, [&](int t, Pos q) {
        const bool signedValue = relativeValueFollows(q);
        if (form == PanpotForm::table && signedValue)
            sourceError("P (panpot) must be followed to its absolute parameter.", skipSpace(q));
        int32_t value = 0;
        q = requiredNumber(q, value, "@p must be followed to its parameter.");
        if (form == PanpotForm::table) {
            // Only 0 to 3 have an entry; 0 gives 128, which the range refuses.
            if (value < 0 || value > 3) sourceError(kRange, q);
            value = kTable[value];
        }
        EventBuffer& buf = out(tc, t);
        if (signedValue || form == PanpotForm::relative) {
            requireRange(value, -128, 127, "panpot parameter is out of range(-128 - 127).", q);
            buf.begin(vld::eventNamed("relative panpot"));
        } else {
            if (value < 0 || value > 127) sourceError(kRange, q);
            buf.begin(vld::eventNamed("panpot"));
        }
        putByte(buf, value);
        return q;
    });
}

Pos tempoCommand(Pos p, TrackCompile& tc, TempoForm form) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        const bool relative = relativeValueFollows(q) || form == TempoForm::relativeTempo;
        int32_t value = 0;
        q = requiredNumber(q, value, "tempo must be followed to its parameter.");
        EventBuffer& buf = out(tc, t);
        // The value goes into 16 bits: signed when it changes the tempo,
        // unsigned when it sets the timer.
        if (relative) {
            requireRange(value, -0x8000, 0x7FFF, "tempo parameter is out of range(-32768 - 32767).", q);
            buf.begin(form == TempoForm::timer ? vld::eventNamed("relative timer") : vld::eventNamed("relative tempo"));
        } else if (form == TempoForm::timer) {
            requireRange(value, 0, 0xFFFF, "timer parameter is out of range(0 - 65535).", q);
            buf.begin(vld::eventNamed("timer"));
        } else {
            if (value < 20 || value > 300) sourceError("tempo parameter is out of range(20 - 300).", q);
            buf.begin(vld::eventNamed("tempo"));
        }
        putWord(buf, value);
        return q;
    });
}

Pos damperCommand(Pos p, TrackCompile& tc, DamperForm form) {
    int32_t value = 0;
    int status = 0;
    Pos end = readKeywordOrNumber(p, value, status, kOffOn, -2, true);
    if (status != kNumberRead || value == -2) value = 0;
    if (value == -1) value = 127;
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("damper"));
        putByte(out(tc, t), form == DamperForm::value ? value : (value != 0 ? 127 : 0));
    });
    return end;
}

// ---- Controllers ----

Pos controlChangeCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kTwo = "control change must have 2 parameters.";
    static constexpr const char* kRange = "control change parameter is out of range(0-127).";
    static constexpr const char* kMissing = "'y'(control change) must be followed to its parameter.";
    return forEachTarget(tc, p, [&](int t, Pos q) {
        EventBuffer& buf = out(tc, t);
        const trkdata& track = tc.trk[t];
        if (track.device != kDeviceFm && track.device != kDeviceAdpcm) {
            int32_t number = 0;
            int32_t value = 0;
            q = getNumberInRange(q, number, 0, 127, kRange, kMissing);
            Pos comma = commaAfter(q);
            if (!comma) sourceError(kTwo, q);
            q = getNumberInRange(comma + 1, value, 0, 127, kRange, kMissing);
            buf.begin(vld::eventNamed("control change"));
            putByte(buf, number);
            putByte(buf, value);
            return q;
        }
        // FM and ADPCM tracks: some registers have events of their own.
        int32_t reg = 0;
        int32_t v = 0;
        q = requiredNumber(q, reg, kTwo);
        Pos comma = commaAfter(q);
        if (!comma) sourceError(kTwo, q);
        q = requiredNumber(comma + 1, v, kTwo);
        if (reg < 56 && reg == track.channel + 48) {
            buf.begin(vld::eventNamed("fm channel control"));
            putWord(buf, v >> 2);
            putWord(buf, wrapped((int64_t{v >> 2} * 683) >> 6));
            return q;
        }
        switch (reg) {
            case 2: buf.begin(vld::eventNamed("fm control 2")); putWord(buf, v & 0x1FF); break;
            case 3: buf.begin(vld::eventNamed("fm control 3")); putByte(buf, v & 3); break;
            case 13: buf.begin(vld::eventNamed("fm control 13")); putByte(buf, v & 7); break;
            case 14: buf.begin(vld::eventNamed("fm control 14")); putByte(buf, v & 1); break;
            case 15:
                if (v == 0) {
                    buf.begin(vld::eventNamed("noise off"));
                } else {
                    buf.begin(vld::eventNamed("bend range"));
                    putByte(buf, v);
                }
                break;
            default: buf.begin(vld::eventNamed("control change")); putByte(buf, reg); putByte(buf, v); break;
        }
        return q;
    });
}

Pos nrpnCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kError = "NRPN must have address(2 bytes) and data(1 or 2 bytes.)";
    // Address and data fill exactly four bytes: a longer list is refused.
    constexpr size_t kEventBytes = 4;
    return forEachTarget(tc, p, [&](int t, Pos q) {
        std::vector<unsigned char> bytes;
        for (;;) {
            int32_t value = 0;
            int status = 0;
            q = readNumber(q, value, status);
            if (status == kNumberMalformed) sourceError(kError, q);
            if (status == kNumberRead) {
                if (value < 128) {
                    bytes.push_back(static_cast<unsigned char>(value));
                } else {
                    bytes.push_back(static_cast<unsigned char>(value & 0x7F));
                    bytes.push_back(static_cast<unsigned char>(value >> 7));
                }
            }
            if (bytes.size() > kEventBytes) sourceError(kError, q);
            Pos comma = commaAfter(q);
            if (!comma) break;
            q = comma + 1;
        }
        if (bytes.size() <= 2) sourceError(kError, q);
        bytes.resize(kEventBytes, 0xFF);
        out(tc, t).begin(vld::eventNamed("nrpn"));
        out(tc, t).putBytes(bytes.data(), bytes.size());
        return q;
    });
}

Pos midiDataCommand(Pos p, TrackCompile& tc, int maker) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        EventBuffer& buf = out(tc, t);
        if (maker == kRawMidiData) {
            buf.begin(vld::eventNamed("exclusive"));
        } else {
            buf.begin(vld::eventNamed("maker exclusive"));
            buf.put(static_cast<unsigned>(maker));
        }
        buf.put(0x00);  // no label
        const size_t lengthAt = buf.size();
        buf.putBE32(0);
        // The buffer grows with every byte, so a long list is written in full.
        std::vector<unsigned char> item;
        for (;;) {
            item.clear();
            int consumed = 0;
            getDataItem(item, q, consumed);
            if (item.empty()) break;
            buf.putBytes(item.data(), item.size());
            q += consumed;
            if (*q != ',' && *q != ' ' && *q != '\t') break;
            ++q;
        }
        buf.patchBE32(lengthAt, static_cast<uint32_t>(buf.size() - lengthAt - 4));
        return q;
    });
}

// ---- Faders, effects, instrument ID ----

namespace {

FlaggedEvent faderEvent() {
    FlaggedEvent event;
    event.event = vld::eventNamed("fader");
    event.max_parameters = 3;
    event.widths = {kFieldWord, kFieldByte, kFieldByte};
    event.reserved = 4;
    event.too_many = "[CH_FADER]: too many parameters.";
    event.relative = "[CH_FADER] can't use relational parameters.";
    return event;
}

// The fader event with its two reserved words.
Pos faderCommand(Pos p, TrackCompile& tc, int32_t kind, int32_t channel) {
    Pos end = lowFirstFlaggedEmitter(p, tc, faderEvent(), [&](int, EventBuffer& buf, size_t offset) {
        buf.patchBE16(offset, static_cast<uint32_t>(kind) & 0xFFFF);
        buf.patchBE16(offset + 2, static_cast<uint32_t>(channel) & 0xFFFF);
    });
    return skipBlanks(end);
}

}  // namespace

Pos trackFaderCommand(Pos p, TrackCompile& tc) { return faderCommand(p, tc, 0x7FFE, 0x0000); }

Pos channelFaderCommand(Pos p, TrackCompile& tc) {
    Channel channel;
    p = readChannel(p, tc.hd, true, channel);
    p = skipOneComma(p);
    int32_t kind = static_cast<int16_t>(channel.device);
    if (kind == -2) kind = -1;
    return faderCommand(p, tc, kind, channel.channel == -2 ? -1 : channel.channel);
}

Pos effectCommand(Pos p, TrackCompile& tc) {
    FlaggedEvent event;
    event.event = vld::eventNamed("effect");
    event.max_parameters = 5;
    event.too_many = "@e: too many parameters.";
    event.relative = "@e can't use relational parameters.";
    return lowFirstFlaggedEmitter(p, tc, event);
}

Pos effectSendCommand(Pos p, TrackCompile& tc, unsigned mask) {
    int32_t value = 0;
    Pos end = getNumberInRange(p, value, 0, 255, "[EFFECT] parameter is out of range(0-255).",
                               "[EFFECT] must be followed to its parameter.");
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("effect"));
        out(tc, t).put(mask);
        putByte(out(tc, t), value);
    });
    return end;
}

Pos instrumentIdCommand(Pos p, TrackCompile& tc) {
    FixedFieldEvent event;
    event.event = vld::eventNamed("instrument id");
    event.fill = 255;
    event.fields = 3;
    event.omission_allowed = false;
    event.too_many = "@i must have 3 parameters(maker id,device id,model id).";
    event.relative = "@i can't use relational parameters.";
    event.omitted = "@i can't omit 3 parameters(maker id,device id,model id).";
    return fixedFieldEmitter(p, tc, event);
}

Pos sc88ModeBracket(Pos p, TrackCompile& tc) {
    // The mode message goes to a Roland SC-88: tell the driver once per track.
    static constexpr unsigned char kRolandSc88[] = {0x41, 0x10, 0x42};  // maker, device, model
    forEachTrackOf(tc.set(), [&](int t) {
        if (tc.inf[t].instrument_id_written) return;
        out(tc, t).begin(vld::eventNamed("instrument id"));
        for (unsigned char id : kRolandSc88) out(tc, t).put(id);
        tc.inf[t].instrument_id_written = 1;
    });
    return sc88ModeCommand(p, tc.trk, tc.hd, tc.set());
}
