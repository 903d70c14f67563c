#include "random/combined_lcg.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

std::vector<int> Fill(CombinedLCG& g, int count) {
  std::vector<unsigned char> buffer(static_cast<size_t>(count) + 4, 0xAA);
  g.FillBytes(buffer.data(), count);
  for (size_t i = static_cast<size_t>(count); i < buffer.size(); ++i)
    EXPECT_EQ(buffer[i], 0xAA) << "byte past the count written";
  return std::vector<int>(buffer.begin(), buffer.begin() + count);
}

}  // namespace

TEST(CombinedLCG, SeedingNormalisesIntoTheValidRanges) {
  struct Case {
    std::int32_t seed1, seed2, state1, state2;
  } cases[] = {
      {0, 0, 2147483562, 2147483398},
      {-1, -1, 2147483561, 2147483397},
      {2147483647, 2147483647, 85, 249},
      {-2147483647 - 1, -2147483647 - 1, 2147483476, 2147483148},
      {1, 1, 1, 1},
      {2147483562, 2147483398, 2147483562, 2147483398},
  };
  for (const Case& c : cases) {
    CombinedLCG g;
    g.Seed(c.seed1, c.seed2);
    EXPECT_EQ(g.State1(), c.state1) << c.seed1;
    EXPECT_EQ(g.State2(), c.state2) << c.seed2;
  }
  CombinedLCG fromArray;
  const std::int32_t seeds[] = {-1, 2147483647, 12345};
  fromArray.Seed(seeds);
  EXPECT_EQ(fromArray.State1(), 2147483561);
  EXPECT_EQ(fromArray.State2(), 249);
}

TEST(CombinedLCG, AdvancesBySchragesMethod) {
  CombinedLCG g;
  g.Seed(1, 1);
  std::array<std::uint8_t, 1> none{};
  g.AddEntropy(none.data(), 0);  // no bits: no step
  EXPECT_EQ(g.State1(), 1);
  // One step through FillBytes(1) (a single advance) gives a * 1.
  unsigned char byte;
  g.FillBytes(&byte, 1);
  EXPECT_EQ(g.State1(), 40014);
  EXPECT_EQ(g.State2(), 40692);
  for (int i = 1; i < 10000; ++i) g.FillBytes(&byte, 1);
  EXPECT_EQ(g.State1(), 1919456777);
  EXPECT_EQ(g.State2(), 2006618587);
}

TEST(CombinedLCG, NextRealScalesTheReducedDifference) {
  CombinedLCG g;
  g.Seed(1, 1);
  EXPECT_EQ(static_cast<double>(g.NextReal()), 0.9999996842816345);
  EXPECT_EQ(g.NextReal() < 1.0L, true);

  CombinedLCG a;
  a.Seed(2147483562, 2147483398);  // a*(m-1) mod m = m - a for both components
  const long double r = a.NextReal();
  // a * (m - 1) mod m is m - a for both components, so z = 842.
  EXPECT_EQ(a.State1(), 2147483563 - 40014);
  EXPECT_EQ(a.State2(), 2147483399 - 40692);
  EXPECT_EQ(static_cast<double>(r), static_cast<double>(842.0L * static_cast<long double>(4.656613059560173e-10)));
}

TEST(CombinedLCG, FillBytesTakesThreeBytesPerStep) {
  struct Case {
    int count;
    std::vector<int> bytes;
  } cases[] = {
      {0, {}},
      {1, {0x5a}},
      {2, {0x5a, 0xfd}},
      {3, {0x5a, 0xfd, 0x34}},
      {4, {0x5a, 0xfd, 0xff, 0x34}},
      {5, {0x5a, 0xfd, 0xff, 0x34, 0x0f}},
      {7, {0x5a, 0xfd, 0xff, 0x34, 0x0f, 0xbd, 0xde}},
  };
  for (const Case& c : cases) {
    CombinedLCG g;
    g.Seed(1, 1);
    EXPECT_EQ(Fill(g, c.count), c.bytes) << c.count;
    if (c.count == 0) {
      EXPECT_EQ(g.State1(), 1);
      EXPECT_EQ(g.State2(), 1);
    }
    if (c.count == 4 || c.count == 5) {
      EXPECT_EQ(g.State1(), 1601120196);
      EXPECT_EQ(g.State2(), 1655838864);
    }
    if (c.count == 7) {
      EXPECT_EQ(g.State1(), 1346387765);
      EXPECT_EQ(g.State2(), 2103410263);
    }
  }
}

TEST(CombinedLCG, FillBytesStepCountFollowsTheByteCount) {
  // Steps taken for n bytes: 1,1,2 for 1..3; floor((n-1)/3) plus 1 or 2 after.
  for (int n = 1; n <= 40; ++n) {
    CombinedLCG filled, stepped;
    filled.Seed(777, 888);
    stepped.Seed(777, 888);
    Fill(filled, n);
    int steps = 0;
    int left = n;
    if (n >= 4) {
      steps = (n - 1) / 3;
      left = n - 3 * steps;
    }
    steps += left == 2 ? 1 : left == 1 ? 1 : 2;
    unsigned char byte;
    for (int i = 0; i < steps; ++i) stepped.FillBytes(&byte, 1);
    EXPECT_EQ(filled.State1(), stepped.State1()) << n;
    EXPECT_EQ(filled.State2(), stepped.State2()) << n;
  }
}

TEST(CombinedLCG, AddEntropyPacksBigEndianWholeBytes) {
  CombinedLCG g;
  g.Seed(1, 1);
  const std::uint8_t one[] = {1};
  g.AddEntropy(one, 1);  // state1 1 ^ 1 = 0 -> 2147483562 -> one step
  EXPECT_EQ(g.State1(), 2147443549);
  EXPECT_EQ(g.State2(), 40692);

  CombinedLCG nine;
  nine.Seed(12345, 67890);
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  nine.AddEntropy(bytes, 72);
  EXPECT_EQ(nine.State1(), 903235126);
  EXPECT_EQ(nine.State2(), 1524914882);

  // 65 bits consume the ninth byte whole, exactly like 72.
  CombinedLCG partial;
  partial.Seed(12345, 67890);
  partial.AddEntropy(bytes, 65);
  EXPECT_EQ(partial.State1(), 903235126);
  EXPECT_EQ(partial.State2(), 1524914882);
}
