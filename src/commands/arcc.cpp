#include "commands/arcc.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "commands/emitters.h"
#include "commands/sequences.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

enum ArccKeyword { kLevel, kDepth, kDeepen, kControl, kOrigin, kReset, kSpeed, kDelay, kWaveform, kSwitch, kSync,
                   kMode, kPhase, kOffset, kArccKeywordCount };

constexpr std::string_view kArccKeywords[kArccKeywordCount] = {
    "level", "depth", "deepen", "control", "origin", "reset", "speed",
    "delay", "waveform", "switch", "sync", "mode", "phase", "offset",
};

// Controller names by controller number.
constexpr std::string_view kControllerNames[128] = {
    "bank_msb", "vibrato", "ctrl2", "ctrl3", "ctrl4", "portament_time", "data_entry_msb", "volume",
    "ctrl8", "ctrl9", "panpot", "expression", "ctrl12", "ctrl13", "ctrl14", "ctrl15",
    "ctrl16", "ctrl17", "ctrl18", "ctrl19", "ctrl20", "ctrl21", "ctrl22", "ctrl23",
    "ctrl24", "ctrl25", "ctrl26", "ctrl27", "ctrl28", "ctrl29", "ctrl30", "ctrl31",
    "bank_lsb", "ctrl33", "ctrl34", "ctrl35", "ctrl36", "data_entry_lsb", "ctrl38", "ctrl39",
    "ctrl40", "ctrl41", "ctrl42", "ctrl43", "ctrl44", "ctrl45", "ctrl46", "ctrl47",
    "ctrl48", "ctrl49", "ctrl50", "ctrl51", "ctrl52", "ctrl53", "ctrl54", "ctrl55",
    "ctrl56", "ctrl57", "ctrl58", "ctrl59", "ctrl60", "ctrl61", "ctrl62", "ctrl63",
    "damper", "portament", "sostenuto", "soft", "ctrl68", "freeze", "ctrl70", "ctrl71",
    "ctrl72", "ctrl73", "ctrl74", "ctrl75", "ctrl76", "ctrl77", "ctrl78", "ctrl79",
    "ctrl80", "ctrl81", "ctrl82", "ctrl83", "portament_ctrl", "ctrl85", "ctrl86", "ctrl87",
    "ctrl88", "ctrl89", "ctrl90", "reverb", "tremolo", "chorus", "delay", "phaser",
    "data_increment", "data_decrement", "nrpn_lsb", "nrpn_msb", "rpn_lsb", "rpn_msb", "ctrl102", "ctrl103",
    "ctrl104", "ctrl105", "ctrl106", "ctrl107", "ctrl108", "ctrl109", "ctrl110", "ctrl111",
    "ctrl112", "ctrl113", "ctrl114", "ctrl115", "ctrl116", "ctrl117", "ctrl118", "ctrl119",
    "all_sound_off", "reset_all_controllers", "local", "all_notes_off", "omni_off", "omni_on", "mono", "poly",
};

// Parameter keywords, each with its value.
struct Keyword {
    std::string_view name;
    int value;
};
constexpr Keyword kWaveforms[] = {{"saw", 0}, {"square", 1}, {"triangle", 2}, {"s.saw", 3}, {"random", 4}};
constexpr Keyword kSwitches[] = {{"1/8", -1}, {"off", 0}, {"optional", 1}, {"on", 2}};
constexpr Keyword kOffOn[] = {{"off", 0}, {"on", 1}};
constexpr Keyword kModes[] = {{"normal", 0}, {"special", 1}, {"enhanced", 2}};
constexpr Keyword kPhases[] = {{"normal", 0}, {"reverse", 1}, {"inverse", 2}};

// One modulator block being read.
// A 16-bit operand of an ARCC event; every other operand is a byte.
struct Word {
    uint32_t value;
};
void putOperand(EventBuffer& out, Word word) { out.putBE16(word.value); }
template <typename Byte>
void putOperand(EventBuffer& out, Byte byte) {
    out.put(static_cast<unsigned>(byte));
}

