// Reading the line buffer: blanks, comments and line ends, keywords, numbers,
// lengths and exclusive data. Each routine takes a position and returns the
// position behind what it consumed.
#pragma once
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "format/event_buffer.h"
#include "source/position.h"

struct headdata;

// Results of a number read.
constexpr int kNumberRead = 0;
constexpr int kNumberOmitted = -1;
constexpr int kNumberMalformed = 1;

// Kinds of a length read.
constexpr int kLengthGiven = 0;
constexpr int kLengthDotted = 1;
constexpr int kLengthDefault = 2;

// The end of the line buffer: two bytes 255.
inline bool atEndMark(Pos p) { return p[0] == 255 && p[1] == 255; }
inline bool isBlank(Pos p) { return *p == ' ' || *p == '\t' || (p[0] == 0x81 && p[1] == 0x40); }

// ASCII letters folded to lower case; every other byte unchanged.
inline unsigned char foldCase(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

// True for a byte no skipping routine stops for: anything above the blank
// but a `/` and the lead byte of an ideographic space. Most command text is
// such a byte, so the routines below return at once without a call.
// Looked up in a table: the test runs before nearly every read.
inline constexpr auto kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 256; ++c) plain[c] = c > ' ' && c != '/' && c != 0x81;
    return plain;
}();
inline bool plainByte(unsigned char c) { return kPlainBytes[c]; }

Pos skipComment(Pos p);
Pos skipWhiteSlow(Pos p);
Pos skipBlanksSlow(Pos p);
Pos skipSpaceSlow(Pos p);
// spaces, TABs and ideographic spaces only: a `/` is kept
inline Pos skipWhite(Pos p) { return plainByte(*p) || *p == '/' ? p : skipWhiteSlow(p); }
// blanks, and a comment with its line end
inline Pos skipBlanks(Pos p) { return plainByte(*p) ? p : skipBlanksSlow(p); }
// blanks, comments and line ends
inline Pos skipSpace(Pos p) { return plainByte(*p) ? p : skipSpaceSlow(p); }
Pos skipLine(Pos p);

// 0 when the text at p begins with the keyword (ASCII letters in any case).
int matchKeyword(Pos p, std::string_view keyword);

// Decimal, `$` hexadecimal or `%` binary, with an optional sign; may stand on
// a following line. status: 0 read, -1 omitted, 1 malformed.
Pos getNumber(Pos p, int32_t& value, int& status);

// A number read from the source may be any 32-bit value. Arithmetic on it is
// done in 64 bits and brought back here: the low 32 bits, as a two's
// complement int, which keeps the low bytes the stored formats take.
inline int32_t wrapped(int64_t value) { return static_cast<int32_t>(static_cast<uint64_t>(value)); }

// A number that must be there; when it is missing or malformed the error
// `missingMessage` points where it was to start, on the command's own line.
Pos requiredNumber(Pos p, int32_t& value, const char* missingMessage);

// getNumber that leaves an omitted number unread: the position stays where
// it was, so that the line ends the search looked across are left to whoever
// reads on.
Pos readNumber(Pos p, int32_t& value, int& status);


// The position of a `,` behind blanks, or null.
Pos commaAfter(Pos p);

// The first of the keywords (a list ended by a null entry, or null) that the
// text at p begins with: value = its index + base, and the position behind it
// is returned. Null when none matches.
Pos matchKeywordList(Pos p, const char* const* keywords, int base, int32_t& value);

// One of the keywords (value = index + base) or a number; a malformed number
// is an error. `keywords` ends with a null entry.
Pos getKeywordOrNumber(Pos p, int32_t& value, int& status, const char* const* keywords, int base);

// A note length: n (whole note / n), `*clocks`, or the default; then dots.
Pos getLength(Pos p, uint16_t& length, int defaultLength, int& kind, const headdata& hd);

// Whether the byte cannot begin a length (a number, a `*` count or dots) and
// is no blank, comment or line end that the number reader would pass over.
inline bool beginsNoLength(unsigned char c) {
    return plainByte(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '$' && c != '%' && c != '*' &&
           c != '.';
}

// The digits of a plain decimal at p (there is at least one): the value,
// wrapping like the 32-bit register it stands for, and the byte behind them.
inline const unsigned char* readDigits(const unsigned char* p, uint32_t& value) {
    value = 0;
    do value = value * 10 + (*p++ - '0');
    while (*p >= '0' && *p <= '9');
    return p;
}

// Spaces and TABs at p: the first other byte.
inline const unsigned char* skipSpacesAndTabs(const unsigned char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// One item of a byte list: a number (7-bit groups from 256 up) or a quoted
// text. `consumed` receives the characters read.
void getDataItem(std::vector<unsigned char>& out, Pos p, int& consumed);

// Appends a message body in its final frame, adding length bytes and the
// Roland or Yamaha checksum as the frame type asks.
void packExclusive(std::vector<unsigned char>& out, const unsigned char* in, size_t count, int frameType);

// The fixed parts of one exclusive event read by `exclusive`.
struct ExclusiveFrame {
    bool f0f7 = false;          // the message is framed by F0 ... F7
    uint8_t interface_no = 255;
    std::string_view label;
    int frame_type = 0;         // 0 plain, 1 Roland, 2 Yamaha bulk, 3 Yamaha parameter, 4 bulk with data checksum
    uint8_t device_id = 0x10;
    uint8_t model_id = 0;
    std::vector<unsigned char> prefix;
    char opening = 0;           // skipped to first (across lines) when not 0
    std::string_view closing;   // the first one ends the list
};

// Reads a data list and appends one exclusive event (code 0x34) to `out`.
// `consumed` counts the characters read, the closing one included; the
// position behind them is returned.
Pos exclusive(EventBuffer& out, Pos p, const ExclusiveFrame& frame, int& consumed);

// The first byte in / not in the set, crossing lines; null at the end mark.
Pos skipTo(Pos p, std::string_view set);
Pos skipOver(Pos p, std::string_view set);

// skipTo for a terminator that must come: when the text ends first, the error
// "unexpected EOF." points at `p`, where the search began.
Pos skipToRequired(Pos p, std::string_view set);
