#include "dump/event_decoder.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "dump/exclusive_check.h"
#include "dump/format.h"
#include "format/byte_order.h"
#include "format/event_table.h"
#include "format/layout.h"

namespace vld {

namespace {

constexpr bool kTableLayoutsRead = [] {
    for (const EventRow& row : kEventTable) {
        if (!layoutWellFormed(row.layout)) return false;
    }
    return true;
}();
static_assert(kTableLayoutsRead, "every operand layout of the event table must read");

constexpr const char* kWaveNames[] = {"saw", "square", "triangle", "s.saw", "random"};

std::string number(long long value) { return std::to_string(value); }

bool isFmOrAdpcm(uint16_t device) { return device == 0 || device == 1; }

std::string streamName(int order) { return order == 0 ? "common stream" : "track " + std::to_string(order); }

// Where reading stands inside one event, and how far it may go.
struct Cursor {
    const unsigned char* bytes;
    uint32_t pos;
    uint32_t limit;

    bool has(uint32_t count) const { return count <= limit - pos; }
    unsigned byte() { return bytes[pos++]; }
    uint32_t be16() {
        uint32_t v = getBE16(bytes + pos);
        pos += 2;
        return v;
    }
    uint32_t be32() {
        uint32_t v = getBE32(bytes + pos);
        pos += 4;
        return v;
    }
    DurationForm form = DurationForm::shortest;  // the loosest form of the durations read

