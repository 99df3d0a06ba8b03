// Exclusive events: user-written MIDI and exclusive data, and the fixed
// messages that reset a sound module or switch its mode.
#include "header/exclusive.h"

#include <array>
#include <string>

#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

bool isLineEndByte(unsigned char c) { return c == '\r' || c == '\n'; }

void putMessageEvent(EventBuffer& out, vld::EventName event, const unsigned char* ifno, std::string_view label,
                     std::span<const unsigned char> message) {
    label = label.substr(0, 255);
    out.begin(event);
    if (ifno) out.put(*ifno);
    out.put(static_cast<unsigned>(label.size()));
    out.putText(label);
    out.putBE32(static_cast<uint32_t>(message.size()));
    out.putBytes(message.data(), message.size());
}

// The IF byte of a user's data list: the number as given, 255 when omitted.
uint8_t interfaceByte(int ifno) { return ifno < 0 ? kNoInterface : static_cast<uint8_t>(ifno); }

// The IF number, the comment and the data list of a raw command; appends the
// event to the common stream.
Pos readDataList(Pos p, TrackRecords& trk, headdata& hd, ExclusiveFrame frame) {
    int ifno = -1;
    std::string comment;
    p = getIfnoAndComment(p, '{', ifno, comment);
    frame.interface_no = interfaceByte(ifno);
    frame.label = comment;
    frame.opening = '{';
    frame.closing = kDataListClosing;
    int consumed = 0;
    p = exclusive(trk[0].buf, p, frame, consumed);
    hd.flags |= kFlagModuleText;
    return p;
}

const char kExclusiveIdError[] = "exclusive ID error.";

// Device and model of YAMAHA_EXCLUSIVE and DX_BULK_DUMP: dev, then after
// blanks only the model (a comma right after dev leaves it 0), then one
// optional comma.
Pos readYamahaIds(Pos p, ExclusiveFrame& frame) {
    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(p, dev, kDefaultDeviceId, kExclusiveIdError);
    frame.device_id = static_cast<uint8_t>(dev);
    p = skipWhite(p);
    int32_t model = 0;
    if (*p != ',' && !isLineEndByte(*p) && *p != '/') p = optionalNumber(p, model, 0, kExclusiveIdError);
    frame.model_id = static_cast<uint8_t>(model);
    p = skipWhite(p);
    if (*p == ',') ++p;
    return p;
}

// Reads a mode word or number; missing or malformed is "SYNTAX ERROR".
Pos readMode(Pos p, std::span<const char* const> words, int base, int32_t& mode) {
    p = skipBlanks(p);
    for (size_t i = 0; i < words.size(); ++i) {
        std::string_view word = words[i];
        if (matchKeyword(p, word) == 0) {
            mode = static_cast<int32_t>(i) + base;
            return p + word.size();
        }
    }
    return requiredParameter(p, mode, "SYNTAX ERROR");
}

constexpr std::array<unsigned char, 9> kGsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00};
constexpr std::array<unsigned char, 5> kGmSystemOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01};
constexpr std::array<unsigned char, 5> kGm2SystemOn = {0xF0, 0x7E, 0x7F, 0x09, 0x03};
constexpr std::array<unsigned char, 8> kXgSystemOn = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00};

Pos mu100Map(Pos p, TrackRecords& trk, headdata& hd, int mode) {
    const std::array<unsigned char, 8> map = {0xF0, 0x43, 0x10, 0x49, 0x00, 0x00, 0x12, static_cast<unsigned char>(mode)};
    p = buildFromTemplate(p, map, "MU100_VOICE_MAP", true, kFramePlain, trk, kCommonTrackSet);
    hd.flags |= kFlagModuleText;
    return p;
}

}  // namespace

// ---- Shared pieces ----

std::vector<unsigned char> frameMessage(std::span<const unsigned char> message, int frameType) {
    std::vector<unsigned char> framed;
    framed.reserve(message.size() + 4);
    packExclusive(framed, message.data(), message.size(), frameType);
    framed.push_back(0xF7);
    return framed;
}

void putExclusiveEvent(EventBuffer& out, uint8_t ifno, std::string_view label, std::span<const unsigned char> message) {
    putMessageEvent(out, vld::eventNamed("exclusive", vld::kCommonStream), &ifno, label, message);
}

