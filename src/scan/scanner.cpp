#include "scan/scanner.h"

#include "records/records.h"
#include "scan/diagnostics.h"

namespace {

bool isLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

// Steps over one line end; CR LF counts as one, so a search for LF alone
// never stops inside it.
Pos stepLineEnd(Pos p) {
    if (*p == '\r') {
        ++p;
        if (*p == '\n') ++p;
    } else {
        ++p;
    }
    return p;
}

bool inSet(unsigned char c, std::string_view set) { return set.find(static_cast<char>(c)) != std::string_view::npos; }

// The dots behind a length, each adding half of what the one before added;
// `kind` becomes kLengthDotted when there is one.
Pos addDots(Pos p, int32_t clocks, int kindBefore, uint16_t& length, int& kind) {
    kind = kindBefore;
    int32_t half = clocks;
    while (*p == '.') {
        half /= 2;
        clocks += half;
        p = skipBlanks(p + 1);
        kind = kLengthDotted;
    }
    length = static_cast<uint16_t>(clocks);
    return p;
}

// Whether a line end lies between the two positions.
bool crossesLineEnd(Pos from, Pos to) {
    for (Pos p = from; p < to; ++p)
        if (isLineEnd(*p)) return true;
    return false;
}

}  // namespace

Pos skipComment(Pos p) {
    while (!isLineEnd(*p)) {
        if (atEndMark(p)) return p;
        ++p;
    }
    return stepLineEnd(p);
}

Pos skipWhiteSlow(Pos p) {
    for (;;) {
        if (*p == ' ' || *p == '\t') {
            ++p;
        } else if (p[0] == 0x81 && p[1] == 0x40) {
            p += 2;
        } else {
            return p;
        }
    }
}

Pos skipBlanksSlow(Pos p) {
    for (;;) {
        if (*p == ' ' || *p == '\t') {
            ++p;
        } else if (p[0] == 0x81 && p[1] == 0x40) {
            p += 2;
        } else if (*p == '/') {
            p = skipComment(p);
        } else {
            return p;
        }
    }
}

Pos skipSpaceSlow(Pos p) {
    for (;;) {
        if (*p == ' ' || *p == '\t') {
            ++p;
        } else if (isLineEnd(*p)) {
            p = stepLineEnd(p);
        } else if (*p == '/') {
            p = skipComment(p);
        } else if (p[0] == 0x81 && p[1] == 0x40) {
            p += 2;
        } else {
            return p;
        }
    }
}

Pos skipLine(Pos p) {
    while (!isLineEnd(*p)) {
        if (atEndMark(p)) return p;
        ++p;
    }
    return stepLineEnd(p);
}

int matchKeyword(Pos p, std::string_view keyword) {
    for (size_t i = 0; i < keyword.size(); ++i) {
        unsigned char k = static_cast<unsigned char>(keyword[i]);
        if (foldCase(p[i]) != foldCase(k)) return 1;
    }
    return 0;
}

Pos getNumber(Pos start, int32_t& value, int& status) {
    uint32_t magnitude = 0;  // wraps like the 32-bit register it stands for
    int sign = 1;
    unsigned base = 10;
    bool nothingRead = true;
    bool markSeen = false;  // a `-` or a base mark: without digits the number is malformed
    status = kNumberRead;
    // The bytes are read through a plain pointer: this runs for nearly every
    // command, and the reading is needed only for the one warning.
    Reading* const reading = start.reading();
    const unsigned char* p = start.bytes();
    if (!plainByte(*p)) p = skipSpaceSlow(Pos(p, reading)).bytes();
    if (*p >= '0' && *p <= '9') {
        // The common plain decimal, read at once; a base mark behind the
        // digits carries on in the general loop below, as it would have.
        p = readDigits(p, magnitude);
        nothingRead = false;
        if (*p != '$' && *p != '%') {
            value = static_cast<int32_t>(magnitude);
            return Pos(p, reading);
        }
    }
    for (;;) {
        unsigned char c = *p;
        if (c == '+') {
            if (!nothingRead) break;
            ++p;
        } else if (c == '-') {
            if (!nothingRead) break;
            sign = -1;
            markSeen = true;
            ++p;
        } else if (c == ' ' || c == '\t') {
            if (!nothingRead) break;
            ++p;
            vlserror("illegal space.", Pos(p, reading), 3, 1);
        } else if (c == '$' || c == '%') {
            base = c == '$' ? 16 : 2;
            markSeen = true;
            ++p;
        } else if (c >= '0' && c <= '9') {
            if (base == 2 && c >= '2') {
                status = kNumberMalformed;
                break;
            }
            magnitude = magnitude * base + (c - '0');
            nothingRead = false;
            ++p;
        } else if (base == 16 && ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
            magnitude = magnitude * 16 + (foldCase(c) - 'a' + 10);
            nothingRead = false;
            ++p;
        } else {
            break;
        }
    }
    if (nothingRead && status == kNumberRead) status = markSeen ? kNumberMalformed : kNumberOmitted;
    value = static_cast<int32_t>(sign < 0 ? 0u - magnitude : magnitude);
    return Pos(p, reading);
}

