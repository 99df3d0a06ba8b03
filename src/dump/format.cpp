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

}  // namespace vld