struct Block {
    TrackCompile& tc;
    int n;  // 1 to 4

    unsigned modulatorByte() const { return static_cast<unsigned>((n - 1) * 2); }
    std::string message(std::string_view keyword, std::string_view text) const {
        return "[ARCC" + std::to_string(n) + "." + std::string(keyword) + "]" + std::string(text);
    }
    [[noreturn]] void formatError(std::string_view keyword, Pos p) const {
        sourceError(message(keyword, " format error.").c_str(), p);
    }
    // The event, the modulator byte and `operands` (bytes, or `Word`s), to
    // every track of the set.
    template <typename... Operands>
    void emit(vld::EventName event, Operands... operands) const {
        forEachTrackOf(tc.set(), [&](int t) {
            EventBuffer& out = tc.trk[t].buf;
            out.begin(event);
            out.put(modulatorByte());
            (putOperand(out, operands), ...);
        });
    }
};

// A keyword of the list or a number. status: 0 read, -1 nothing there,
// 1 malformed.
template <size_t N>
Pos keywordOrNumber(Pos p, const Keyword (&keywords)[N], int32_t& value, int& status) {
    p = skipBlanks(p);
    for (const Keyword& k : keywords) {
        if (matchKeyword(p, k.name) == 0) {
            value = k.value;
            status = kNumberRead;
            return p + k.name.size();
        }
    }
    return getNumber(p, value, status);
}

template <size_t N>
Pos requiredKeyword(const Block& block, std::string_view name, Pos p, const Keyword (&keywords)[N], int32_t& value) {
    int status = 0;
    p = keywordOrNumber(p, keywords, value, status);
    if (status != kNumberRead) block.formatError(name, p);
    return p;
}

int clampLevel(int value) { return std::clamp(value, -128, 127); }

Pos controlHandler(const Block& block, Pos p) {
    p = skipBlanks(p);
    int32_t controller = -1;
    for (int i = 0; i < 128; ++i) {
        if (matchKeyword(p, kControllerNames[i]) == 0) {
            controller = i;
            p += kControllerNames[i].size();
            break;
        }
    }
    if (controller < 0) {
        int status = 0;
        p = getNumber(p, controller, status);
        if (status != kNumberRead) block.formatError("CONTROL", p);
    }
    block.emit(vld::eventNamed("arcc control"), 0x80, controller & 0xFF);
    return p;
}

// `origin` and `reset`: one required value 0 to 127 behind a fixed byte.
Pos rangedHandler(const Block& block, Pos p, std::string_view name, unsigned selector) {
    int32_t value = 0;
    int status = 0;
    Pos start = p;
    p = getNumber(p, value, status);
    if (status != kNumberRead) sourceError(block.message(name, ": parameter can't omit.").c_str(), start);
    if (value < 0 || value > 127) sourceError(block.message(name, ": parameter is out of range.").c_str(), p);
    block.emit(vld::eventNamed("arcc control"), selector, value);
    return p;
}

Pos deepenHandler(const Block& block, Pos p) {
    int32_t onOff = 0;
    int status = 0;
    p = keywordOrNumber(p, kOffOn, onOff, status);
    if (status == kNumberMalformed) block.formatError("DEEPEN", p);
    if (status != kNumberRead) onOff = 0;
    p = skipBlanks(p);
    if (*p == ',') ++p;
    std::string tooMany = block.message("DEEPEN", ": too many parameters.");
    std::string relative = block.message("DEEPEN", " can't use relational parameters.");
    FlaggedEvent event;
    event.event = vld::eventNamed("arcc deepen");
    event.max_parameters = 3;
    event.widths = {kFieldStep, kFieldByte, kFieldStep};
    event.omission_allowed = true;
    event.sub = block.n - 1;
    event.tweak = onOff;
    event.too_many = tooMany.c_str();
    event.relative = relative.c_str();
    return highFirstFlaggedEmitter(p, block.tc, event);
}

