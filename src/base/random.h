// The random generator behind random velocities: state x 22695477 + 1, the
// result taken from bits 16 to 30. A compile seeds it from the clock, and
// `.RANDOMIZE_SEED` seeds it again.
#pragma once
#include <cstdint>

class RandomGenerator {
public:
    explicit RandomGenerator(uint32_t seed = 1) : state_(seed) {}
    void seed(uint32_t seed) { state_ = seed; }
    int next() {  // 0 to 32767
        state_ = state_ * 22695477u + 1u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }

private:
    uint32_t state_;
};