Pos requiredNumber(Pos p, int32_t& value, const char* missingMessage) {
    int status = 0;
    Pos end = getNumber(p, value, status);
    if (status != kNumberRead) sourceError(missingMessage, p);
    return end;
}

Pos readNumber(Pos p, int32_t& value, int& status) {
    Pos end = getNumber(p, value, status);
    return status != kNumberOmitted ? end : p;
}

Pos commaAfter(Pos p) {
    Pos q = skipWhite(p);
    return *q == ',' ? q : nullptr;
}

Pos matchKeywordList(Pos p, const char* const* keywords, int base, int32_t& value) {
    for (int i = 0; keywords && keywords[i]; ++i) {
        std::string_view keyword = keywords[i];
        if (matchKeyword(p, keyword) == 0) {
            value = i + base;
            return p + keyword.size();
        }
    }
    return nullptr;
}

Pos getKeywordOrNumber(Pos p, int32_t& value, int& status, const char* const* keywords, int base) {
    p = skipBlanks(p);
    if (Pos behind = matchKeywordList(p, keywords, base, value)) {
        status = kNumberRead;
        return behind;
    }
    p = getNumber(p, value, status);
    if (status == kNumberMalformed) vlserror("parameter error.", p, kError, 1);
    return p;
}

Pos getLength(Pos p, uint16_t& length, int defaultLength, int& kind, const headdata& hd) {
    // Most lengths are a plain decimal or none at all, with the next command
    // right behind or behind a few blanks: those are read here without the
    // general number reader. With none, the general reader would stop behind
    // the blanks too.
    Pos behindBlanks = p.at(skipSpacesAndTabs(p.bytes()));
    if (beginsNoLength(*behindBlanks)) {
        length = static_cast<uint16_t>(defaultLength);
        kind = kLengthDefault;
        return behindBlanks;
    }
    const unsigned char first = *p;
    if (first >= '0' && first <= '9') {
        uint32_t value = 0;
        Pos q = p.at(readDigits(p.bytes(), value));
        if (*q != '$' && *q != '%') {
            int32_t n = static_cast<int32_t>(value);
            return addDots(q, n != 0 ? hd.whole_note_clocks / n : 0, kLengthGiven, length, kind);
        }
    }
    int32_t n = 0;
    int status = 0;
    int32_t clocks = 0;
    Pos start = p;
    p = getNumber(p, n, status);
    if (status == kNumberOmitted && crossesLineEnd(start, p)) {
        // No length, and the search for one reached another line: a `.` or
        // `*` there begins the next command, not this length's dots.
        p = start;
    }
    if (status == kNumberRead) {
        clocks = n != 0 ? hd.whole_note_clocks / n : 0;
        kind = kLengthGiven;
    } else if (status == kNumberMalformed) {
        vlserror("SYNTAX ERROR", p, kError, 1);
        clocks = 0;
        kind = kLengthGiven;
    } else if (*p == '*') {
        p = getNumber(p + 1, n, status);
        if (status != kNumberRead) vlserror("`*' must be followed to its parameter.", p, kError, 1);
        clocks = n & 0xFFFF;
        kind = kLengthGiven;
    } else {
        clocks = defaultLength;
        kind = kLengthDefault;
    }
    return addDots(p, clocks, kind, length, kind);
}

void getDataItem(std::vector<unsigned char>& out, Pos p, int& consumed) {
    int32_t value = 0;
    int status = 0;
    Pos q = getNumber(p, value, status);
    if (status == kNumberRead) {
        if (value < 256) {
            out.push_back(static_cast<unsigned char>(value));
        } else {
            for (uint32_t rest = static_cast<uint32_t>(value); rest != 0; rest >>= 7) out.push_back(rest & 0x7F);
        }
    } else if (status == kNumberOmitted && *q == '"') {
        // A quoted text: its bytes up to the closing quote or the line end.
        Pos t = q + 1;
        while (*t != '"' && !isLineEnd(*t) && !atEndMark(t)) out.push_back(*t++);
        if (*t == '"') ++t;
        q = t;
    }
    consumed = static_cast<int>(q - p);
}

