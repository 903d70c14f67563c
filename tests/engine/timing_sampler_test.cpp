#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/tick_clock.h"
#include "engine/timing_sampler.h"

namespace {

std::uint32_t fakeNow = 0;
int clockReads = 0;
std::uint32_t FakeTicks() {
  ++clockReads;
  return fakeNow;
}

struct FakeClock {
  TickSource previous = SetTickSource(&FakeTicks);
  ~FakeClock() { SetTickSource(previous); }
};

}  // namespace

TEST(TimingSampler, PeriodSteersTowardsHalfASecond) {
  struct Vector {
    std::uint32_t period, elapsed, newPeriod;
    bool yieldsBit;
    std::uint32_t bit;
  };
  const Vector vectors[] = {
      {10, 100, 50, false, 0},   {10, 0, 20, false, 0},      {10, 299, 16, false, 0},
      {10, 300, 10, true, 0},    {10, 520, 10, true, 0},     {10, 700, 10, true, 0},
      {1000, 1400, 357, true, 0}, {1402, 701, 1000, true, 1}, {1, 800, 1, true, 1},
      // Periods saturate instead of wrapping round to nonsense or to 0.
      {0xFFFFFFFFu, 0, 0xFFFFFFFFu, false, 0}, {100000000, 1, 0xFFFFFFFFu, false, 0},
  };
  for (const Vector& v : vectors) {
    const SampleSteering s = SteerSamplePeriod(v.period, v.elapsed);
    EXPECT_EQ(s.samplePeriod, v.newPeriod) << v.period << " after " << v.elapsed;
    EXPECT_EQ(s.yieldsBit, v.yieldsBit) << v.period << " after " << v.elapsed;
    if (v.yieldsBit) {
      EXPECT_EQ(ElapsedParity(v.elapsed), v.bit) << v.elapsed;
    }
  }
  EXPECT_EQ(ElapsedParity(0x10000u), 0u);  // only the low 16 bits count
  EXPECT_EQ(ElapsedParity(0x10001u), 1u);
}

TEST(TimingSampler, SamplesOnTheEleventhGenerationAndThenEveryPeriodPlusOne) {
  FakeClock clock;
  fakeNow = 0xFFFFFF00u;  // the counter wraps between the first two samples
  clockReads = 0;
  TimingSampler sampler(fakeNow);
  for (int g = 1; g <= 10; ++g) EXPECT_EQ(sampler.NextGeneration(), -1) << g;
  EXPECT_EQ(clockReads, 0);  // no clock read between samples
  fakeNow += 520;
  EXPECT_EQ(sampler.NextGeneration(), 0);
  for (int g = 12; g <= 21; ++g) EXPECT_EQ(sampler.NextGeneration(), -1) << g;
  fakeNow += 701;
  EXPECT_EQ(sampler.NextGeneration(), 1);
  EXPECT_EQ(sampler.SamplePeriod(), 7u);
  EXPECT_EQ(sampler.SampleCountdown(), 7u);
  fakeNow += 100;
  for (int g = 23; g <= 29; ++g) sampler.NextGeneration();
  EXPECT_EQ(sampler.NextGeneration(), -1);  // too soon for a bit
  EXPECT_EQ(sampler.SamplePeriod(), 35u);
  EXPECT_EQ(clockReads, 3);
}

TEST(TimingSampler, BitGoesIntoTheGeneratorAndTheLog) {
  LifeWorld world;
  world.generator.Seed(1, 1);
  CombinedLCG reference;
  reference.Seed(1, 1);
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  world.randBitsFile = log;
  for (std::uint8_t bit : {std::uint8_t{1}, std::uint8_t{0}, std::uint8_t{1}}) {
    FeedTimingBit(world, bit);
    reference.AddEntropy(&bit, 1);
  }
  EXPECT_EQ(world.generator.State1(), reference.State1());
  EXPECT_EQ(world.generator.State2(), reference.State2());
  std::rewind(log);
  char text[8] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, log), 3u);
  EXPECT_EQ(std::string(text), "101");
  std::fclose(log);
}
