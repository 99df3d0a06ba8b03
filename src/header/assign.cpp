// Track assignment: `.ASSIGN`, `(A...)`, the channel reader, and the small
// reader of an IF number and a comment.
#include "header/assign.h"

#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

constexpr uint16_t kDeviceFm = 0;
constexpr uint16_t kDeviceAdpcm = 1;
constexpr uint16_t kDeviceMidi = 0x8000;
constexpr uint16_t kDeviceCurrentMidi = 0xFFFF;
constexpr uint16_t kDeviceAll = 0xFFFE;

// A channel number of the previous generation: 1-8 FM, 9 ADPCM, 10-25 MIDI,
// 26-39 further ADPCM channels, 40 and up MIDI again.
Channel numericChannel(int k, const headdata& hd) {
    int x = wrapped(int64_t{k} - 1);
    if (hd.sc88_mode == 1) {
        if (x < 16) {
            x += 9;
        } else if (x <= 24) {
            x -= 16;
        }
    }
    if (x < 8) return {x, kDeviceFm};
    if (x == 8) return {0, kDeviceAdpcm};
    if (x <= 24) return {x - 9, kDeviceCurrentMidi};
    if (x <= 38) return {(x - 9) % 16, kDeviceAdpcm};
    return {x, kDeviceCurrentMidi};
}

// The next automatic channel of `adpcm` or `all` in this run: 8 (adpcm) or -2
// (all) first, then 25, 26 and so on.
int automaticChannel(headdata& hd, bool all) {
    int k = ++hd.adpcm_channel_counter;
    if (k == 1) return all ? -2 : 8;
    return k + 23;
}

// One number or `all` after the `-` of an interface-channel pair.
Pos readChannelAfterDash(Pos p, int32_t& m, int& status) {
    p = skipBlanks(p);
    if (matchKeyword(p, "all") == 0) {
        m = -1;
        status = kNumberRead;
        return p + 3;
    }
    return getNumber(p, m, status);
}

}  // namespace

Pos readChannel(Pos p, headdata& hd, bool allowAll, Channel& out) {
    int32_t k = 0;
    int status = 0;
    Pos q = getNumber(p, k, status);
    if (status == kNumberMalformed) sourceError("illegal channel number is specified.", q);
    if (status == kNumberRead) {
        out = numericChannel(k, hd);
        return q;
    }

    p = skipBlanks(q);
    struct Word {
        const char* name;
        uint16_t device;
    };
    static constexpr Word kWords[] = {{"fm", kDeviceFm}, {"adpcm", kDeviceAdpcm}, {"midi", kDeviceMidi}, {"all", kDeviceAll}};
    const Word* word = nullptr;
    for (const Word& w : kWords) {
        if (w.device == kDeviceAll && !allowAll) continue;
        if (matchKeyword(p, w.name) == 0) {
            word = &w;
            break;
        }
    }
    if (!word) sourceError("illegal channel-strings is specified.", p);
    p += std::string_view(word->name).size();

    int32_t m = 0;
    p = getNumber(p, m, status);
    if (status == kNumberMalformed) sourceError("SYNTAX ERROR", p);
    bool hasInterface = false;
    int32_t interface = 0;
    if (status == kNumberRead && *skipWhite(p) == '-') {
        hasInterface = true;
        interface = m;
        p = readChannelAfterDash(skipWhite(p) + 1, m, status);
        if (status == kNumberMalformed) sourceError("SYNTAX ERROR", p);
    }

    out.device = word->device;
    if (status != kNumberRead) {
        if (word->device == kDeviceAdpcm || word->device == kDeviceAll) {
            out.channel = automaticChannel(hd, word->device == kDeviceAll);
            return p;
        }
        sourceError("illegal channel-strings is specified.", p);
    }
    if (word->device == kDeviceAdpcm) {
        out.channel = m == 1 ? 8 : wrapped(int64_t{m} + 23);
    } else if (word->device == kDeviceAll) {
        out.channel = -2;
    } else if (!hasInterface) {
        out.channel = wrapped(int64_t{m} - 1);
        if (word->device == kDeviceMidi) out.device = kDeviceCurrentMidi;
    } else if (word->device == kDeviceFm) {
        // An FM channel has no MIDI interface.
        sourceError("illegal channel-strings is specified.", p);
    } else {
        out.channel = wrapped(int64_t{m} - 1);
        if (out.channel < 0 || out.channel > 15)
            sourceError("illegal channel number is specified. (must be in between 1 to 16)", p);
        out.device = static_cast<uint16_t>(wrapped(int64_t{kDeviceMidi} + interface - 1));
    }
    return p;
}

