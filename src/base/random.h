// The random generator behind random velocities: state x 22695477 + 1, the
// result taken from bits 16 to 30. Seeded from the clock at the start of a run
// and by `.RANDOMIZE_SEED`.
#pragma once
#include <cstdint>

void seedRandom(uint32_t seed);
int nextRandom();  // 0 to 32767
