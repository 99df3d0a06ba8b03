#include "support/vld_reader.h"

#include <cstdio>
#include <stdexcept>

namespace {

constexpr size_t kHeaderSize = 80;
constexpr size_t kEntrySize = 16;
constexpr size_t kBlockHeadSize = 16;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint32_t be16(const Bytes& b, size_t at) { return (uint32_t{b[at]} << 8) | b[at + 1]; }
uint32_t be32(const Bytes& b, size_t at) { return (be16(b, at) << 16) | be16(b, at + 2); }

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

std::string num(uint64_t value) { return std::to_string(value); }

// Pointers count from the end of their own field. The sum is taken in 64 bits
// so that a wild pointer cannot wrap round into the file.
uint64_t target(size_t fieldEnd, uint32_t pointer) { return uint64_t{fieldEnd} + pointer; }

// Header bytes that the frame keeps at zero: {offset, size}.
constexpr struct {
    size_t offset, size;
} kZeroFields[] = {{16, 4}, {24, 4}, {28, 4}, {32, 4}, {44, 4}, {50, 2}, {58, 2}, {64, 4}, {68, 4}, {72, 2}, {75, 5}};

// Fills `vld` and returns the first problem found, or "".
std::string parse(const Bytes& file, VldFile& vld) {
    const size_t size = file.size();
    if (size < kHeaderSize) return "file too short: " + num(size) + " bytes, the header alone needs 80";
    if (file[0] != 0x1A) return "byte 0 is " + hexByte(file[0]) + ", not 0x1A";
    if (std::string_view(reinterpret_cast<const char*>(file.data()) + 1, 7) != "VeLtRa0")
        return "bytes 1..7 are not the magic \"VeLtRa0\"";
    for (const auto& field : kZeroFields)
        for (size_t i = field.offset; i < field.offset + field.size; ++i)
            if (file[i] != 0) return "header byte " + num(i) + " is " + hexByte(file[i]) + ", not 0";

    vld.commonPointer = be32(file, 8);
    vld.tablePointer = be32(file, 12);
    vld.sizeEstimate = be32(file, 20);
    vld.commentPointer = be32(file, 36);
    vld.longestClocks = be32(file, 40);
    vld.meter = static_cast<uint16_t>(be16(file, 48));
    vld.key[0] = file[52];
    vld.key[1] = file[53];
    vld.timeBase = static_cast<uint16_t>(be16(file, 54));
    vld.tempo = static_cast<uint16_t>(be16(file, 56));
    vld.flags = be32(file, 60);
    vld.trackCount = file[74];

    // The common stream runs from the end of the header to the track table.
    const uint64_t table = target(16, vld.tablePointer);
    if (table < kHeaderSize) return "track table pointer (offset 12) lands at " + num(table) + ", inside the header";
    if (table + 2 > size)
        return "track table pointer (offset 12) lands at " + num(table) + ", past the end of the file (" + num(size) +
               " bytes)";
    const size_t commonLength = static_cast<size_t>(table) - kHeaderSize;
    if (commonLength == 0 && vld.commonPointer != 0)
        return "common pointer (offset 8) is " + num(vld.commonPointer) + " but the common stream is empty";
    if (commonLength != 0 && target(12, vld.commonPointer) != kHeaderSize)
        return "common pointer (offset 8) is " + num(vld.commonPointer) + ", expected 68 for a common stream of " +
               num(commonLength) + " bytes";
    vld.common.assign(file.begin() + kHeaderSize, file.begin() + static_cast<long>(table));

    if (vld.commentPointer != 0) {
        const uint64_t comment = target(40, vld.commentPointer);
        if (comment < kHeaderSize || comment >= table)
            return "comment pointer (offset 36) lands at " + num(comment) + ", outside the common stream [80, " +
                   num(table) + ")";
        vld.commentOffset = static_cast<long>(comment - kHeaderSize);
    }

    const uint32_t countField = be16(file, static_cast<size_t>(table));
    const size_t n = countField == 0xFFFF ? 0 : countField + 1;
    if (n != vld.trackCount)
        return "the header counts " + num(vld.trackCount) + " tracks (offset 74), the track table " + num(n);
    const uint64_t entries = table + 2;
    const uint64_t separator = entries + kEntrySize * n;
    if (n == 0) {
        if (separator != size)
            return num(size - separator) + " bytes follow the empty track table at " + num(separator);
    } else {
        if (separator + 2 > size) return "the track table of " + num(n) + " entries runs past the end of the file";
        if (file[separator] != 0x2F || file[separator + 1] != 0x2F)
            return "the separator behind the track table is " + hexByte(file[separator]) + " " +
                   hexByte(file[separator + 1]) + ", not 0x2F 0x2F";
    }

    // Walk the entries. Each block's events run up to the next block head;
    // the last block's run up to the end of the file.
    struct Place {
        uint64_t head, events;
    };
    std::vector<Place> places;
    for (size_t k = 0; k < n; ++k) {
        const size_t entry = static_cast<size_t>(entries + kEntrySize * k);
        const std::string which = "track table entry " + num(k);
        if (file[entry] != 0 || file[entry + 3] != 0) return which + ": bytes 0 and 3 must be 0";
        if (file[entry + 1] != 0 && file[entry + 1] != 0x80)
            return which + ": kind byte is " + hexByte(file[entry + 1]) + ", neither 0 nor 0x80";
        VldTrack track;
        track.kindRhythm = file[entry + 1] == 0x80;
        track.interfaceByte = file[entry + 2];
        track.device = static_cast<uint16_t>(be16(file, entry + 4));
        track.channel = static_cast<uint16_t>(be16(file, entry + 6));
        const uint64_t events = target(entry + 12, be32(file, entry + 8));
        const uint64_t head = target(entry + 16, be32(file, entry + 12));
        const uint64_t expectedHead = k == 0 ? separator + 2 : places.back().events;
        if (k == 0 && head != expectedHead)
            return which + ": block head lands at " + num(head) + ", expected " + num(expectedHead) +
                   " right behind the separator";
        if (head < expectedHead)
            return which + ": block head lands at " + num(head) + ", inside the previous block (its events start at " +
                   num(expectedHead) + ")";
        if (head + kBlockHeadSize > size) return which + ": block head at " + num(head) + " runs past the end of the file";
        for (size_t i = 0; i < 12; ++i)
            if (file[head + i] != 0) return which + ": block head byte " + num(i) + " is not 0";
        const uint32_t commentLength = be32(file, static_cast<size_t>(head + 12));
        const uint64_t commentStart = head + kBlockHeadSize;
        const uint64_t expectedEvents = commentStart + commentLength + commentLength % 2;
        if (expectedEvents > size)
            return which + ": comment of " + num(commentLength) + " bytes runs past the end of the file";
        if (events != expectedEvents)
            return which + ": event pointer lands at " + num(events) + ", expected " + num(expectedEvents) +
                   " behind a comment of " + num(commentLength) + " bytes";
        if (commentLength % 2 && file[commentStart + commentLength] != 0)
            return which + ": the pad byte behind the odd comment is not 0";
        track.comment.assign(file.begin() + static_cast<long>(commentStart),
                             file.begin() + static_cast<long>(commentStart + commentLength));
        vld.tracks.push_back(std::move(track));
        places.push_back({head, events});
    }

    uint32_t estimate = 4;
    for (size_t k = 0; k < n; ++k) {
        const uint64_t end = k + 1 < n ? places[k + 1].head : size;
        const Bytes::const_iterator from = file.begin() + static_cast<long>(places[k].events);
        vld.tracks[k].events.assign(from, file.begin() + static_cast<long>(end));
        const Bytes& events = vld.tracks[k].events;
        const std::string which = "track " + num(k);
        if (events.empty() || events.size() % 4 != 0)
            return which + ": event stream of " + num(events.size()) + " bytes is not a positive multiple of 4";
        if (events.back() != 0xFF) return which + ": event stream does not end with 0xFF";
        estimate += static_cast<uint32_t>(events.size() + 32 + vld.tracks[k].comment.size());
        estimate = (estimate + 3) & ~3u;
    }
    const uint64_t expectedEstimate = kHeaderSize + commonLength + estimate;
    if (vld.sizeEstimate != expectedEstimate)
        return "size estimate (offset 20) is " + num(vld.sizeEstimate) + ", expected " + num(expectedEstimate);
    if (vld.sizeEstimate < size)
        return "size estimate (offset 20) is " + num(vld.sizeEstimate) + ", below the file size " + num(size);
    return "";
}

}  // namespace

Bytes hex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (high >= 0) throw std::invalid_argument("hex: a lone digit in \"" + std::string(text) + "\"");
            continue;
        }
        int digit = hexDigit(c);
        if (digit < 0) throw std::invalid_argument("hex: bad character in \"" + std::string(text) + "\"");
        if (high < 0) {
            high = digit;
        } else {
            out.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("hex: a lone digit in \"" + std::string(text) + "\"");
    return out;
}

std::string toHex(const unsigned char* bytes, size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string toHex(const Bytes& bytes) { return toHex(bytes.data(), bytes.size()); }

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string textOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

VldFile readVld(const Bytes& file) {
    VldFile vld;
    vld.error = parse(file, vld);
    return vld;
}