// `speed` (doubled values, each above 0) and `delay`.
Pos timingHandler(const Block& block, Pos p, bool speed) {
    std::string_view name = speed ? "speed" : "delay";
    std::string tooMany = block.message(name, ": too many parameters.");
    std::string relative = block.message(name, " can't use relatinal parameters.");
    FlaggedEvent event;
    event.event = speed ? vld::eventNamed("arcc speed") : vld::eventNamed("arcc delay", vld::kTrackStream, vld::Pick::always);
    // The presence byte has room for eight values.
    event.max_parameters = 8;
    event.widths = {kFieldWord, kFieldWord, kFieldWord, kFieldWord, kFieldWord, kFieldWord, kFieldWord, kFieldWord};
    event.omission_allowed = true;
    event.sub = block.n - 1;
    event.reserved = 0;
    event.factor = speed ? 2 : 1;
    event.must_be_positive = speed;
    event.too_many = tooMany.c_str();
    event.relative = relative.c_str();
    return lowFirstFlaggedEmitter(p, block.tc, event);
}

Pos waveformHandler(const Block& block, Pos p) {
    int32_t w = 0;
    p = requiredKeyword(block, "WAVEFORM", p, kWaveforms, w);
    uint32_t value = static_cast<uint32_t>(w > 7 ? wrapped(int64_t{w} + 32760) : w) & 0xFFFF;
    block.emit(vld::eventNamed("arcc waveform"), Word{value});
    return p;
}

Pos switchHandler(const Block& block, Pos p) {
    int32_t value = 0;
    p = requiredKeyword(block, "SWITCH", p, kSwitches, value);
    block.emit(vld::eventNamed("arcc switch"), value & 0xFF);
    return p;
}

// The low four bits of s, reversed, in the high nibble: `on` (1) is 0x80.
unsigned syncByte(int32_t s) {
    unsigned out = 0;
    for (int bit = 0; bit < 4; ++bit)
        if (s & (1 << bit)) out |= 0x80u >> bit;
    return out;
}

Pos syncHandler(const Block& block, Pos p) {
    int32_t s = 0;
    p = requiredKeyword(block, "SYNC", p, kOffOn, s);
    int32_t count = 0;
    Pos q = skipBlanks(p);
    if (*q == ',') {
        int status = 0;
        p = getNumber(q + 1, count, status);
        if (status == kNumberMalformed) block.formatError("SYNC", p);
        if (status != kNumberRead) count = 0;
    }
    block.emit(vld::eventNamed("arcc sync"), syncByte(s), Word{static_cast<uint32_t>(count) & 0xFFFF});
    return p;
}

Pos modeHandler(const Block& block, Pos p) {
    int32_t mode = 0;
    p = requiredKeyword(block, "MODE", p, kModes, mode);
    block.emit(vld::eventNamed("arcc mode"), mode == 0 ? 255 : 0);
    return p;
}

Pos phaseHandler(const Block& block, Pos p) {
    int32_t phase = 0;
    p = requiredKeyword(block, "PHASE", p, kPhases, phase);
    block.emit(vld::eventNamed("arcc control"), 0x10, phase == 0 ? 0 : 255);
    return p;
}

Pos offsetHandler(const Block& block, Pos p) {
    int32_t offset = 0;
    int status = 0;
    p = getNumber(p, offset, status);
    if (status != kNumberRead) block.formatError("OFFSET", p);
    forEachTrackOf(block.tc.set(), [&](int t) { block.tc.inf[t].modulator_offset[block.n - 1] = static_cast<int16_t>(offset); });
    return p;
}

