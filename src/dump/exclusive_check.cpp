#include "dump/exclusive_check.h"

namespace vld {

namespace {

unsigned sumOf(const unsigned char* bytes, size_t count) {
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i) sum += bytes[i];
    return sum;
}

MessageCheck judged(const char* maker, unsigned carried, unsigned expected, const char* note) {
    MessageCheck check{maker, carried == expected ? Verdict::right : Verdict::wrong, expected, note};
    return check;
}

// `m` runs from F0 to F7 inclusive.
MessageCheck checkRoland(const unsigned char* m, size_t n) {
    // F0 41 dev model cmd address... checksum F7
    if (n < 8 || (m[4] != 0x12 && m[4] != 0x11)) return {"Roland", Verdict::none, 0, "no DT1/RQ1 checksum"};
    const unsigned char* body = m + 5;
    size_t bodySize = n - 7;  // address and data, without the checksum
    return judged("Roland", m[n - 2], (0x80 - (sumOf(body, bodySize) & 0x7F)) & 0x7F, "over address and data");
}

MessageCheck checkYamaha(const unsigned char* m, size_t n) {
    // F0 43 dev model countH countL payload... checksum F7
    if (n >= 8) {
        const unsigned char* body = m + 4;
        size_t bodySize = n - 5;  // count bytes, payload and checksum
        unsigned count = (unsigned{body[0]} << 7) | body[1];
        size_t payload = bodySize - 3;
        unsigned carried = body[bodySize - 1];
        if (payload >= 3 && count == payload - 3) {
            unsigned sum = sumOf(body, bodySize - 1);
            return judged("Yamaha", carried, (0x80 - (sum & 0x7F)) & 0x7F, "bulk, over count, address and data");
        }
        if (count == payload) {
            unsigned sum = sumOf(body + 2, payload);
            return judged("Yamaha", carried, (0x80 - (sum & 0x7F)) & 0x7F, "bulk, over the data");
        }
    }
    return {"Yamaha", Verdict::none, 0, "parameter change, no checksum"};
}

MessageCheck checkMessage(const unsigned char* m, size_t n) {
    if (n < 3) return {"other", Verdict::none, 0, "too short to carry a checksum"};
    switch (m[1]) {
    case 0x41: return checkRoland(m, n);
    case 0x43: return checkYamaha(m, n);
    case 0x7E:
    case 0x7F: return {"universal", Verdict::none, 0, "no checksum"};
    default: return {"other", Verdict::none, 0, "no checksum"};
    }
}

}  // namespace

std::vector<MessageCheck> checkExclusive(const unsigned char* bytes, size_t count) {
    std::vector<MessageCheck> checks;
    if (count == 0 || bytes[0] != 0xF0) {
        checks.push_back({"raw", Verdict::none, 0, "MIDI data, no checksum"});
        return checks;
    }
    size_t start = 0;
    while (start < count) {
        size_t end = start + 1;
        while (end < count && bytes[end] != 0xF7) ++end;
        if (end == count) {
            checks.push_back({"other", Verdict::none, 0, "message without its F7"});
            break;
        }
        checks.push_back(checkMessage(bytes + start, end - start + 1));
        start = end + 1;
        if (start < count && bytes[start] != 0xF0) {
            checks.push_back({"raw", Verdict::none, 0, "bytes between messages"});
            break;
        }
    }
    return checks;
}

}  // namespace vld