Pos buildFromTemplate(Pos p, std::span<const unsigned char> message, std::string_view label, bool readDevice,
                      int frameType, TrackRecords& trk, TrackSet set) {
    std::vector<unsigned char> body(message.begin(), message.end());
    if (readDevice) {
        int32_t dev = kDefaultDeviceId;
        p = optionalNumber(p, dev, kDefaultDeviceId, "exclusive ID error.");
        if (body.size() > 2) body[2] = static_cast<unsigned char>(dev);
    }
    p = skipWhite(p);
    if (*p == ',') ++p;
    int32_t ifno = 0;
    bool given = false;
    p = optionalNumber(p, ifno, 0, "IF number error.", &given);
    const unsigned char interfaceNo = given ? static_cast<unsigned char>(wrapped(int64_t{ifno} - 1)) : kNoInterface;

    const std::vector<unsigned char> framed = frameMessage(body, frameType);
    forEachTrackOf(set, [&](int track) {
        if (track == 0) {
            putMessageEvent(trk[0].buf, vld::eventNamed("exclusive", vld::kCommonStream), &interfaceNo, label, framed);
        } else {
            putMessageEvent(trk[track].buf, vld::eventNamed("exclusive"), nullptr, label, framed);
        }
    });
    return p;
}

Pos requiredParameter(Pos p, int32_t& value, const char* message) {
    p = skipWhite(p);
    int status = 0;
    Pos q = getNumber(p, value, status);
    // Point at the place the number was looked for, not where the search ended.
    if (status == kNumberOmitted) vlserror(message, p, kError, 1);
    if (status == kNumberMalformed) vlserror(message, q, kError, 1);
    return q;
}

Pos optionalNumber(Pos p, int32_t& value, int32_t fallback, const char* message, bool* given) {
    int32_t read = 0;
    int status = 0;
    p = getNumber(p, read, status);
    if (status == kNumberMalformed) vlserror(message, p, kError, 1);
    value = status == kNumberRead ? read : fallback;
    if (given) *given = status == kNumberRead;
    return p;
}

Pos skipSeparators(Pos p, std::string_view separators) {
    while (!atEndMark(p) && separators.find(static_cast<char>(*p)) != std::string_view::npos) {
        p = isLineEndByte(*p) ? skipLine(p) : p + 1;
    }
    return p;
}

// ---- Raw data ----

Pos midiDataCommand(Pos p, TrackRecords& trk, headdata& hd) { return readDataList(p, trk, hd, ExclusiveFrame{}); }

Pos exclusiveCommand(Pos p, TrackRecords& trk, headdata& hd) {
    ExclusiveFrame frame;
    frame.f0f7 = true;
    return readDataList(p, trk, hd, std::move(frame));
}

Pos rolandExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd) {
    ExclusiveFrame frame;
    frame.f0f7 = true;
    frame.frame_type = kFrameRoland;
    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(p, dev, kDefaultDeviceId, kExclusiveIdError);
    frame.device_id = static_cast<uint8_t>(dev);
    // The model follows dev behind a comma, blank or tab; without one it is
    // the GS model 0x16 whether or not dev was given.
    int32_t model = 0x16;
    if (*p == ',' || isBlank(p)) {
        while (*p == ',' || isBlank(p)) p = *p == ',' ? p + 1 : skipWhite(p);
        p = optionalNumber(p, model, 0, kExclusiveIdError);
    }
    frame.model_id = static_cast<uint8_t>(model);
    return readDataList(p, trk, hd, std::move(frame));
}

// A Yamaha bulk message: the two commands differ only in what the checksum covers.
static Pos yamahaBulkCommand(Pos p, TrackRecords& trk, headdata& hd, int frameType) {
    ExclusiveFrame frame;
    frame.f0f7 = true;
    frame.frame_type = frameType;
    p = readYamahaIds(p, frame);
    return readDataList(p, trk, hd, std::move(frame));
}

Pos yamahaExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd) {
    return yamahaBulkCommand(p, trk, hd, kFrameYamahaBulk);
}

Pos dxBulkDumpCommand(Pos p, TrackRecords& trk, headdata& hd) {
    return yamahaBulkCommand(p, trk, hd, kFrameBulkDataSum);
}

