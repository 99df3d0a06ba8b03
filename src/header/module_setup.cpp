// Setup messages of GS, SC-88 and XG sound modules: effects, voice reserve,
// part and drum parameters, display text and bitmaps. Each becomes one or
// more exclusive events of the common stream.
#include "header/module_setup.h"

#include <array>
#include <string>

#include "header/exclusive.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

const char kSyntaxError[] = "SYNTAX ERROR";
constexpr unsigned char kGsModel = 0x42;
constexpr unsigned char kGsDisplayModel = 0x45;
constexpr unsigned char kXgModel = 0x4C;
constexpr int kDisplayRows = 16;

struct DeviceAndInterface {
    uint8_t dev = kDefaultDeviceId;
    uint8_t ifno = kNoInterface;
};

// `dev [, ifno]`; with `commaOptional` the IF number may also follow dev
// without a comma. Both are stored as given.
Pos readDeviceAndInterface(Pos p, DeviceAndInterface& out, bool commaOptional = false,
                           const char* ifnoMalformed = kSyntaxError) {
    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(p, dev, kDefaultDeviceId, kSyntaxError);
    out.dev = static_cast<uint8_t>(dev);
    p = skipWhite(p);
    const bool comma = *p == ',';
    if (comma) ++p;
    int32_t ifno = kNoInterface;
    if (comma || commaOptional) p = optionalNumber(p, ifno, kNoInterface, ifnoMalformed);
    out.ifno = static_cast<uint8_t>(ifno);
    return p;
}

// Where the data bytes of an event written by the exclusive reader lie.
struct WrittenData {
    size_t offset = 0;
    size_t count = 0;
};

// Reads a `{` list (or a quoted text) into one exclusive event of the common
// stream: F0, maker 41 or 43, dev, model (and 12 for Roland), the address,
// the data, the checksum for Roland, F7.
Pos readMessageData(Pos p, TrackRecords& trk, const DeviceAndInterface& ids, int frameType, unsigned char model,
                    std::vector<unsigned char> address, std::string_view label, bool quoted, WrittenData& data) {
    EventBuffer& out = trk[0].buf;
    const size_t start = out.size();
    ExclusiveFrame frame;
    frame.f0f7 = true;
    frame.interface_no = ids.ifno;
    frame.label = label;
    frame.frame_type = frameType;
    frame.device_id = ids.dev;
    frame.model_id = model;
    frame.prefix = std::move(address);
    frame.opening = quoted ? '"' : '{';
    frame.closing = quoted ? std::string_view("\"\r\n") : kDataListClosing;
    int consumed = 0;
    Pos q = exclusive(out, p, frame, consumed);

    const size_t labelLength = out.at(start + 2);
    const size_t length = out.readBE32(start + 3 + labelLength);
    const size_t head = (frameType == kFrameRoland ? 5 : 4) + frame.prefix.size();
    const size_t tail = frameType == kFrameRoland ? 2 : 1;
    data.offset = start + 7 + labelLength + head;
    data.count = length >= head + tail ? length - head - tail : 0;
    return q;
}

Pos readRolandData(Pos p, TrackRecords& trk, const DeviceAndInterface& ids, std::vector<unsigned char> address,
                   std::string_view label, WrittenData& data, bool quoted = false, unsigned char model = kGsModel) {
    return readMessageData(p, trk, ids, kFrameRoland, model, std::move(address), label, quoted, data);
}

struct EffectFamily {
    const char* label;
    unsigned char address;
    size_t fullCount;
    const char* countWarning;
};

EffectFamily effectFamily(ReverbChorusKind kind) {
    switch (kind) {
    case ReverbChorusKind::Sc55Reverb: return {"GS_REVERB", 0x30, 7, ".sc55_reverb must have 1 or 7 parameter(s)."};
    case ReverbChorusKind::Sc55Chorus: return {"GS_CHORUS", 0x38, 8, ".sc55_chorus must have 1 or 8 parameter(s)."};
    case ReverbChorusKind::Sc88Reverb: return {"SC88_REVERB", 0x30, 8, ".sc88_reverb must have 1 or 8 parameter(s)."};
    case ReverbChorusKind::Sc88Chorus: return {"SC88_CHORUS", 0x38, 9, ".sc88_chorus must have 1 or 9 parameter(s)."};
    case ReverbChorusKind::Sc88Delay: break;
    }
    return {"SC88_DELAY", 0x50, 11, ".sc88_delay must have 1 or 11 parameter(s)."};
}