// `level` and `depth`: an optional mode keyword, then the level list.
Pos levelHandler(const Block& block, Pos p) {
    Pos start = skipBlanks(p);
    for (const Keyword& k : kSwitches) {
        if (matchKeyword(start, k.name) == 0) {
            Pos values = skipBlanks(start + k.name.size());
            if (*values == ',') ++values;
            return arccLevelWriter(values, block.tc, block.n - 1, k.value);
        }
    }
    // Without a keyword the first item must end at `]` or `,`.
    int32_t first = 0;
    int status = 0;
    Pos after = skipBlanks(getNumber(start, first, status));
    if (status == kNumberMalformed || (*after != ']' && *after != ',')) block.formatError("LEVEL", after);
    return arccLevelWriter(p, block.tc, block.n - 1, 2);
}

}  // namespace

Pos arccLevelWriter(Pos p, TrackCompile& tc, int modulator, int mode) {
    constexpr int kMaxLevels = 8;
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        ParameterElement values[kMaxLevels];
        int count = 0;
        q = readParameterList(q, values, kMaxLevels, count, false);
        count = std::min(count, kMaxLevels);
        for (int i = 0; i < kMaxLevels; ++i) {
            info.sequence_a[i] = i < count ? values[i] : SequenceItem{0, 0, kValueOmitted, kValueNone};
        }
        info.sequence_a_count = static_cast<uint8_t>(count);

        EventBuffer& out = tc.trk[t].buf;
        int offset = info.modulator_offset[modulator];
        out.begin(vld::eventNamed("arcc level"));
        out.put(static_cast<unsigned>(modulator * 2));
        if (mode == kArccShortForm && count < 2) {
            if (count == 0) {
                out.put(0);
                out.put(0);
            } else {
                out.put(1);
                out.put(1);
                out.put(static_cast<unsigned>(clampLevel(values[0].value + offset)) & 0xFF);
            }
            return q;
        }
        int modeByte = mode == kArccShortForm ? 255 : (mode == 2 && count == 1) ? 1 : mode;
        out.put(static_cast<unsigned>(modeByte) & 0xFF);
        unsigned presence = 0;
        for (int i = 0; i < count; ++i)
            if (values[i].kind != kValueOmitted) presence |= 1u << i;
        out.put(presence);
        for (int i = 0; i < count; ++i)
            if (values[i].kind != kValueOmitted) out.put(static_cast<unsigned>(clampLevel(values[i].value + offset)) & 0xFF);
        return q;
    });
}

Pos arccCommand(Pos p, TrackCompile& tc) {
    int32_t n = 0;
    int status = 0;
    p = getNumber(p, n, status);
    if (status != kNumberRead) sourceError("[ARCC] command must contain the ARCC target number.", p);
    if (n < 1 || n > 4) sourceError("ARCC target number is out of range.", p);
    p = skipBlanks(p);
    if (*p != '.') sourceError("[ARCC] format error.", p);
    ++p;
    Block block{tc, n};
    for (int id = 0; id < kArccKeywordCount; ++id) {
        if (matchKeyword(p, kArccKeywords[id]) != 0) continue;
        p += kArccKeywords[id].size();
        switch (static_cast<ArccKeyword>(id)) {
            case kLevel: case kDepth: p = levelHandler(block, p); break;
            case kDeepen: p = deepenHandler(block, p); break;
            case kControl: p = controlHandler(block, p); break;
            case kOrigin: p = rangedHandler(block, p, "ORIGIN", 0x20); break;
            case kReset: p = rangedHandler(block, p, "RESET", 0x40); break;
            case kSpeed: p = timingHandler(block, p, true); break;
            case kDelay: p = timingHandler(block, p, false); break;
            case kWaveform: p = waveformHandler(block, p); break;
            case kSwitch: p = switchHandler(block, p); break;
            case kSync: p = syncHandler(block, p); break;
            case kMode: p = modeHandler(block, p); break;
            case kPhase: p = phaseHandler(block, p); break;
            case kOffset: p = offsetHandler(block, p); break;
            case kArccKeywordCount: break;
        }
        break;
    }
    p = skipBlanks(p);
    if (*p != ']') sourceError("[ARCC] is not closed.", p);
    return p + 1;
}
