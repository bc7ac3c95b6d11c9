#include "gx/random.h"


namespace lcg {
namespace {
uint32_t state_ = 1;
}

void srand(uint32_t seed) { state_ = seed; }

uint32_t state() { return state_; }

int rand() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int>((state_ >> 16) & 0x7FFF);
}
}  // namespace lcg