    bool duration(uint32_t& value, bool step = false) {
        if (!has(1) || (bytes[pos] >= 0x80 && !has(2))) return false;
        size_t size = 0;
        value = decodeDuration(bytes + pos, size);
        if (size != durationSize(value)) {
            form = std::max(form, step ? DurationForm::longSteps : DurationForm::longGates);
        }
        pos += static_cast<uint32_t>(size);
        return true;
    }
};

// Per-event state of the layout tokens that depend on each other.
struct TokenState {
    std::vector<bool> flags;  // fnote top bits not yet taken by fdur
    size_t next_flag = 0;
    uint32_t counted = 0;
    uint32_t step = 0;
};

// Whether an event is decoded with the listing's texts, or with its typed
// values alone (what a player reads, many times faster).
enum class Texts : bool { left_out, made };

// Adds an operand in place: the hot path of a player's decoding makes no
// temporary Operand to move.
Operand& addOperand(std::vector<Operand>& ops, std::string_view label, OperandType type, int64_t value) {
    Operand& op = ops.emplace_back();
    op.label = label;
    op.type = type;
    op.value = value;
    return op;
}

Operand numberOperand(std::string_view label, long long value, Texts texts);
Operand noteOperand(std::string_view label, unsigned note, Texts texts);
Operand velocityOperand(std::string_view label, unsigned v, Texts texts);

void pushNumber(std::vector<Operand>& ops, std::string_view label, long long value, Texts texts) {
    if (texts == Texts::left_out) addOperand(ops, label, OperandType::number, value);
    else ops.push_back(numberOperand(label, value, texts));
}

void pushNote(std::vector<Operand>& ops, std::string_view label, unsigned note, Texts texts) {
    if (texts == Texts::left_out) addOperand(ops, label, OperandType::note, note);
    else ops.push_back(noteOperand(label, note, texts));
}

void pushVelocity(std::vector<Operand>& ops, std::string_view label, unsigned v, Texts texts) {
    if (texts == Texts::left_out) addOperand(ops, label, OperandType::velocity, v);
    else ops.push_back(velocityOperand(label, v, texts));
}

Operand numberOperand(std::string_view label, long long value, Texts texts) {
    if (texts == Texts::left_out) return {label, OperandType::number, value, {}, {}, {}, {}, {}};
    return {label, OperandType::number, value, {}, {}, {}, number(value), number(value)};
}

Operand noteOperand(std::string_view label, unsigned note, Texts texts) {
    if (texts == Texts::left_out) return {label, OperandType::note, note, {}, {}, {}, {}, {}};
    std::string name = noteName(note);
    return {label, OperandType::note, note, {}, {}, {}, name,
            "{\"number\":" + number(note) + ",\"name\":" + jsonString(name) + "}"};
}

Operand velocityOperand(std::string_view label, unsigned v, Texts texts) {
    Operand op{label, OperandType::velocity, v, {}, {}, {}, "", ""};
    if (texts == Texts::left_out) return op;
    if (v == 0x80) {
        op.text = "none";
        op.json = "{\"kind\":\"none\"}";
    } else if (v < 0x80) {
        op.text = number(v);
        op.json = "{\"kind\":\"absolute\",\"value\":" + number(v) + "}";
    } else {
        int relative = static_cast<int>(v) - 0xC0;
        op.text = (relative >= 0 ? "+" : "") + number(relative);
        op.json = "{\"kind\":\"relative\",\"value\":" + number(relative) + "}";
    }
    return op;
}

Operand textOperand(std::string_view label, const unsigned char* bytes, size_t count, Texts texts) {
    if (texts == Texts::left_out) {
        return {label, OperandType::text, 0, {}, {}, std::vector<uint8_t>(bytes, bytes + count), {}, {}};
    }
    return {label, OperandType::text, 0, {}, {}, std::vector<uint8_t>(bytes, bytes + count),
            quotedText(bytes, count), jsonString(bytes, count)};
}

Operand hexOperand(std::string_view label, const unsigned char* bytes, size_t count, Texts texts) {
    if (texts == Texts::left_out) {
        return {label, OperandType::bytes, 0, {}, {}, std::vector<uint8_t>(bytes, bytes + count), {}, {}};
    }
    std::string hex = hexBytes(bytes, count);
    return {label, OperandType::bytes, 0, {}, {}, std::vector<uint8_t>(bytes, bytes + count),
            hex.empty() ? "none" : hex, "\"" + hex + "\""};
}

Operand pairOperand(std::string_view label, OperandType type, int64_t first, int64_t second, std::string text,
                    std::string json) {
    return {label, type, 0, {}, {first, second}, {}, std::move(text), std::move(json)};
}

std::vector<std::string_view> splitNames(std::string_view names) {
    std::vector<std::string_view> out;
    while (!names.empty()) {
        size_t comma = names.find(',');
        out.push_back(names.substr(0, comma));
        names = comma == std::string_view::npos ? std::string_view{} : names.substr(comma + 1);
    }
    return out;
}

// The rows that can read one code byte, in the order the reader tries them.
struct Readings {
    static constexpr size_t kMost = 8;
    const EventRow* rows[kMost] = {};
    uint8_t count = 0;
};

// The table's rows by code byte, for both kinds of stream.
class RowIndex {
public:
    RowIndex() {
        for (const EventRow& row : kEventTable) {
            for (unsigned code = row.code; code <= row.last_code; ++code) {
                for (int kind = 0; kind < 2; ++kind) {
                    if (!(row.streams & (kind == 0 ? kCommonStream : kTrackStream))) continue;
                    Readings& r = rows_[kind][code];
                    if (r.count < Readings::kMost) r.rows[r.count++] = &row;
                }
            }
        }
    }
    const Readings& of(bool common, uint8_t code) const { return rows_[common ? 0 : 1][code]; }

private:
    Readings rows_[2][256];
};

// Every row's operand layout, read once into tokens.
const std::vector<LayoutToken>& layoutTokens(const EventRow& row) {
    static const auto tokens = [] {
        std::vector<std::vector<LayoutToken>> all;
        for (const EventRow& r : kEventTable) {
            std::vector<LayoutToken> list;
            std::string_view layout = r.layout;
            LayoutToken t;
            while (nextLayoutToken(layout, t)) list.push_back(t);
            all.push_back(std::move(list));
        }
        return all;
    }();
    return tokens[static_cast<size_t>(&row - kEventTable)];
}

const RowIndex& rowIndex() {
    static const RowIndex index;
    return index;
}

// How closely a walk through the stream asks the readings to hold to what the
// compiler writes. The walks are tried from the closest: a stream the compiler
// wrote reads in the first; one from elsewhere may need a looser one.
struct Walk {
    // Only padding follows the first end code. `[end]` and a partition that
    // cut a track back leave end codes inside a stream, but a reading that
    // puts one where none was written is the likelier fault.
    bool end_code_ends = true;
    // The loosest duration form taken. The compiler writes every step in its
    // shortest form, and every gate too but those a tie into a chord patched.
    DurationForm durations = DurationForm::shortest;
};
constexpr Walk kWalks[] = {
    {true, DurationForm::shortest},  {false, DurationForm::shortest},  {true, DurationForm::longGates},
    {false, DurationForm::longGates}, {true, DurationForm::longSteps}, {false, DurationForm::longSteps},
};

// What the walk knows of the track at the point it has read to.
struct TrackState {
    uint32_t clock = 0;
    uint16_t device = 0;     // the device the track plays on
    bool note_read = false;  // a note stands before this point
};

// Reads one event with a reading already chosen, into typed operands and,
// when asked, the listing's texts.
class EventReader {
public:
    EventReader(const StreamInput& input, Texts texts) : in_(input), texts_(texts) {}

    // Decodes the event at p with `row` into `event` (whose offset, code and
    // clock are set); false when the stream ends inside it.
    bool decode(uint32_t p, const EventRow& row, Event& event);

private:
    bool token(const LayoutToken& t, Cursor& c, TokenState& state, Event& event);
    bool group(const LayoutToken& t, Cursor& c, Event& event);
    Operand jump(const LayoutToken& t, uint32_t operand_start, uint32_t value) const;

