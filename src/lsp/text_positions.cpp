#include "lsp/text_positions.h"

#include <cctype>

namespace {

// The length of the UTF-8 sequence that begins with `lead`, and how many
// UTF-16 units it takes; a stray continuation or invalid byte is one byte.
struct Utf8Step {
    size_t bytes;
    int units;
};

Utf8Step stepAt(std::string_view text, size_t at) {
    unsigned char c = static_cast<unsigned char>(text[at]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (at + length > text.size()) return {1, 1};
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return {1, 1};
    return {length, length == 4 ? 2 : 1};
}

bool isAsciiAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

size_t skipWhile(std::string_view line, size_t at, bool (*pred)(char)) {
    while (at < line.size() && pred(line[at])) ++at;
    return at;
}

bool isNameChar(char c) { return isAsciiAlpha(c) || isAsciiDigit(c) || c == '_' || c == '*'; }
bool isAccidental(char c) { return c == '#' || c == '+' || c == '-' || c == '!'; }
bool isLengthChar(char c) { return isAsciiDigit(c) || c == '.' || c == '*' || c == '^'; }
bool isNumberChar(char c) {
    return isAsciiDigit(c) || c == '$' || c == '%' || c == '+' || c == '-' || (c >= 'A' && c <= 'F') ||
           (c >= 'a' && c <= 'f');
}
bool isDecimalOrSign(char c) { return isAsciiDigit(c) || c == '+' || c == '-' || c == '$'; }

}  // namespace

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

int utf16Column(std::string_view line, size_t bytes) {
    if (bytes > line.size()) bytes = line.size();
    int units = 0;
    for (size_t at = 0; at < bytes;) {
        Utf8Step step = stepAt(line, at);
        at += step.bytes;
        units += step.units;
    }
    return units;
}

size_t byteOffset(std::string_view line, int column) {
    size_t at = 0;
    int units = 0;
    while (at < line.size()) {
        Utf8Step step = stepAt(line, at);
        if (units + step.units > column) break;
        units += step.units;
        at += step.bytes;
    }
    return at;
}

size_t commandEnd(std::string_view line, size_t at) {
    if (at >= line.size()) return line.size();
    char c = line[at];
    if (c == '[') {
        size_t close = line.find(']', at);
        return close == std::string_view::npos ? line.size() : close + 1;
    }
    if (c == '.' && at + 1 < line.size() && isAsciiAlpha(line[at + 1])) return skipWhile(line, at + 1, isNameChar);
    if (c == '@') {
        size_t end = at + 1;
        if (end < line.size() && isAsciiAlpha(line[end])) ++end;
        return skipWhile(line, end, isDecimalOrSign);
    }
    if (isAsciiAlpha(c)) return skipWhile(line, skipWhile(line, at + 1, isAccidental), isLengthChar);
    if (isDecimalOrSign(c)) return skipWhile(line, at + 1, isNumberChar);
    return at + stepAt(line, at).bytes;
}

std::string trimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}