Pos xgExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd) {
    ExclusiveFrame frame;
    frame.f0f7 = true;
    frame.frame_type = kFrameYamahaParameter;
    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(p, dev, kDefaultDeviceId, kExclusiveIdError);
    frame.device_id = static_cast<uint8_t>(dev);
    frame.model_id = 0x4C;
    p = skipWhite(p);
    if (*p == ',') ++p;
    return readDataList(p, trk, hd, std::move(frame));
}

// ---- Fixed messages ----

Pos gsResetCommand(Pos p, TrackRecords& trk, headdata&, TrackSet set) {
    return buildFromTemplate(p, kGsReset, "GS_RESET", true, kFrameRoland, trk, set);
}

Pos gmSystemOnCommand(Pos p, TrackRecords& trk, headdata&, TrackSet set) {
    return buildFromTemplate(p, kGmSystemOn, "GM_SYSTEM_ON", false, kFramePlain, trk, set);
}

Pos gm2SystemOnCommand(Pos p, TrackRecords& trk, headdata&, TrackSet set) {
    vlserror(".gm2_system_on can use only for vlc3.", p, 4, 1);
    return buildFromTemplate(p, kGm2SystemOn, "GM2_SYSTEM_ON", false, kFramePlain, trk, set);
}

Pos xgSystemOnCommand(Pos p, TrackRecords& trk, headdata&, TrackSet set) {
    vlserror(".xg_system_on can use only for vlc2.", p, 4, 1);
    return buildFromTemplate(p, kXgSystemOn, "XG_SYSTEM_ON", true, kFramePlain, trk, set);
}

Pos mu100VoiceMapCommand(Pos p, TrackRecords& trk, headdata& hd) {
    static constexpr const char* kModes[] = {"basic", "native"};
    int32_t mode = 0;
    p = readMode(p, kModes, 0, mode);
    if (mode < 0 || mode > 1) vlserror(".MU100_VOICE_MAP: the mode is out of range.", p, kError, 1);
    return mu100Map(skipWhite(p), trk, hd, mode);
}

Pos mu100BasicMapCommand(Pos p, TrackRecords& trk, headdata& hd) {
    vlserror(".mu100_basic_map can use only for vlc2.", p, 4, 1);
    return mu100Map(p, trk, hd, 0);
}

Pos mu100NativeMapCommand(Pos p, TrackRecords& trk, headdata& hd) {
    vlserror(".mu100_native_map can use only for vlc2.", p, 4, 1);
    return mu100Map(p, trk, hd, 1);
}

Pos sc88ModeCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set) {
    static constexpr const char* kModes[] = {"single", "double"};
    static constexpr std::string_view kSeparators = ", \t\r\n";
    int32_t mode = 0;
    p = readMode(p, kModes, 1, mode);
    if (mode < 1 || mode > 2) vlserror(".SC88_MODE: the mode is out of range.", p, kError, 1);
    const auto m = static_cast<unsigned char>(mode - 1);

    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(skipSeparators(p, kSeparators), dev, kDefaultDeviceId, "SYNTAX ERROR");
    bool common = false;
    forEachTrackOf(set, [&](int track) { common |= track == 0; });
    int32_t ifno = kNoInterface;
    if (common) p = optionalNumber(skipSeparators(p, kSeparators), ifno, kNoInterface, "SYNTAX ERROR");

    const std::array<unsigned char, 9> message = {0xF0, 0x41, static_cast<unsigned char>(dev), 0x42, 0x12, 0x00, 0x00, 0x7F, m};
    const std::vector<unsigned char> framed = frameMessage(message, kFrameRoland);
    const std::array<unsigned char, 4> shortForm = {0x00, 0x00, 0x7F, m};
    const unsigned char interfaceNo = static_cast<unsigned char>(ifno);
    forEachTrackOf(set, [&](int track) {
        if (track == 0) {
            putMessageEvent(trk[0].buf, vld::eventNamed("exclusive", vld::kCommonStream), &interfaceNo, "SC88_MODE", framed);
        } else {
            // In a track the maker byte stands where the IF byte would.
            const unsigned char maker = 0x41;
            putMessageEvent(trk[track].buf, vld::eventNamed("maker exclusive"), &maker, "SC88_MODE", shortForm);
        }
    });
    hd.flags |= kFlagModuleText;
    return p;
}
