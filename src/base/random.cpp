#include "base/random.h"

namespace {
uint32_t g_state = 1;
}

void seedRandom(uint32_t seed) { g_state = seed; }

int nextRandom() {
    g_state = g_state * 22695477u + 1u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}