bool trackIsListed(const headdata& hd, int n) {
    for (int i = 0; i < kTrackCount && !(hd.track_list[i] & 0x80); ++i)
        if (hd.track_list[i] == n) return true;
    return false;
}

void allocateTrack(TrackRecords& trk, headdata& hd, int n, int channel, uint16_t device) {
    trkdata& track = trk[n];
    track.channel = static_cast<uint8_t>(channel);
    track.assigned_channel = static_cast<uint8_t>(channel);
    track.device = device;
    int count = 0;
    while (count < kTrackCount && !(hd.track_list[count] & 0x80)) ++count;
    if (count < kTrackCount) {
        hd.track_list[count] = static_cast<uint8_t>(n);
        hd.track_list[count + 1] = 255;
    }
    allocTrackBuffer(trk, n);
}

Pos getAssign2(Pos p, trkdata& track, char terminator) {
    static constexpr const char* kModes[] = {"play", "record", nullptr};
    static constexpr const char* kKinds[] = {"normal", "rhythm", nullptr};
    track.priority = 128;
    track.interface_no = 1;
    track.mode = 0;
    track.kind = 0;
    track.has_comment = false;
    track.comment.clear();

    p = skipBlanks(p);
    if (*p == terminator) return p + 1;
    uint8_t* fields[] = {&track.priority, &track.interface_no, &track.mode, &track.kind};
    const char* const* keywords[] = {nullptr, nullptr, kModes, kKinds};
    for (int i = 0; i < 4; ++i) {
        if (*p != ',') return p;
        int32_t value = 0;
        int status = 0;
        p = getKeywordOrNumber(p + 1, value, status, keywords[i], 0);
        if (status == kNumberRead) {
            *fields[i] = static_cast<uint8_t>(value);
        } else if (*skipBlanks(p) == ',') {
            *fields[i] = 0;  // an empty field
        } else {
            sourceError("SYNTAX ERROR.", p);
        }
        p = skipBlanks(p);
        if (*p == terminator) return p + 1;
    }
    if (*p == ',') {
        Pos text = p + 1;
        p = skipToRequired(text, std::string_view(&terminator, 1));
        track.has_comment = true;
        track.comment.assign(reinterpret_cast<const char*>(text.bytes()), p - text);
    }
    if (*p == terminator) ++p;
    return p;
}

Pos assignCommand(Pos p, TrackRecords& trk, headdata& hd, bool parenthesised) {
    Channel channel;
    if (parenthesised) {
        p = readChannel(p, hd, false, channel);
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
    } else {
        p = skipBlanks(p);
        if (matchKeyword(p, "tr") == 0) p += 2;
    }

    int32_t n = 0;
    int status = 0;
    p = getNumber(p, n, status);
    if (status != kNumberRead) sourceError("no track number is specified.", p);
    if (n < 1) sourceError("illegal track number is specified. (must be over than 0)", p);
    if (n >= kTrackCount) sourceError("illegal track number is specified. (must be in between 1 to 80)", p);
    if (trackIsListed(hd, n)) sourceError("The specified track# is already used.", p);

    if (!parenthesised) {
        p = skipBlanks(p);
        if (*p == '{' || *p == ',') ++p;
        p = readChannel(p, hd, false, channel);
    }
    allocateTrack(trk, hd, n, channel.channel, channel.device);
    return getAssign2(p, trk[n], parenthesised ? ')' : '}');
}

Pos getIfnoAndComment(Pos p, std::string_view terminators, int& ifno, std::string& comment) {
    ifno = -1;
    comment.clear();
    p = skipBlanks(p);
    if (*p == '=') {
        p = skipBlanks(p + 1);
    } else if (*p != ',') {
        int32_t value = 0;
        int status = 0;
        p = getNumber(p, value, status);
        if (status == kNumberMalformed) sourceError("SYNTAX ERROR", p);
        if (status == kNumberRead) ifno = value;
    }
    p = skipBlanks(p);
    if (*p == ',') {
        Pos text = skipBlanks(p + 1);
        p = skipToRequired(text, terminators);
        comment.assign(reinterpret_cast<const char*>(text.bytes()), p - text);
    }
    if (terminators.find(static_cast<char>(*p)) == std::string_view::npos) sourceError("SYNTAX ERROR", p);
    return p;
}
