#include "engine/life_settings.h"

#include <gtest/gtest.h>

#include <numeric>

#include "engine/tick_clock.h"

namespace {

std::uint32_t fakeTicks;
std::uint32_t CountingTicks() { return fakeTicks++; }

struct ScopedTicks {
  explicit ScopedTicks(std::uint32_t start) : previous(SetTickSource(&CountingTicks)) {
    fakeTicks = start;
  }
  ~ScopedTicks() { SetTickSource(previous); }
  TickSource previous;
};

}  // namespace

TEST(LifeSettings, RuleTableIsConwaysLife) {
  const LifeSettings s;
  struct Case {
    unsigned index;
    int next;
  } cases[] = {{0x000, 0}, {0x007, 1}, {0x013, 1}, {0x017, 1}, {0x010, 0},
               {0x00F, 0}, {0x01F, 0}, {0x1FF, 0}, {0x144, 1}, {0x155, 0}};
  for (const Case& c : cases) EXPECT_EQ(s.RuleTable[c.index], c.next) << std::hex << c.index;
  EXPECT_EQ(std::accumulate(std::begin(s.RuleTable), std::end(s.RuleTable), 0), 140);
}

TEST(LifeSettings, ConstructsDefaultsAndReadsTheClockAroundTheTable) {
  const ScopedTicks ticks(0xFFFFFFFEu);
  const LifeSettings s;
  EXPECT_EQ(s.ZoomFactor, 1);
  EXPECT_EQ(s.WorldSize, 1);
  EXPECT_EQ(s.IsTiled, 0);
  EXPECT_EQ(s.PixelColor, 0x00FFFF30u);
  EXPECT_EQ(s.WorldMutationRate, 4);
  EXPECT_EQ(s.RuleMutations, 0);
  EXPECT_EQ(s.MutateAtSteadyState, 1);
  EXPECT_EQ(s.ShowMutations, 0);
  EXPECT_EQ(s.InitSize, 2);
  EXPECT_EQ(s.GenerationRate, 0);
  EXPECT_EQ(s.AllMonitors, 0);
  EXPECT_EQ(s.RenewWhenStalled, 0);
  // Two readings: the first before the table, the second after it.
  EXPECT_EQ(s.Seed1, -2);
  EXPECT_EQ(s.Seed2, -1);
  EXPECT_EQ(fakeTicks, 0u);
}

TEST(LifeSettings, NormalizeKeepsZoomWithinWorldSizeAndDropsUselessTiling) {
  struct Case {
    int zoom, world, tiled;
    int wantZoom, wantWorld, wantTiled;
  } cases[] = {
      {2, 1, 1, 1, 1, 0}, {0, 2, 1, 0, 2, 1}, {1, 1, 1, 1, 1, 0},
      {2, 0, 1, 0, 0, 0}, {1, 2, 0, 1, 2, 0}, {5, -1, 1, -1, -1, 0},
  };
  for (const Case& c : cases) {
    LifeSettings s;
    s.ZoomFactor = c.zoom;
    s.WorldSize = c.world;
    s.IsTiled = static_cast<std::uint8_t>(c.tiled);
    s.NormalizeSettings();
    EXPECT_EQ(s.ZoomFactor, c.wantZoom);
    EXPECT_EQ(s.WorldSize, c.wantWorld);
    EXPECT_EQ(s.IsTiled, c.wantTiled);
  }
}
