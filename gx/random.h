// The game's pseudo-random generator: the classic linear congruential one
// (multiplier 214013, increment 2531011, result bits 16..30), so a seed deals
// the same boards on every platform.
#pragma once

#include <cstdint>

namespace lcg {
void srand(uint32_t seed);
int rand();  // 0..32767
// The generator's state: srand(state()) repeats what follows.
uint32_t state();
}  // namespace lcg
