#include "header/meter_key.h"

#include <string_view>
#include <utility>

#include "records/trkinf.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

// A key or meter event: the row's kind byte, the length of the two bytes
// that follow, then the two.
void writeMeta(EventBuffer& buf, vld::EventName event, int first, int second) {
    buf.begin(event);
    buf.put(vld::kEventTable[event.row].pick_value);
    buf.put(2);
    buf.put(static_cast<unsigned>(first));
    buf.put(static_cast<unsigned>(second));
}

bool endsKey(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '}' || c == ']';
}

// Words that name the mode behind a blank; each must end where a key ends.
constexpr std::pair<std::string_view, bool> kModeWords[] = {
    {"major", false}, {"minor", true}, {"maj", false}, {"min", true}, {"m", true},
};

}  // namespace

Pos gatetimeResolutionCommand(Pos p, TrackRecords& /*trk*/, headdata& hd, trkinf* infos, TrackSet set) {
    forEachTrackOf(set, [&](int t) {
        int32_t n = 0;
        int status = 0;
        p = getNumber(p, n, status);
        if (status != kNumberRead)
            vlserror(".gatetime_resolution must be followed to its parameter.", p, kError, 1);
        // Kept in 16 signed bits: a larger value would turn into another.
        if (n < 1 || n > 0x7FFF)
            vlserror(".gatetime_resolution parameter is out of range(8-128).", p, kError, 1);
        if (n != 8 && n != 16 && n != 32 && n != 64 && n != 128)
            vlserror(".gatetime_resolution parameter is out of range(8,16,32,64,128).", p, 4, 1);
        if (t == 0) {
            hd.gate_resolution = static_cast<int16_t>(n);
        } else if (infos) {
            infos[t].gate_resolution = static_cast<int16_t>(n);
        }
    });
    return p;
}

Pos meterCommand(Pos start, TrackRecords& trk, headdata& hd, TrackSet set) {
    Pos p = start;
    forEachTrackOf(set, [&](int t) {
        // Every track reads the same text, so all get the same meter.
        int32_t m = 0;
        int32_t n = 0;
        int status = 0;
        p = getNumber(start, m, status);
        p = skipWhite(p);
        if (*p != '/') vlserror("METER: illegal format. ( METER m/n )", p, kError, 1);
        p = getNumber(p + 1, n, status);
        // Each number is kept in one byte.
        if (m < 0 || m > 0xFF || n < 0 || n > 0xFF) sourceError("METER: parameter is out of range(0 - 255).", p);
        if (t == 0) {
            hd.meter = static_cast<uint16_t>(((m & 0xFF) << 8) | (n & 0xFF));
        } else {
            writeMeta(trk[t].buf, vld::eventNamed("meter"), m, n);
        }
    });
    return p;
}

Pos keyCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set) {
    int fifths = 0;
    int mode = 0;
    p = readKeySignature(p, fifths, mode);
    forEachTrackOf(set, [&](int t) {
        if (t == 0) {
            hd.key[0] = static_cast<uint8_t>(fifths);
            hd.key[1] = static_cast<uint8_t>(mode);
        } else {
            writeMeta(trk[t].buf, vld::eventNamed("key"), fifths, mode);
        }
    });
    return p;
}

Pos readKeySignature(Pos p, int& fifths, int& mode) {
    static constexpr std::string_view kKeyLetters = "fcgdaeb-+#m";
    fifths = 0;
    mode = 0;
    p = skipBlanks(p);
    bool braced = *p == '{';
    if (braced) p = skipWhite(p + 1);
    bool minor = false;
    bool letterRead = false;
    for (;;) {
        unsigned char c = *p;
        unsigned char folded = foldCase(c);
        size_t at = kKeyLetters.find(static_cast<char>(folded));
        if (c == 0 || at == std::string_view::npos) {
            if (!endsKey(c)) mode = 255;
            break;
        }
        ++p;
        if (folded == 'b' && letterRead) {
            fifths -= 7;  // a flat behind the key letter, as in `Eb` and `Bbm`
        } else if (at <= 6) {
            fifths = static_cast<int>(at) - 1;
            letterRead = true;
        } else if (folded == '-') {
            fifths -= 7;
        } else if (folded == 'm') {
            minor = true;
            break;
        } else {
            fifths += 7;
        }
    }
    if (matchKeyword(p, "ajor") == 0) {
        p += 4;
    } else if (minor && matchKeyword(p, "aj") == 0 && endsKey(p[2])) {
        p += 2;  // `Cmaj`
    } else if (matchKeyword(p, "inor") == 0 || minor) {
        fifths -= 3;
        mode = 1;
        if (matchKeyword(p, "inor") == 0) {
            p += 4;
        } else if (minor && matchKeyword(p, "in") == 0 && endsKey(p[2])) {
            p += 2;  // `Amin`
        }
    } else if (letterRead && mode == 0 && (*p == ' ' || *p == '\t')) {
        // The mode as a word of its own: `A minor`, `Eb major`, `F# m`.
        Pos word = skipWhite(p);
        for (const auto& [name, isMinor] : kModeWords) {
            if (matchKeyword(word, name) != 0 || !endsKey(word[name.size()])) continue;
            p = word + name.size();
            if (isMinor) {
                fifths -= 3;
                mode = 1;
            }
            break;
        }
    }
    if (braced) {
        p = skipWhite(p);
        if (*p != '}') vlserror("KEY: format error.", p, kError, 1);
        ++p;
    }
    return p;
}