// One value of a list: at the end of the text the list never closed.
Pos listValue(Pos p, int32_t& value) {
    Pos next = skipSpace(p);
    if (atEndMark(next)) vlserror("unexpected EOF.", next, kError, 1);
    return requiredParameter(p, value, kSyntaxError);
}

// Reads the 16 rows of a display bitmap between `{` and `}` (p stands on the
// `{`). Rows are separated by commas; comments and line ends may stand
// between them.
Pos readDisplayRows(Pos p, std::array<uint16_t, kDisplayRows>& rows) {
    rows.fill(0);
    int count = 0;
    p = skipSpace(p + 1);
    while (*p != '}') {
        if (atEndMark(p)) vlserror("unexpected EOF.", p, kError, 1);
        int32_t value = 0;
        int status = 0;
        p = getNumber(p, value, status);
        if (status != kNumberRead) vlserror(kSyntaxError, p + (status == kNumberOmitted), kError, 1);
        if (count == kDisplayRows) vlserror("too many parameters.", p, kError, 1);
        rows[count++] = static_cast<uint16_t>(value);
        p = skipSpace(p);
        if (*p == ',') p = skipSpace(p + 1);
    }
    if (count < kDisplayRows) vlserror("too few parameters.", p + 1, kError, 1);
    return p + 1;
}

// `dev [,] [ifno] [, comment] {rows}` of the display bitmaps.
Pos readDisplay(Pos p, DeviceAndInterface& ids, std::string& comment, std::array<uint16_t, kDisplayRows>& rows) {
    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(p, dev, kDefaultDeviceId, kSyntaxError);
    ids.dev = static_cast<uint8_t>(dev);
    p = skipWhite(p);
    if (*p == ',') ++p;
    int ifno = -1;
    p = getIfnoAndComment(p, '{', ifno, comment);
    ids.ifno = ifno < 0 ? kNoInterface : static_cast<uint8_t>(ifno);
    return readDisplayRows(p, rows);
}

}  // namespace

// ---- Packing of the display bitmaps ----

std::array<unsigned char, 64> packGsDisplay(const std::array<uint16_t, 16>& rows) {
    std::array<unsigned char, 64> out{};
    for (int r = 0; r < kDisplayRows; ++r) {
        const unsigned row = rows[r];
        out[r] = (row >> 11) & 0x1F;
        out[16 + r] = (row >> 6) & 0x1F;
        out[32 + r] = (row >> 1) & 0x1F;
        out[48 + r] = (row & 1) << 4;
    }
    return out;
}

std::array<unsigned char, 48> packXgDisplay(const std::array<uint16_t, 16>& rows) {
    std::array<unsigned char, 48> out{};
    for (int r = 0; r < kDisplayRows; ++r) {
        const unsigned row = rows[r];
        out[r] = (row >> 9) & 0x7F;
        out[16 + r] = (row >> 2) & 0x7F;
        out[32 + r] = (row & 3) << 5;
    }
    return out;
}

void orderVoiceReserve(unsigned char* values, size_t count) {
    // Part 10 (the rhythm part) leads, then parts 1 to 9 and 11 on.
    if (count < 10) return;
    const unsigned char part10 = values[9];
    for (size_t i = 9; i > 0; --i) values[i] = values[i - 1];
    values[0] = part10;
}

// ---- Commands ----

Pos voiceReserveCommand(Pos p, TrackRecords& trk, headdata& hd) {
    DeviceAndInterface ids;
    p = readDeviceAndInterface(p, ids);
    WrittenData data;
    p = readRolandData(p, trk, ids, {0x40, 0x01, 0x10}, "GS_PARTIAL_RESERVE", data);
    hd.flags |= kFlagModuleText;

    EventBuffer& out = trk[0].buf;
    std::vector<unsigned char> values(data.count);
    int sum = 0;
    for (size_t i = 0; i < data.count; ++i) {
        values[i] = out.at(data.offset + i);
        sum += values[i];
    }
    orderVoiceReserve(values.data(), values.size());
    for (size_t i = 0; i < data.count; ++i) out.patch(data.offset + i, values[i]);

    // The count warning points at the closing brace, so that both can show.
    if (data.count != 16) vlserror(".sc55_v_reserve must have just 16 parameters.", p - 1, 3, 1);
    if (sum > 24) vlserror("voices should be less than or equal to 24 in voice-reserve.", p, 3, 1);
    return p;
}