    const StreamInput& in_;
    Texts texts_;
};

// An event whose reading the walk has taken.
struct ReadEvent {
    uint32_t offset = 0;
    uint32_t clock = 0;
    const EventRow* row = nullptr;  // null: a code no row knows
};

// Chooses the reading of every event of a stream.
class Decoder {
public:
    explicit Decoder(const StreamInput& input) : in_(input), reader_(input, Texts::left_out) {}

    // True when some choice of readings reads the stream to its end.
    bool run();
    const std::vector<ReadEvent>& events() const { return events_; }
    const std::vector<Problem>& problems() const { return problems_; }
    uint32_t padding() const { return padding_; }
    bool readAsWritten() const { return read_as_written_; }

private:
    // A code with more than one reading that decodes: the readings left to
    // try, and the state to go back to.
    struct ChoicePoint {
        uint32_t offset = 0;
        size_t event_count = 0;  // events before this one
        TrackState state;        // before this event
        Readings readings;
        size_t tried = 0;  // the index of the reading taken now
    };

    bool common() const { return in_.order == 0; }
    Readings readingsAt(uint32_t p) const;
    bool holds(const EventRow& row, uint32_t p) const;
    const ReadEvent* eventAt(int64_t offset, uint8_t code) const;
    // Reads the event at p with the first of `readings` from `from` on that
    // decodes, appends it and returns its index; `readings.count` when none does.
    size_t readFirst(uint32_t p, const Readings& readings, size_t from, const Walk& walk);
    void problem(uint32_t offset, const std::string& text);
    bool restIsPadding(uint32_t p) const;
    void restart();
    bool search(const Walk& walk);
    void listWithProblems();