void packExclusive(std::vector<unsigned char>& out, const unsigned char* in, size_t count, int frameType) {
    auto checksum = [](unsigned sum) { return static_cast<unsigned char>((0u - sum) & 0x7F); };
    size_t header = frameType == 1 ? 5 : (frameType == 2 || frameType == 4) ? 4 : count;
    if (header > count) header = count;
    out.insert(out.end(), in, in + header);
    unsigned sum = 0;
    if (frameType == 2 || frameType == 4) {
        int n = static_cast<int>(count) - 4 - (frameType == 2 ? 3 : 0);
        unsigned char high = (n >> 7) & 0x7F;
        unsigned char low = n & 0x7F;
        out.push_back(high);
        out.push_back(low);
        if (frameType == 2) sum += high + low;
    }
    for (size_t i = header; i < count; ++i) {
        out.push_back(in[i]);
        sum += in[i];
    }
    if (frameType == 1 || frameType == 2 || frameType == 4) out.push_back(checksum(sum));
}

Pos exclusive(EventBuffer& out, Pos start, const ExclusiveFrame& frame, int& consumed) {
    std::vector<unsigned char> body;
    if (frame.f0f7) body.push_back(0xF0);
    if (frame.frame_type == 1) {
        body.insert(body.end(), {0x41, frame.device_id, frame.model_id, 0x12});
    } else if (frame.frame_type >= 2 && frame.frame_type <= 4) {
        body.insert(body.end(), {0x43, frame.device_id, frame.model_id});
    }
    body.insert(body.end(), frame.prefix.begin(), frame.prefix.end());

    Pos p = start;
    if (frame.opening) {
        p = skipToRequired(p, std::string_view(&frame.opening, 1)) + 1;
    } else {
        p = skipSpace(p);
    }
    bool quoted = frame.opening == '"';
    if (quoted) --p;
    Pos listStart = p;

    unsigned char first = frame.closing.empty() ? 0 : static_cast<unsigned char>(frame.closing[0]);
    while (quoted || *p != first) {
        Pos itemStart = p;
        int count = 0;
        getDataItem(body, p, count);
        // In the quoted form the position stays on the closing quote.
        p += (quoted && count > 1 && p[count - 1] == '"') ? count - 1 : count;
        if (*p == '/') p = skipComment(p);
        // Name the line where the list began, not the end of the text.
        if (atEndMark(p)) sourceError("unexpected EOF.", listStart);
        if (!inSet(*p, frame.closing)) vlserror("illegal partition character.", p, kError, 1);
        if (*p == ',') ++p;
        if (quoted || p == itemStart) break;
    }

    size_t length = body.size() + (frame.f0f7 ? 1 : 0) +
                    (frame.frame_type == 1 ? 1 : (frame.frame_type == 2 || frame.frame_type == 4) ? 3 : 0);
    std::string_view label = frame.label.substr(0, 255);
    out.begin(vld::eventNamed("exclusive", vld::kCommonStream));
    out.put(frame.interface_no);
    out.put(static_cast<unsigned>(label.size()));
    out.putText(label);
    out.putBE32(static_cast<uint32_t>(length));
    std::vector<unsigned char> packed;
    packed.reserve(length);
    packExclusive(packed, body.data(), body.size(), frame.frame_type);
    out.putBytes(packed.data(), packed.size());
    if (frame.f0f7) out.put(0xF7);  // end of exclusive: a byte of the message, inside the frame

    consumed = static_cast<int>(p - start) + 1;
    return start + consumed;
}

Pos skipTo(Pos p, std::string_view set) {
    while (!atEndMark(p) && !inSet(*p, set)) {
        if (isLineEnd(*p)) {
            p = stepLineEnd(p);
        } else {
            ++p;
        }
    }
    return atEndMark(p) ? nullptr : p;
}

Pos skipOver(Pos p, std::string_view set) {
    while (!atEndMark(p) && inSet(*p, set)) {
        if (isLineEnd(*p)) {
            p = stepLineEnd(p);
        } else {
            ++p;
        }
    }
    return atEndMark(p) ? nullptr : p;
}

Pos skipToRequired(Pos p, std::string_view set) {
    Pos found = skipTo(p, set);
    // Point the message at the command, not at the end of the text.
    if (!found) vlserror("unexpected EOF.", p, kError, 1);
    return found;
}