Pos reverbChorusCommand(Pos p, TrackRecords& trk, headdata& hd, ReverbChorusKind kind) {
    const EffectFamily family = effectFamily(kind);
    DeviceAndInterface ids;
    p = readDeviceAndInterface(p, ids);
    WrittenData data;
    p = readRolandData(p, trk, ids, {0x40, 0x01, family.address}, family.label, data);
    hd.flags |= kFlagModuleText;
    if (data.count != 1 && data.count != family.fullCount) vlserror(family.countWarning, p, 3, 1);
    return p;
}

Pos sc88EqualizerCommand(Pos p, TrackRecords& trk, headdata& hd) {
    DeviceAndInterface ids;
    p = readDeviceAndInterface(p, ids, true, "IF number error.");
    WrittenData data;
    p = readRolandData(p, trk, ids, {0x40, 0x02, 0x00}, "SC88_EQUALIZER", data);
    hd.flags |= kFlagModuleText;
    if (data.count != 4) vlserror(".sc88_equalizer must have just 4 parameters.", p, 3, 1);
    return p;
}

Pos partSetupCommand(Pos p, TrackRecords& trk, headdata& hd, bool sc88) {
    int32_t part = 0;
    p = requiredParameter(p, part, kSyntaxError);
    if (part < 1 || part > 16) {
        vlserror(sc88 ? ".SC88_PART_SETUP: the part is out of range." : ".GS_PART_SETUP: the part is out of range.",
                 p, kError, 1);
    }
    DeviceAndInterface ids;
    p = skipWhite(p);
    if (*p == ',') {
        // A comma right behind the part leaves the device ID as it is.
        int32_t ifno = kNoInterface;
        p = optionalNumber(p + 1, ifno, kNoInterface, kSyntaxError);
        ids.ifno = static_cast<uint8_t>(ifno);
    } else if (*p != '\r' && *p != '\n' && *p != '/') {
        p = readDeviceAndInterface(p, ids);
    }
    const int block = part == 10 ? 0 : part < 10 ? part : part - 1;
    WrittenData data;
    p = readRolandData(p, trk, ids, {0x40, static_cast<unsigned char>(0x10 + block), 0x02},
                       sc88 ? "SC88_PART_SETUP" : "GS_PART_SETUP", data);
    hd.flags |= kFlagModuleText;
    return p;
}

Pos drumSetupCommand(Pos p, TrackRecords& trk, headdata& hd, bool sc88) {
    static constexpr std::string_view kSeparators = ", \t\r\n";
    const int count = sc88 ? 9 : 8;
    int32_t map = 0;
    int32_t note = 0;
    p = requiredParameter(p, map, kSyntaxError);
    if (map < 0 || int64_t{map} * 16 + count > 0x7F) {
        vlserror(sc88 ? ".SC88_DRUM_SETUP: the map is out of range." : ".GS_DRUM_SETUP: the map is out of range.",
                 p, kError, 1);
    }
    p = requiredParameter(skipSeparators(p, kSeparators), note, kSyntaxError);
    if (note < 0 || note > 0x7F) {
        vlserror(sc88 ? ".SC88_DRUM_SETUP: the note is out of range." : ".GS_DRUM_SETUP: the note is out of range.",
                 p, kError, 1);
    }
    DeviceAndInterface ids;
    p = readDeviceAndInterface(p, ids);

    p = skipToRequired(p, "{") + 1;
    std::vector<unsigned char> messages;
    for (int i = 1; i <= count; ++i) {
        int32_t value = 0;
        p = listValue(skipSeparators(p, kSeparators), value);
        const std::array<unsigned char, 9> message = {
            0xF0, 0x41, ids.dev, kGsModel, 0x12, 0x41, static_cast<unsigned char>(map * 16 + i),
            static_cast<unsigned char>(note), static_cast<unsigned char>(value)};
        const std::vector<unsigned char> framed = frameMessage(message, kFrameRoland);
        messages.insert(messages.end(), framed.begin(), framed.end());
    }
    p = skipToRequired(p, "}") + 1;
    putExclusiveEvent(trk[0].buf, ids.ifno, {}, messages);
    hd.flags |= kFlagModuleText;
    return p;
}

