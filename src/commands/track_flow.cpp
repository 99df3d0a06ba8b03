#include "commands/track_flow.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "commands/command_reading.h"
#include "header/meter_key.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/notes.h"

namespace {

EventBuffer& out(TrackCompile& tc, int track) { return tc.trk[track].buf; }

void putToEachTrack(TrackCompile& tc, vld::EventName event) {
    forEachTrackOf(tc.set(), [&](int t) { out(tc, t).begin(event); });
}

bool endsLine(Pos p) { return *p == '\r' || *p == '\n' || atEndMark(p); }

// The position of a track in track_list, or -1.
int listPosition(const headdata& hd, int track) {
    for (int i = 0; i < kTrackCount && !(hd.track_list[i] & 0x80); ++i)
        if (hd.track_list[i] == track) return i;
    return -1;
}

// The text from p up to the first of `stops`, which must come before the
// line ends; else `message`.
Pos textUpTo(Pos p, std::string_view stops, const char* message) {
    Pos end = p;
    while (stops.find(static_cast<char>(*end)) == std::string_view::npos) {
        if (endsLine(end)) sourceError(message, end);
        ++end;
    }
    return end;
}

}  // namespace

Pos synchronizeCommand(Pos p, TrackCompile& tc) {
    int32_t track = 0;
    int status = 0;
    Pos end = readNumber(p, track, status);
    int index = -1;
    if (status != kNumberOmitted) {
        index = status == kNumberRead ? listPosition(tc.hd, track) : -1;
        if (index < 0) sourceError("illegal track number.", end);
    }
    forEachTrackOf(tc.set(), [&](int t) {
        if (index < 0) {
            out(tc, t).begin(vld::eventNamed("wait"));
        } else {
            out(tc, t).begin(vld::eventNamed("synchronize"));
            out(tc, t).putBE16(static_cast<uint32_t>(index));
        }
    });
    return end;
}

Pos replayCommand(Pos p, TrackCompile& tc) {
    int32_t track = 0;
    Pos end = getNumberInRange(p, track, 0, 0, "", "J/[REPLAY] requires the target track parameter.");
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("replay"));
        out(tc, t).putBE16(static_cast<uint32_t>(track) & 0xFFFF);
    });
    return end;
}

Pos barCommand(Pos p, TrackCompile& tc) {
    Pos end = textUpTo(p, "]", "illegal track number.");
    putToEachTrack(tc, vld::eventNamed("bar"));
    return end;
}

Pos dummyCommand(Pos p, TrackCompile& tc) {
    putToEachTrack(tc, vld::eventNamed("dummy"));
    return p;
}

Pos allSoundOffCommand(Pos p, TrackCompile& tc) {
    putToEachTrack(tc, vld::eventNamed("all sound off"));
    return p;
}

Pos tieModeCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kModes[] = {"normal", "special", "enhanced", nullptr};
    int32_t value = 0;
    int status = 0;
    Pos end = readKeywordOrNumber(p, value, status, kModes, -3, true);
    if (status != kNumberRead || value == -3) {
        value = 0;
    } else if (value == -2 || value == -1) {
        value = 1;
    }
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("tie mode"));
        out(tc, t).put(static_cast<unsigned>(value) & 0xFF);
    });
    return end;
}

Pos trackModeCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kModes[] = {"normal", "rhythm", nullptr};
    int32_t value = 0;
    int status = 0;
    Pos end = readKeywordOrNumber(p, value, status, kModes, -2, true);
    const unsigned mode = (status != kNumberRead || value == -2) ? 0 : 128;
    forEachTrackOf(tc.set(), [&](int t) {
        out(tc, t).begin(vld::eventNamed("track mode"));
        out(tc, t).put(mode);
        if (tc.inf[t].note_written) tc.trk[t].kind = mode == 128 ? 1 : 0;
    });
    return end;
}

Pos trackDelayCommand(Pos p, TrackCompile& tc, DelayForm form) {
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        uint16_t length = 0;
        if (form == DelayForm::length) {
            int kind = 0;
            q = getLength(q, length, info.default_length, kind, tc.hd);
        } else {
            int32_t clocks = 0;
            int status = 0;
            q = readNumber(q, clocks, status);
            length = static_cast<uint16_t>(status == kNumberRead ? clocks : 0);
        }
        if (*skipWhite(q) == '&') sourceError("@w can't use with TIE on V3.", skipWhite(q) + 1);
        out(tc, t).begin(vld::eventNamed("track delay"));
        out(tc, t).putDuration(length);
        addClocks(info, length);
        return q;
    });
}

