// Verdicts on the checksums of exclusive messages as the compiler frames
// them: Roland DT1/RQ1 messages carry a checksum over address and data,
// Yamaha bulk messages a count and a checksum (over the count and everything
// after it, or over the data alone).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace vld {

enum class Verdict { none, right, wrong };

struct MessageCheck {
    std::string maker;    // "Roland", "Yamaha", "universal", "other" or "raw" (no F0)
    Verdict verdict = Verdict::none;
    unsigned expected = 0;  // the checksum that would be right, when one is carried
    std::string note;     // what the verdict rests on, in a few words
};

// One check per message: the bytes are split at every F7 that ends an F0
// message. Data that does not start with F0 is raw MIDI data.
std::vector<MessageCheck> checkExclusive(const unsigned char* bytes, size_t count);

}  // namespace vld
