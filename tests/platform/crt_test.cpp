#include <gtest/gtest.h>

#include <vector>

#include "platform/device.h"

namespace {

std::vector<int> Draw(int n) {
  std::vector<int> values;
  for (int i = 0; i < n; ++i) values.push_back(ce::rand());
  return values;
}

TEST(Rand, FollowsTheHandheldSequence) {
  ce::srand(1);
  EXPECT_EQ(Draw(5), (std::vector<int>{41, 18467, 6334, 26500, 19169}));
  ce::srand(0);
  EXPECT_EQ(Draw(3), (std::vector<int>{38, 7719, 21238}));
  // The state wraps at 32 bits.
  ce::srand(0xFFFFFFFFu);
  EXPECT_EQ(Draw(3), (std::vector<int>{35, 29739, 3374}));
}

TEST(Rand, SeedingAgainRestartsTheSequence) {
  ce::srand(12345);
  std::vector<int> first = Draw(100);
  ce::srand(12345);
  EXPECT_EQ(Draw(100), first);
  for (int v : first) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, ce::RAND_MAX);
  }
}

}  // namespace
