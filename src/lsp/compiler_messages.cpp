#include "lsp/compiler_messages.h"

#include "lsp/text_positions.h"

namespace {

// Reads a decimal number at `at`; false when there is no digit there.
bool readNumber(std::string_view text, size_t& at, int& value) {
    size_t start = at;
    long long n = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        if (n < 1000000000) n = n * 10 + (text[at] - '0');
        ++at;
    }
    value = static_cast<int>(n);
    return at > start;
}

bool consume(std::string_view text, size_t& at, std::string_view word) {
    if (text.substr(at, word.size()) != word) return false;
    at += word.size();
    return true;
}

// "Error: message" or "Warning: message" from `at` on.
bool readKindAndText(std::string_view text, size_t at, CompilerMessage& out) {
    if (consume(text, at, "Error: ")) {
        out.error = true;
    } else if (consume(text, at, "Warning: ")) {
        out.error = false;
    } else {
        return false;
    }
    out.text = std::string(text.substr(at));
    return true;
}

// "file<TAB>LnCm: Error: text": tried at every TAB, as a file name may hold one.
bool readPlacedMessage(std::string_view line, CompilerMessage& out) {
    for (size_t tab = line.find('\t'); tab != std::string_view::npos; tab = line.find('\t', tab + 1)) {
        size_t at = tab + 1;
        CompilerMessage message;
        if (!consume(line, at, "L") || !readNumber(line, at, message.line) || !consume(line, at, "C") ||
            !readNumber(line, at, message.column) || !consume(line, at, ": ") || !readKindAndText(line, at, message))
            continue;
        message.file = std::string(line.substr(0, tab));
        out = std::move(message);
        return true;
    }
    return false;
}

// "name<TAB>Error: text", a failure that names a file but no place in it.
bool readUnplacedMessage(std::string_view line, CompilerMessage& out) {
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return false;
    CompilerMessage message;
    if (!readKindAndText(line, tab + 1, message)) return false;
    message.file = std::string(line.substr(0, tab));
    out = std::move(message);
    return true;
}

// The caret line: blanks (TABs kept from the source line), then `^`.
bool isCaretLine(std::string_view line) {
    size_t at = line.find_first_not_of(" \t");
    return at != std::string_view::npos && line[at] == '^' && at + 1 == line.size();
}

}  // namespace

std::vector<CompilerMessage> parseCompilerMessages(std::string_view printed) {
    std::vector<std::string_view> lines = splitLines(printed);
    std::vector<CompilerMessage> messages;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        CompilerMessage message;
        if (readPlacedMessage(line, message)) {
            if (i + 2 < lines.size() && isCaretLine(lines[i + 2])) {
                message.shown = std::string(lines[i + 1]);
                i += 2;
            }
        } else if (!readUnplacedMessage(line, message)) {
            if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
            message.text = std::string(line);
        }
        messages.push_back(std::move(message));
    }
    return messages;
}

bool showsLine(std::string_view shown, std::string_view line) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    size_t at = 0;
    for (char ch : line) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            const char escaped[] = {'\\', 'x', kHex[c >> 4], kHex[c & 0xF]};
            if (shown.substr(at, 4) != std::string_view(escaped, 4)) return false;
            at += 4;
        } else {
            if (at >= shown.size() || shown[at] != ch) return false;
            ++at;
        }
    }
    return at == shown.size();
}
