// Reading the operand layouts of the event table (format/event_table.h
// describes the notation) one token at a time. Everything here is constexpr,
// so that a malformed layout in the table stops the build.
#pragma once
#include <cstdint>
#include <string_view>

namespace vld {

enum class Kind : uint8_t {
    u8, s8, u16, s16, u32, u8m1, u16m1, hex, ifb, mod,
    note, codenote, fnote, fdur, step, gate, dur, vel, vol, wave, device,
    fwdend, fwdstart, backend, backstart2,
    vlist8, text0, label, frame8, frame32,
    restHex, restText, restMessage, restKey, restMeter,
    count32, countedHex, even, split,
    lo8, hi8, lo16, sw8,
    bad,
};

// Width of one element of a flagged group.
enum class Width : uint8_t { u8, s8, u16, s16, dur };

struct LayoutToken {
    Kind kind = Kind::bad;
    std::string_view label;
    std::string_view names;  // element names of a group, comma-separated
    uint16_t size = 0;       // bytes of a hexN token
    Width widths[8] = {};
    uint8_t width_count = 0;

    constexpr bool isGroup() const { return kind == Kind::lo8 || kind == Kind::hi8 || kind == Kind::lo16 || kind == Kind::sw8; }
    constexpr Width widthOf(int element) const { return widths[element < width_count ? element : width_count - 1]; }
};

namespace layout_detail {

struct KindName {
    std::string_view name;
    Kind kind;
};

inline constexpr KindName kKindNames[] = {
    {"u8", Kind::u8},           {"s8", Kind::s8},
    {"u16", Kind::u16},         {"s16", Kind::s16},
    {"u32", Kind::u32},         {"u8m1", Kind::u8m1},
    {"u16m1", Kind::u16m1},     {"ifb", Kind::ifb},
    {"mod", Kind::mod},         {"note", Kind::note},
    {"codenote", Kind::codenote}, {"fnote", Kind::fnote},
    {"fdur", Kind::fdur},       {"step", Kind::step},
    {"gate", Kind::gate},       {"dur", Kind::dur},
    {"vel", Kind::vel},         {"vol", Kind::vol},
    {"wave", Kind::wave},       {"device", Kind::device},
    {"fwdend", Kind::fwdend},   {"fwdstart", Kind::fwdstart},
    {"backend", Kind::backend}, {"backstart2", Kind::backstart2},
    {"vlist8", Kind::vlist8},   {"text0", Kind::text0},
    {"label", Kind::label},     {"frame8", Kind::frame8},
    {"frame32", Kind::frame32}, {"rest.hex", Kind::restHex},
    {"rest.text", Kind::restText}, {"rest.message", Kind::restMessage},
    {"rest.key", Kind::restKey}, {"rest.meter", Kind::restMeter},
    {"count32", Kind::count32}, {"counted.hex", Kind::countedHex},
    {"even", Kind::even},       {"split", Kind::split},
};

inline constexpr KindName kGroupNames[] = {
    {"lo8", Kind::lo8}, {"hi8", Kind::hi8}, {"lo16", Kind::lo16}, {"sw8", Kind::sw8}};

constexpr bool widthNamed(std::string_view text, Width& width) {
    if (text == "u8") width = Width::u8;
    else if (text == "s8") width = Width::s8;
    else if (text == "u16") width = Width::u16;
    else if (text == "s16") width = Width::s16;
    else if (text == "dur") width = Width::dur;
    else return false;
    return true;
}

constexpr bool readKind(std::string_view text, LayoutToken& token) {
    for (const KindName& k : kKindNames) {
        if (k.name == text) {
            token.kind = k.kind;
            return true;
        }
    }
    if (text.size() > 3 && text.substr(0, 3) == "hex") {
        unsigned size = 0;
        for (char c : text.substr(3)) {
            if (c < '0' || c > '9') return false;
            size = size * 10 + static_cast<unsigned>(c - '0');
            if (size > 1024) return false;
        }
        token.kind = Kind::hex;
        token.size = static_cast<uint16_t>(size);
        return size > 0;
    }
    size_t dot = text.find('.');
    if (dot == std::string_view::npos) return false;
    for (const KindName& g : kGroupNames) {
        if (g.name != text.substr(0, dot)) continue;
        std::string_view widths = text.substr(dot + 1);
        while (!widths.empty()) {
            size_t comma = widths.find(',');
            std::string_view one = widths.substr(0, comma);
            if (token.width_count == 8 || !widthNamed(one, token.widths[token.width_count])) return false;
            ++token.width_count;
            widths = comma == std::string_view::npos ? std::string_view{} : widths.substr(comma + 1);
        }
        token.kind = g.kind;
        return token.width_count > 0;
    }
    return false;
}

}  // namespace layout_detail

// Takes the next token off `rest`. Returns false at the end of the layout;
// a token that does not read has the kind `bad`.
constexpr bool nextLayoutToken(std::string_view& rest, LayoutToken& token) {
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty()) return false;
    size_t end = rest.find(' ');
    std::string_view text = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
    token = LayoutToken{};
    size_t colon = text.find(':');
    std::string_view kind = text.substr(0, colon);
    if (colon != std::string_view::npos) {
        std::string_view label = text.substr(colon + 1);
        size_t equals = label.find('=');
        if (equals != std::string_view::npos) {
            token.names = label.substr(equals + 1);
            label = label.substr(0, equals);
        }
        token.label = label;
    }
    if (!layout_detail::readKind(kind, token)) token.kind = Kind::bad;
    return true;
}

// True when every token reads and the tokens that depend on others have them.
constexpr bool layoutWellFormed(std::string_view layout) {
    LayoutToken token;
    int pendingFlags = 0;
    bool frame = false, counted = false;
    while (nextLayoutToken(layout, token)) {
        switch (token.kind) {
        case Kind::bad: return false;
        case Kind::fnote: ++pendingFlags; break;
        case Kind::fdur:
            if (pendingFlags-- == 0) return false;
            break;
        case Kind::frame8:
        case Kind::frame32:
            if (frame) return false;
            frame = true;
            break;
        case Kind::restHex:
        case Kind::restText:
        case Kind::restMessage:
        case Kind::restKey:
        case Kind::restMeter:
            if (!frame) return false;
            break;
        case Kind::count32: counted = true; break;
        case Kind::countedHex:
            if (!counted) return false;
            break;
        default:
            if (token.names.size() && !token.isGroup()) return false;
            break;
        }
    }
    return pendingFlags == 0;
}

}  // namespace vld