Pos echoCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kLoop[] = {"loop", nullptr};
    return forEachTarget(tc, p, [&](int t, Pos q) {
        trkinf& info = tc.inf[t];
        uint16_t length = 0;
        int kind = 0;
        q = getLength(q, length, info.default_length, kind, tc.hd);
        if (length == 0) sourceError("ECHO's 1st parameter must be over 0.", q);
        info.echo_length = length;
        q = skipOneComma(q);
        if (*q == ']') return q;

        int32_t step = 0;
        int status = 0;
        q = readNumber(q, step, status);
        if (status == kNumberMalformed) sourceError("ECHO's 2nd parameter error.", q);
        info.echo_velocity_step = static_cast<int16_t>(status == kNumberRead ? step : 0);
        q = skipOneComma(q);
        if (*q == ']') return q;

        int32_t count = 0;
        q = readKeywordOrNumber(q, count, status, kLoop, 0, false);
        if (status != kNumberRead || count < 0) sourceError("ECHO's 3rd parameter error.", q);
        info.echo_count = static_cast<int16_t>(count);
        return q;
    });
}

Pos keySignatureCommand(Pos p, TrackCompile& tc) {
    static constexpr std::string_view kFifths = "fcgdaeb";
    static constexpr int kPitchClass[] = {9, 11, 0, 2, 4, 5, 7};  // a to g
    auto pitchClassOf = [](char letter) { return kPitchClass[letter - 'a']; };
    return forEachTarget(tc, p, [&](int t, Pos q) {
        int8_t(&signature)[12] = tc.inf[t].key_signature;
        std::fill(std::begin(signature), std::end(signature), 0);
        Pos first = skipWhite(q);
        if (*first != '#' && *first != '+' && *first != '-') {
            int fifths = 0;
            int mode = 0;
            q = readKeySignature(q, fifths, mode);
            if (mode != 255) {
                // A key of more than seven sharps or flats still has only seven letters.
                int count = std::min(std::abs(fifths), static_cast<int>(kFifths.size()));
                for (int i = 0; i < count; ++i) {
                    char letter = fifths > 0 ? kFifths[i] : kFifths[kFifths.size() - 1 - i];
                    signature[pitchClassOf(letter)] = static_cast<int8_t>(fifths > 0 ? 1 : -1);
                }
            }
            q = skipWhite(q);
        }
        int pending = 0;
        bool afterLetter = false;
        while (*q != ']') {
            unsigned char c = *q;
            unsigned char folded = foldCase(c);
            if (c == '#' || c == '+' || c == '-') {
                int step = c == '-' ? -1 : 1;
                pending = afterLetter ? step : pending + step;
                afterLetter = false;
                ++q;
            } else if (c == ',') {
                ++q;
            } else if (folded >= 'a' && folded <= 'g') {
                signature[pitchClassOf(static_cast<char>(folded))] = static_cast<int8_t>(pending);
                afterLetter = true;
                ++q;
            } else if (isBlank(q)) {
                q = skipWhite(q);
            } else {
                sourceError("ksign error.", q);
            }
        }
        return q;
    });
}

Pos commentCommand(Pos p, TrackCompile& tc) {
    Pos start = skipWhite(p);
    Pos end = textUpTo(start, "]", "[comment] format error.");
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& buf = out(tc, t);
        buf.begin(vld::eventNamed("comment"));
        buf.put(0x00);
        buf.putBE32(static_cast<uint32_t>(end - start));
        buf.putBytes(start.bytes(), static_cast<size_t>(end - start));
    });
    return end;
}

Pos eventCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kCategories[] = {"word", "picture", "sound", nullptr};
    static constexpr const char* kWordClasses[] = {"string", nullptr};
    static constexpr const char* kPictureClasses[] = {"pic", nullptr};
    static constexpr const char* kSoundClasses[] = {"adpcm", nullptr};
    static constexpr const char* const* kClasses[] = {kWordClasses, kPictureClasses, kSoundClasses};

    int32_t category = 0;
    int status = 0;
    Pos q = readKeywordOrNumber(p, category, status, kCategories, 0, false);
    if (status != kNumberRead) sourceError("SYNTAX ERROR", q);
    if (category < 0 || category > 2) sourceError("EVENT category is not defined.", q);
    if (category != 0) vlserror("EVENT PICTURE/SOUND is not supported in v2m3.", q, 4, 1);

    int32_t eventClass = 0;
    q = readKeywordOrNumber(skipOneComma(q), eventClass, status, kClasses[category], 0, false);
    if (status != kNumberRead) sourceError("SYNTAX ERROR", q);
    if (eventClass < 0 || eventClass > 2) sourceError("EVENT class is not defined.", q);

    q = skipOneComma(q);
    if (*q == '"') ++q;
    Pos end = textUpTo(q, "\"]", "[event] format error.");
    const size_t length = static_cast<size_t>(end - q);
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& buf = out(tc, t);
        buf.begin(vld::eventNamed("event text"));
        buf.putBE32(static_cast<uint32_t>(length + 5));
        buf.put(static_cast<unsigned>(category));
        buf.put(static_cast<unsigned>(eventClass));
        buf.putBE16(0);
        buf.putBytes(q.bytes(), length);
        buf.put(0x00);
    });
    // The closing `]` is left to the bracket dispatcher, which takes one.
    return *end == '"' ? end + 1 : end;
}
