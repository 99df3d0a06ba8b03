#include "export/raw_messages.h"

#include <vector>

namespace vld {

namespace {

// Data bytes a channel message of this status takes.
size_t dataBytes(uint8_t status) {
    switch (status & 0xF0) {
    case 0xC0:
    case 0xD0: return 1;
    default: return 2;
    }
}

}  // namespace

uint8_t rolandChecksum(std::span<const uint8_t> bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<uint8_t>((128 - sum % 128) % 128);
}

size_t sendRawMessages(SmfTrack& out, uint32_t tick, std::span<const uint8_t> bytes) {
    size_t escapes = 0;
    std::vector<uint8_t> stray;  // bytes no message takes, sent together
    auto flushStray = [&] {
        if (stray.empty()) return;
        out.escape(tick, stray);
        stray.clear();
        ++escapes;
    };
    uint8_t running = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        uint8_t b = bytes[i];
        if (b == 0xF0) {
            size_t end = i + 1;
            while (end < bytes.size() && bytes[end] < 0x80) ++end;
            if (end < bytes.size() && bytes[end] == 0xF7) {
                flushStray();
                out.exclusive(tick, bytes.subspan(i, end + 1 - i));
                running = 0;
                i = end + 1;
                continue;
            }
        }
        size_t start = i;
        uint8_t status = running;
        if (b >= 0x80 && b < 0xF0) {
            status = b;
            ++i;
        } else if (b >= 0x80) {
            status = 0;  // system bytes other than a whole exclusive
        }
        size_t n = dataBytes(status);
        bool whole = status != 0 && i + n <= bytes.size();
        for (size_t k = 0; whole && k < n; ++k) whole = bytes[i + k] < 0x80;
        if (!whole) {
            stray.push_back(bytes[start]);
            running = 0;
            i = start + 1;
            continue;
        }
        flushStray();
        if (n == 1) out.message(tick, status, bytes[i]);
        else out.message(tick, status, bytes[i], bytes[i + 1]);
        running = status;
        i += n;
    }
    flushStray();
    return escapes;
}

}  // namespace vld