Pos gsPrintCommand(Pos p, TrackRecords& trk, headdata& hd) {
    DeviceAndInterface ids;
    p = readDeviceAndInterface(p, ids);
    WrittenData data;
    p = readRolandData(p, trk, ids, {0x10, 0x00, 0x00}, "GS_PRINT", data, true, kGsDisplayModel);
    hd.flags |= kFlagModuleText;
    return p;
}

Pos xgPrintCommand(Pos p, TrackRecords& trk, headdata&) {
    DeviceAndInterface ids;
    p = readDeviceAndInterface(p, ids);
    WrittenData data;
    return readMessageData(p, trk, ids, kFrameYamahaParameter, kXgModel, {0x06, 0x00, 0x00}, "XG_PRINT", true, data);
}

Pos gsDisplayCommand(Pos p, TrackRecords& trk, headdata& hd) {
    DeviceAndInterface ids;
    std::string comment;
    std::array<uint16_t, kDisplayRows> rows;
    p = readDisplay(p, ids, comment, rows);
    std::vector<unsigned char> message = {0xF0, 0x41, ids.dev, kGsDisplayModel, 0x12, 0x10, 0x01, 0x00};
    const auto packed = packGsDisplay(rows);
    message.insert(message.end(), packed.begin(), packed.end());
    putExclusiveEvent(trk[0].buf, ids.ifno, comment, frameMessage(message, kFrameRoland));
    hd.flags |= kFlagModuleText;
    return p;
}

Pos xgDisplayCommand(Pos p, TrackRecords& trk, headdata& hd) {
    DeviceAndInterface ids;
    std::string comment;
    std::array<uint16_t, kDisplayRows> rows;
    p = readDisplay(p, ids, comment, rows);
    std::vector<unsigned char> message = {0xF0, 0x43, ids.dev, kXgModel, 0x07, 0x00, 0x00};
    const auto packed = packXgDisplay(rows);
    message.insert(message.end(), packed.begin(), packed.end());
    putExclusiveEvent(trk[0].buf, ids.ifno, comment, frameMessage(message, kFrameYamahaParameter));
    hd.flags |= kFlagModuleText;
    return p;
}

Pos xgEqualizerCommand(Pos p, TrackRecords& trk, headdata& hd) {
    static constexpr const char* kTypes[] = {"flat", "jazz", "pops", "rock", "crassic", nullptr};
    static constexpr unsigned char kAddresses[] = {0x00, 0x01, 0x05, 0x09, 0x0D, 0x11};
    static constexpr const char* kLabels[] = {"EQ TYPE", "EQ GAIN1", "EQ GAIN2", "EQ GAIN3", "EQ GAIN4", "EQ GAIN5"};
    int32_t dev = kDefaultDeviceId;
    p = optionalNumber(p, dev, kDefaultDeviceId, kSyntaxError);
    p = skipWhite(p);
    if (*p == ',') ++p;
    int ifno = -1;
    std::string comment;  // read for the syntax only
    p = getIfnoAndComment(p, '{', ifno, comment) + 1;
    const uint8_t interfaceNo = ifno < 0 ? kNoInterface : static_cast<uint8_t>(ifno);

    for (int i = 0; i < 6; ++i) {
        p = skipSpace(p);
        if (i > 0 && *p == ',') p = skipSpace(p + 1);
        if (atEndMark(p)) vlserror("unexpected EOF.", p, kError, 1);
        int32_t value = 0;
        if (i == 0) {
            int status = 0;
            Pos q = getKeywordOrNumber(p, value, status, kTypes, 0);
            if (status != kNumberRead) vlserror(kSyntaxError, q, kError, 1);
            p = q;
        } else {
            p = requiredParameter(p, value, kSyntaxError);
        }
        const std::array<unsigned char, 8> message = {0xF0, 0x43, static_cast<unsigned char>(dev), kXgModel, 0x02, 0x40,
                                                      kAddresses[i], static_cast<unsigned char>(value)};
        putExclusiveEvent(trk[0].buf, interfaceNo, kLabels[i], frameMessage(message, kFrameYamahaParameter));
    }
    p = skipSpace(p);
    if (*p == '}') ++p;
    hd.flags |= kFlagModuleText;
    return p;
}