    const StreamInput& in_;
    EventReader reader_;
    std::vector<ReadEvent> events_;
    std::vector<Problem> problems_;
    uint32_t padding_ = 0;
    bool read_as_written_ = false;
    TrackState state_;
    Event last_;  // the event read last, decoded without texts
};

// The event read so far that starts at `offset` with `code`, or null.
const ReadEvent* Decoder::eventAt(int64_t offset, uint8_t code) const {
    if (offset < 0 || offset >= in_.length || in_.bytes[offset] != code) return nullptr;
    auto it = std::lower_bound(events_.begin(), events_.end(), offset,
                               [](const ReadEvent& e, int64_t at) { return e.offset < at; });
    return it != events_.end() && it->offset == offset ? &*it : nullptr;
}

bool Decoder::holds(const EventRow& row, uint32_t p) const {
    const unsigned char* s = in_.bytes;
    uint32_t left = in_.length - p;
    switch (row.pick) {
    case Pick::always: return true;
    case Pick::firstOperand: return left >= 2 && s[p + 1] == row.pick_value;
    case Pick::repeatLink: {
        // 0xD8, 16-bit pass, back value at F: F + 2 - back is the count of a 0xCD.
        if (left < 11) return false;
        int64_t f = p + 3;
        int64_t start = f + 2 - static_cast<int32_t>(getBE32(s + f));
        return eventAt(start - 1, 0xCD) != nullptr;
    }
    case Pick::codaLink: {
        if (left < 5) return false;
        // The coda leads back to just past its to-coda, whose link leads here.
        int64_t target = int64_t{p} + 5 + static_cast<int32_t>(getBE32(s + p + 1));
        const ReadEvent* toCoda = eventAt(target - 1, 0xD4);
        if (!toCoda) return false;
        Event read;
        read.offset = toCoda->offset;
        read.code = 0xD4;
        EventReader reader(in_, Texts::left_out);
        if (!reader.decode(toCoda->offset, *toCoda->row, read)) return false;
        const Operand* link = read.operand("link");
        return link && link->target == p + 1;
    }
    case Pick::trackIndex: return left >= 3 && getBE16(s + p + 1) < static_cast<uint32_t>(in_.track_count);
    case Pick::wordPresence: return left >= 4 && s[p + 2] == 0x00 && s[p + 3] == 0x01;
    case Pick::midiDevice: return !isFmOrAdpcm(state_.device);
    case Pick::fmDevice: return isFmOrAdpcm(state_.device);
    case Pick::velocityBytes:
        if (left < 9) return false;
        return std::all_of(s + p + 1, s + p + 9, [](unsigned char b) { return b <= 0x7F || b == 0xFF; });
    }
    return false;
}

Readings Decoder::readingsAt(uint32_t p) const {
    const Readings& rows = rowIndex().of(common(), in_.bytes[p]);
    Readings preferred, others;
    for (size_t i = 0; i < rows.count; ++i) {
        const EventRow& row = *rows.rows[i];
        bool test = holds(row, p);
        if (row.pick == Pick::firstOperand && !test) continue;
        Readings& into = test ? preferred : others;
        into.rows[into.count++] = &row;
    }
    for (size_t i = 0; i < others.count; ++i) preferred.rows[preferred.count++] = others.rows[i];
    return preferred;
}

Operand EventReader::jump(const LayoutToken& t, uint32_t operand_start, uint32_t value) const {
    int64_t v = static_cast<int32_t>(value);
    int64_t target = 0;
    switch (t.kind) {
    case Kind::fwdend: target = operand_start + 4 + v; break;
    case Kind::fwdstart: target = operand_start + v; break;
    case Kind::backend: target = operand_start + 4 - v; break;
    default: target = operand_start + 2 - v; break;  // backstart2
    }
    Operand op{t.label, OperandType::link, v, {}, {}, {}, "", ""};
    bool inside = target >= 0 && target < in_.length;
    bool linked = v != 0 || (t.kind != Kind::fwdend && t.kind != Kind::fwdstart);
    if (inside && linked) op.target = static_cast<uint32_t>(target);
    if (texts_ == Texts::left_out) return op;
    op.text = number(v);
    if (!linked) {
        op.text += " (not linked)";
        op.json = "{\"value\":0,\"target\":null}";
        return op;
    }
    op.text += inside ? " -> " + hexNumber(static_cast<uint32_t>(target)).substr(2) : " -> outside the stream";
    op.json = "{\"value\":" + number(v) + ",\"target\":" + (inside ? number(target) : "null") + "}";
    return op;
}

bool EventReader::group(const LayoutToken& t, Cursor& c, Event& event) {
    uint32_t presence = 0;
    int elements = 8;
    if (t.kind == Kind::lo16) {
        if (!c.has(2)) return false;
        presence = c.be16();
        elements = 16;
    } else {
        if (!c.has(1)) return false;
        presence = c.byte();
    }
    std::vector<std::string_view> names;
    if (texts_ == Texts::made) names = splitNames(t.names);
    Operand values{t.label, OperandType::group, 0, {}, {}, {}, "", ""};
    std::string text, json;
    auto add = [&](const std::string& name, const std::string& textValue, const std::string& jsonValue) {
        if (texts_ == Texts::left_out) return;
        text += (text.empty() ? "" : " ") + name + ":" + textValue;
        json += (json.empty() ? "" : ",") + jsonString(name) + ":" + jsonValue;
    };
    if (t.kind == Kind::sw8) {
        bool on = presence & 0x80;
        values.value = on;
        add("switch", on ? "on" : "off", on ? "true" : "false");
        elements = 7;
    }
    for (int i = 0; i < elements; ++i) {
        int bit = t.kind == Kind::hi8 ? 7 - i : t.kind == Kind::sw8 ? 6 - i : i;
        values.elements.emplace_back();
        if (!(presence & (1u << bit))) continue;
        long long value = 0;
        uint32_t d = 0;
        switch (t.widthOf(i)) {
        case Width::u8:
            if (!c.has(1)) return false;
            value = c.byte();
            break;
        case Width::s8:
            if (!c.has(1)) return false;
            value = static_cast<int8_t>(c.byte());
            break;
        case Width::u16:
            if (!c.has(2)) return false;
            value = c.be16();
            break;
        case Width::s16:
            if (!c.has(2)) return false;
            value = static_cast<int16_t>(c.be16());
            break;
        case Width::dur:
            if (!c.duration(d)) return false;
            value = d;
            break;
        }
        values.elements.back() = value;
        if (texts_ == Texts::made) {
            std::string name = static_cast<size_t>(i) < names.size() ? std::string(names[i]) : number(i + 1);
            add(name, number(value), number(value));
        }
    }
    // Positions past the last one given carry nothing.
    while (!values.elements.empty() && !values.elements.back()) values.elements.pop_back();
    if (texts_ == Texts::made) {
        values.text = text.empty() ? "none" : text;
        values.json = "{" + json + "}";
    }
    event.operands.push_back(std::move(values));
    return true;
}

bool EventReader::token(const LayoutToken& t, Cursor& c, TokenState& state, Event& event) {
    const std::string_view label = t.label;
    std::vector<Operand>& ops = event.operands;
    const unsigned char* s = c.bytes;
    uint32_t start = c.pos;
    uint32_t d = 0;
    switch (t.kind) {
    case Kind::u8:
        if (!c.has(1)) return false;
        pushNumber(ops, label, c.byte(), texts_);
        return true;
    case Kind::s8:
        if (!c.has(1)) return false;
        pushNumber(ops, label, static_cast<int8_t>(c.byte()), texts_);
        return true;
    case Kind::u16:
        if (!c.has(2)) return false;
        pushNumber(ops, label, c.be16(), texts_);
        return true;
    case Kind::s16:
        if (!c.has(2)) return false;
        pushNumber(ops, label, static_cast<int16_t>(c.be16()), texts_);
        return true;
    case Kind::u32:
        if (!c.has(4)) return false;
        pushNumber(ops, label, c.be32(), texts_);
        return true;
    case Kind::u8m1:
        if (!c.has(1)) return false;
        pushNumber(ops, label, c.byte() + 1, texts_);
        return true;
    case Kind::u16m1:
        if (!c.has(2)) return false;
        pushNumber(ops, label, c.be16() + 1, texts_);
        return true;
    case Kind::hex:
        if (!c.has(t.size)) return false;
        c.pos += t.size;
        ops.push_back(hexOperand(label, s + start, t.size, texts_));
        return true;
    case Kind::ifb: {
        if (!c.has(1)) return false;
        unsigned v = c.byte();
        pushNumber(ops, label, v, texts_);
        if (v == 255) {
            ops.back().text = "none";
            ops.back().json = "null";
        }
        return true;
    }
    case Kind::mod: {
        if (!c.has(1)) return false;
        unsigned v = c.byte();
        // An odd byte names no modulator: its value stays 0.
        pushNumber(ops, label, v % 2 == 0 ? v / 2 + 1 : 0, texts_);
        if (v % 2) {
            ops.back().text = "byte " + number(v);
            ops.back().json = "{\"byte\":" + number(v) + "}";
        }
        return true;
    }
    case Kind::note:
        if (!c.has(1)) return false;
        pushNote(ops, label, c.byte(), texts_);
        return true;
    case Kind::codenote: pushNote(ops, label, event.code, texts_); return true;
    case Kind::fnote: {
        if (!c.has(1)) return false;
        unsigned v = c.byte();
        state.flags.push_back(v & 0x80);
        pushNote(ops, label, v & 0x7F, texts_);
        return true;
    }
    case Kind::fdur:
        if (state.next_flag < state.flags.size() && state.flags[state.next_flag++]) {
            if (!c.duration(d)) return false;
            pushNumber(ops, label, d, texts_);
        }
        return true;
    case Kind::step:
        if (!c.duration(d, true)) return false;
        state.step += d;
        pushNumber(ops, label, d, texts_);
        return true;
    case Kind::dur:
        if (!c.duration(d)) return false;
        pushNumber(ops, label, d, texts_);
        return true;
    case Kind::gate:
        if (!c.duration(d)) return false;
        pushNumber(ops, label, d, texts_);
        ops.back().type = OperandType::gate;
        if (d == kGateTie || d == kGateHold) {
            ops.back().text = d == kGateTie ? "tie" : "hold";
            ops.back().json = "\"" + ops.back().text + "\"";
        }
        return true;
    case Kind::vel:
        if (!c.has(1)) return false;
        pushVelocity(ops, label, c.byte(), texts_);
        return true;
    case Kind::vol: {
        if (!c.has(1)) return false;
        unsigned v = c.byte();
        bool small = v >= 128;
        unsigned value = small ? v - 128 : v;
        ops.push_back({label, OperandType::volume, value, {}, {small ? 16 : 127}, {}, "", ""});
        if (texts_ == Texts::made) {
            ops.back().text = small ? number(value) + "/16" : number(value);
            ops.back().json = "{\"value\":" + number(value) + ",\"scale\":" + (small ? "16" : "127") + "}";
        }
        return true;
    }
    case Kind::wave: {
        if (!c.has(2)) return false;
        uint32_t raw = c.be16();
        uint32_t w = raw >= 0x8000 ? raw - 32760 : raw;
        pushNumber(ops, label, w, texts_);
        if (texts_ == Texts::made && w < std::size(kWaveNames)) ops.back().text += std::string(" (") + kWaveNames[w] + ")";
        return true;
    }
    case Kind::device: {
        if (!c.has(2)) return false;
        uint32_t word = c.be16();
        ops.push_back({label, OperandType::device, word, {}, {}, {}, "", ""});
        if (texts_ == Texts::made) {
            ops.back().text = deviceName(static_cast<uint16_t>(word));
            ops.back().json = "{\"word\":" + number(word) + ",\"name\":" + jsonString(ops.back().text) + "}";
        }
        return true;
    }
    case Kind::fwdend:
    case Kind::fwdstart:
    case Kind::backend:
    case Kind::backstart2:
        if (!c.has(4)) return false;
        ops.push_back(jump(t, start, c.be32()));
        return true;
    case Kind::vlist8: {
        if (!c.has(8)) return false;
        Operand list{label, OperandType::group, 0, {}, {}, {}, "", ""};
        std::string json;
        for (int i = 0; i < 8; ++i) {
            unsigned v = c.byte();
            if (v == 0xFF) list.elements.emplace_back();
            else list.elements.emplace_back(v);
            if (texts_ == Texts::left_out) continue;
            list.text += (i ? " " : "") + (v == 0xFF ? std::string("-") : number(v));
            json += (i ? "," : "") + (v == 0xFF ? std::string("null") : number(v));
        }
        if (texts_ == Texts::made) list.json = "[" + json + "]";
        ops.push_back(std::move(list));
        return true;
    }
    case Kind::text0: {
        const unsigned char* end = std::find(s + c.pos, s + c.limit, 0);
        if (end == s + c.limit) return false;
        ops.push_back(textOperand(label, s + c.pos, static_cast<size_t>(end - (s + c.pos)), texts_));
        c.pos = static_cast<uint32_t>(end - s) + 1;
        return true;
    }
    case Kind::label: {
        if (!c.has(1)) return false;
        unsigned n = c.byte();
        if (!c.has(n)) return false;
        ops.push_back(textOperand(label, s + c.pos, n, texts_));
        c.pos += n;
        return true;
    }
    case Kind::frame8:
    case Kind::frame32: {
        uint32_t n = 0;
        if (t.kind == Kind::frame8) {
            if (!c.has(1)) return false;
            n = c.byte();
        } else {
            if (!c.has(4)) return false;
            n = c.be32();
        }
        if (!c.has(n)) return false;
        c.limit = c.pos + n;
        pushNumber(ops, label, n, texts_);
        return true;
    }
    case Kind::restHex:
    case Kind::restText:
    case Kind::restMessage:
    case Kind::restKey:
    case Kind::restMeter: {
        const unsigned char* rest = s + c.pos;
        uint32_t n = c.limit - c.pos;
        c.pos = c.limit;
        if (t.kind == Kind::restText) {
            // Event texts end in a 0 byte that belongs to the frame, not to the text.
            uint32_t shown = static_cast<uint32_t>(std::find(rest, rest + n, 0) - rest);
            ops.push_back(textOperand(label, rest, shown, texts_));
        } else if (t.kind == Kind::restKey && n == 2 && texts_ == Texts::left_out) {
            ops.push_back(pairOperand(label, OperandType::key, static_cast<int8_t>(rest[0]), rest[1], "", ""));
        } else if (t.kind == Kind::restMeter && n == 2 && texts_ == Texts::left_out) {
            ops.push_back(pairOperand(label, OperandType::meter, rest[0], rest[1], "", ""));
        } else if (t.kind == Kind::restKey && n == 2) {
            std::string name = keyName(static_cast<int8_t>(rest[0]), rest[1]);
            ops.push_back(pairOperand(label, OperandType::key, static_cast<int8_t>(rest[0]), rest[1], name,
                                      "{\"fifths\":" + number(static_cast<int8_t>(rest[0])) + ",\"mode\":" +
                                          number(rest[1]) + ",\"name\":" + jsonString(name) + "}"));
        } else if (t.kind == Kind::restMeter && n == 2) {
            ops.push_back(pairOperand(label, OperandType::meter, rest[0], rest[1], number(rest[0]) + "/" + number(rest[1]),
                                      "{\"numerator\":" + number(rest[0]) + ",\"denominator\":" + number(rest[1]) +
                                          "}"));
        } else {
            ops.push_back(hexOperand(label, rest, n, texts_));
        }
        if (t.kind == Kind::restMessage && texts_ == Texts::made) {
            std::string text, json;
            for (const MessageCheck& check : checkExclusive(rest, n)) {
                const char* verdict = check.verdict == Verdict::right ? "right"
                                      : check.verdict == Verdict::wrong ? "wrong"
                                                                        : "none";
                std::string one = check.maker + " " + verdict;
                if (check.verdict == Verdict::wrong) one += " (should be " + hexNumber(check.expected, 2) + ")";
                text += (text.empty() ? "" : ", ") + one;
                json += std::string(json.empty() ? "" : ",") + "{\"maker\":" + jsonString(check.maker) +
                        ",\"verdict\":\"" + verdict + "\",\"expected\":" +
                        (check.verdict == Verdict::none ? "null" : number(check.expected)) +
                        ",\"note\":" + jsonString(check.note) + "}";
            }
            ops.push_back({"checksum", OperandType::checksums, 0, {}, {}, {}, text, "[" + json + "]"});
        }
        return true;
    }
    case Kind::count32:
        if (!c.has(4)) return false;
        state.counted = c.be32();
        pushNumber(ops, label, state.counted, texts_);
        return true;
    case Kind::countedHex:
        if (!c.has(state.counted)) return false;
        ops.push_back(hexOperand(label, s + c.pos, state.counted, texts_));
        c.pos += state.counted;
        return true;
    case Kind::even:
        if (c.pos % 2 == 1) {
            if (!c.has(1)) return false;
            ++c.pos;
        }
        return true;
    case Kind::split: {
        if (!c.has(1)) return false;
        unsigned head = c.byte();
        unsigned entries = head & 0x7F;
        Operand split{label, OperandType::split, head & 0x80 ? 1 : 0, {}, {}, {}, "", ""};
        std::string text = head & 0x80 ? "on" : "off", json;
        for (unsigned i = 0; i < entries; ++i) {
            if (!c.has(6)) return false;
            unsigned low = c.byte(), high = c.byte();
            uint32_t bank = c.be16(), program = c.be16() + 1;
            split.elements.insert(split.elements.end(), {low, high, bank, program});
            if (texts_ == Texts::left_out) continue;
            text += "; " + noteName(low) + "-" + noteName(high) + " bank " + number(bank) + " program " + number(program);
            json += std::string(i ? "," : "") + "{\"from\":" + number(low) + ",\"to\":" + number(high) +
                    ",\"bank\":" + number(bank) + ",\"program\":" + number(program) + "}";
        }
        split.text = text;
        split.json = "{\"switch\":" + std::string(head & 0x80 ? "true" : "false") + ",\"entries\":[" + json + "]}";
        ops.push_back(std::move(split));
        return true;
    }
    case Kind::lo8:
    case Kind::hi8:
    case Kind::lo16:
    case Kind::sw8: return group(t, c, event);
    case Kind::bad: return false;
    }
    return false;
}

bool EventReader::decode(uint32_t p, const EventRow& row, Event& event) {
    event.operands.clear();
    event.row = &row;
    event.known = true;
    if (texts_ == Texts::made) event.name = std::string(row.name);
    Cursor c{in_.bytes, p + 1, in_.length};
    TokenState state;
    uint32_t frame_end = 0;
    bool framed = false;
    for (const LayoutToken& t : layoutTokens(row)) {
        if (!token(t, c, state, event)) return false;
        if (t.kind == Kind::frame8 || t.kind == Kind::frame32) {
            framed = true;
            frame_end = c.limit;
        }
    }
    if (framed) c.pos = frame_end;
    event.size = c.pos - p;
    event.durations = c.form;
    event.step = state.step;
    return true;
}

size_t Decoder::readFirst(uint32_t p, const Readings& readings, size_t from, const Walk& walk) {
    for (size_t i = from; i < readings.count; ++i) {
        const EventRow& row = *readings.rows[i];
        last_.offset = p;
        last_.code = in_.bytes[p];
        if (!reader_.decode(p, row, last_)) continue;
        if (last_.durations > walk.durations) continue;
        events_.push_back({p, state_.clock, &row});
        if (!common()) state_.clock += last_.step;
        // The compiler moves a track to another device at a channel change
        // only once the track has a note.
        if (last_.code == 0xCC && state_.note_read) state_.device = static_cast<uint16_t>(last_.number("device"));
        if (last_.code < 0x80 || last_.code == 0x84 || last_.code == 0x85) state_.note_read = true;
        return i;
    }
    return readings.count;
}

void Decoder::problem(uint32_t offset, const std::string& text) {
    problems_.push_back({in_.file_offset + offset, streamName(in_.order) + " at stream offset " +
                                                       hexNumber(offset).substr(2) + ": " + text});
}

bool Decoder::restIsPadding(uint32_t p) const {
    return std::all_of(in_.bytes + p, in_.bytes + in_.length, [](unsigned char b) { return b == kEndCode; });
}

void Decoder::restart() {
    events_.clear();
    problems_.clear();
    padding_ = 0;
    state_ = TrackState{0, in_.device, false};
}

// A depth-first walk over the readings: at a code with several readings the
// preferred one is taken first, and when the stream then fails to read to its
// end the walk goes back to the latest such code and takes its next reading.
// Whether the rest of a stream reads from an offset does not depend on how
// the walk got there, so every offset found on a failed walk is marked and
// never read again: the walk stays linear in the length of the stream.
bool Decoder::search(const Walk& walk) {
    restart();
    std::vector<ChoicePoint> choices;
    std::vector<bool> failed(size_t{in_.length} + 1, false);
    uint32_t p = 0;
    bool forward = true;
    for (;;) {
        if (forward) {
            if (p == in_.length) {
                if (common()) return true;  // the common stream needs no end code
                forward = false;
                continue;
            }
            if (failed[p]) {
                forward = false;
                continue;
            }
            Readings readings = readingsAt(p);
            ChoicePoint here{p, events_.size(), state_, readings, 0};
            here.tried = readFirst(p, readings, 0, walk);
            if (here.tried == readings.count) {
                failed[p] = true;
                forward = false;
                continue;
            }
            if (here.tried + 1 < readings.count) choices.push_back(here);
        } else {
            // Back to the latest code with a reading left.
            if (choices.empty()) return false;
            ChoicePoint& choice = choices.back();
            for (size_t i = choice.event_count + 1; i < events_.size(); ++i) failed[events_[i].offset] = true;
            events_.resize(choice.event_count);
            state_ = choice.state;
            choice.tried = readFirst(choice.offset, choice.readings, choice.tried + 1, walk);
            if (choice.tried == choice.readings.count) {
                failed[choice.offset] = true;
                choices.pop_back();
                continue;
            }
            if (choice.tried + 1 == choice.readings.count) choices.pop_back();
        }
        // An event has just been read: `last_`.
        uint32_t next = last_.offset + last_.size;
        if (last_.code == kEndCode) {
            if (restIsPadding(next)) {
                padding_ = in_.length - next;
                return true;
            }
            if (walk.end_code_ends) {
                forward = false;
                continue;
            }
        }
        p = next;
        forward = true;
    }
}

// No choice of readings reads the stream to its end: list it with the
// preferred readings and name the first fault.
void Decoder::listWithProblems() {
    restart();
    bool ended = false;
    uint32_t p = 0;
    while (p < in_.length) {
        uint8_t code = in_.bytes[p];
        Readings readings = readingsAt(p);
        if (readings.count == 0) {
            events_.push_back({p, state_.clock, nullptr});
            problem(p, "unknown event code " + hexNumber(code, 2) + "; the rest of the stream is not listed");
            return;
        }
        if (readFirst(p, readings, 0, Walk{false, DurationForm::longSteps}) == readings.count) {
            char text[160];
            std::snprintf(text, sizeof text, "truncated event %s (%s): the stream ends %u byte(s) after its code",
                          hexNumber(code, 2).c_str(), std::string(readings.rows[0]->name).c_str(),
                          in_.length - p - 1);
            problem(p, text);
            return;
        }
        ended = code == kEndCode;
        p += last_.size;
        if (ended && restIsPadding(p)) {
            padding_ = in_.length - p;
            break;
        }
    }
    if (!ended && !common()) problem(in_.length, "the stream ends without its end code 0xFF");
}

bool Decoder::run() {
    for (const Walk& walk : kWalks) {
        if (search(walk)) {
            read_as_written_ = walk.durations != DurationForm::longSteps;
            return true;
        }
    }
    listWithProblems();
    return false;
}

}  // namespace

Timing Timing::of(uint16_t time_base, uint16_t meter) {
    Timing t;
    t.whole_note = time_base;
    unsigned m = meter >> 8, n = meter & 0xFF;
    if (m && n) {
        t.numerator = m;
        t.denominator = n;
    }
    return t;
}

std::string Timing::position(uint32_t clock) const {
    if (whole_note == 0) return "-";
    uint32_t beat = std::max<uint32_t>(1, whole_note / denominator);
    uint32_t bar = beat * numerator;
    size_t width = 2;
    for (uint32_t v = beat - 1; v >= 100; v /= 10) ++width;
    std::string tick = std::to_string(clock % beat);
    if (tick.size() < width) tick.insert(0, width - tick.size(), '0');
    return std::to_string(clock / bar + 1) + ":" + std::to_string(clock % bar / beat + 1) + ":" + tick;
}

Stream decodeStream(const StreamInput& input) {
    Decoder decoder(input);
    decoder.run();
    Stream out;
    out.order = input.order;
    out.file_offset = input.file_offset;
    out.length = input.length;
    out.padding = decoder.padding();
    out.read_as_written = decoder.readAsWritten();
    out.problems = decoder.problems();
    out.events.reserve(decoder.events().size());
    EventReader reader(input, Texts::made);
    for (const ReadEvent& read : decoder.events()) {
        Event event;
        event.offset = read.offset;
        event.code = input.bytes[read.offset];
        event.has_clock = input.order != 0;
        event.clock = read.clock;
        if (event.has_clock) event.position = input.timing.position(read.clock);
        if (read.row) {
            reader.decode(read.offset, *read.row, event);
        } else {
            event.known = false;
            event.size = 1;
            event.name = "unknown";
            event.operands.push_back(numberOperand("code", event.code, Texts::made));
            event.operands.back().text = hexNumber(event.code, 2);
        }
        event.hex = hexBytes(input.bytes + read.offset, event.size);
        out.events.push_back(std::move(event));
    }
    return out;
}

StreamReadings chooseReadings(const StreamInput& input) {
    Decoder decoder(input);
    StreamReadings out;
    out.complete = decoder.run();
    out.problems = decoder.problems();
    static_assert(std::size(kEventTable) < 255, "a reading's row index fits in a byte");
    out.row_at.assign(input.length, 0);
    for (const ReadEvent& read : decoder.events()) {
        if (read.row) out.row_at[read.offset] = static_cast<uint8_t>(read.row - kEventTable + 1);
    }
    return out;
}

bool decodeEvent(const StreamInput& input, uint32_t offset, const EventRow& row, Event& event) {
    event.offset = offset;
    event.code = input.bytes[offset];
    return EventReader(input, Texts::left_out).decode(offset, row, event);
}

}  // namespace vld
