#include "dump/format.h"

#include <cstdio>

namespace vld {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string hexBytes(const unsigned char* bytes, size_t count) {
    std::string out;
    out.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += kHexDigits[bytes[i] >> 4];
        out += kHexDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::string hexNumber(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

namespace {

// The escapes both quotings share: `"` and `\` behind a backslash, printable
// ASCII as itself, a line feed as `\n`. False for any other byte.
bool appendSharedEscape(std::string& out, unsigned char c) {
    if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
        out += static_cast<char>(c);
    } else if (c == '\n') {
        out += "\\n";
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::string quotedText(const unsigned char* bytes, size_t count) {
    std::string out = "\"";
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = bytes[i];
        if (appendSharedEscape(out, c)) continue;
        out += "\\x";
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 0x0F];
    }
    return out + "\"";
}

std::string quotedText(const std::string& bytes) {
    return quotedText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string jsonString(const unsigned char* bytes, size_t count) {
    std::string out = "\"";
    for (size_t i = 0; i < count; ++i) {
        unsigned char c = bytes[i];
        if (appendSharedEscape(out, c)) continue;
        if (c < 0x80) {
            out += "\\u00";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0x0F];
        } else {
            // U+0080 to U+00FF in UTF-8.
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out + "\"";
}

std::string jsonString(const std::string& bytes) {
    return jsonString(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string deviceName(uint16_t device) {
    switch (device) {
    case 0x0000: return "FM";
    case 0x0001: return "ADPCM";
    case 0x7FFE: return "track";
    case 0xFFFE: return "all";
    case 0xFFFF: return "MIDI current IF";
    default: break;
    }
    if (device >= 0x8000 && device < 0x8100) return "MIDI IF " + std::to_string(device - 0x8000 + 1);
    return "device " + hexNumber(device);
}

std::string keyName(int8_t fifths, uint8_t mode) {
    static const char* const kMajor[] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C",
                                         "G",  "D",  "A",  "E",  "B",  "F#", "C#"};
    static const char* const kMinor[] = {"Ab", "Eb", "Bb", "F",  "C",  "G",  "D", "A",
                                         "E",  "B",  "F#", "C#", "G#", "D#", "A#"};
    bool named = fifths >= -7 && fifths <= 7 && mode <= 1;
    if (named) return std::string(mode ? kMinor[fifths + 7] : kMajor[fifths + 7]) + (mode ? " minor" : " major");
    if (mode == 255) return "invalid key (fifths " + std::to_string(fifths) + ")";
    return "fifths " + std::to_string(fifths) + ", mode " + std::to_string(mode);
}

std::string noteName(unsigned note) {
    static const char* const kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return kNames[note % 12] + std::to_string(static_cast<int>(note / 12) - 1);
}

std::vector<std::string> flagNames(uint32_t flags) {
    static const struct {
        uint32_t bit;
        const char* name;
    } kFlags[] = {{0x0001, "initialize"}, {0x0080, "wave form"}, {0x1000, "midi out"}, {0x2000, "text or exclusive"}};
    std::vector<std::string> names;
    for (const auto& f : kFlags) {
        if (flags & f.bit) names.push_back(f.name);
        flags &= ~f.bit;
    }
    for (uint32_t bit = 1; bit; bit <<= 1) {
        if (flags & bit) names.push_back(hexNumber(bit));
    }
    return names;
}

}  // namespace vld
