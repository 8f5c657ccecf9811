// The handheld runtime's pseudo-random generator. The game's boards depend on
// the exact sequence, so this is the same linear congruential generator, not
// the host's rand().
#include <cstdint>

#include "platform/device.h"

namespace ce {

namespace {
std::uint32_t randomState = 1;  // as if srand(1) had been called
}  // namespace

void srand(unsigned seed) {
  randomState = seed;
}

int rand() {
  randomState = randomState * 214013u + 2531011u;  // wraps at 32 bits
  return int((randomState >> 16) & 0x7FFF);
}

}  // namespace ce
