#include "ui/options_rules.h"

#include <gtest/gtest.h>

#include "support/loaded_settings.h"

namespace {

// The rate slider's ranges, written out as the user sees them.
struct RateRange {
  int low, high;  // inclusive stored rates
  int steadyPosition, everyPosition;
};
constexpr RateRange kRateRanges[] = {
    {33, 70, 1, 1}, {9, 32, 1, 2}, {7, 8, 1, 3}, {3, 6, 2, 3}, {1, 2, 3, 3}, {-1, 0, 0, 0},
};

int ExpectedPosition(int rate, bool steady) {
  for (const RateRange& r : kRateRanges)
    if (rate >= r.low && rate <= r.high) return steady ? r.steadyPosition : r.everyPosition;
  ADD_FAILURE() << "no range for " << rate;
  return -1;
}

OptionsControls Showing(int world, int zoom, int init, int rate) {
  OptionsControls c;
  c.worldSize = world;
  c.zoom = zoom;
  c.initSize = init;
  c.mutationRate = rate;
  return c;
}

}  // namespace

TEST(OptionsRules, EveryStoredRateShowsAtItsRangesPosition) {
  for (int rate = -1; rate <= 70; ++rate) {
    EXPECT_EQ(RatePositionFor(rate, true), ExpectedPosition(rate, true)) << rate;
    EXPECT_EQ(RatePositionFor(rate, false), ExpectedPosition(rate, false)) << rate;
  }
  EXPECT_EQ(RatePositionFor(INT32_MIN, true), 0);
  EXPECT_EQ(RatePositionFor(INT32_MAX, false), 1);
}

TEST(OptionsRules, EveryStoredRateIsStoredBackAsItsPositionsRate) {
  const int steadyRates[] = {0, 8, 4, 2};
  const int everyRates[] = {0, 64, 16, 4};
  for (int rate = -1; rate <= 70; ++rate) {
    for (const bool steady : {true, false}) {
      const int position = RatePositionFor(rate, steady);
      const int stored = RateForPosition(position, steady);
      EXPECT_EQ(stored, steady ? steadyRates[position] : everyRates[position]) << rate;
      // Stored once, it stays put.
      EXPECT_EQ(RatePositionFor(stored, steady), position) << rate;
    }
  }
}

TEST(OptionsRules, RateForPositionOutsideTheSliderIsClamped) {
  EXPECT_EQ(RateForPosition(-4, true), 0);
  EXPECT_EQ(RateForPosition(9, true), 2);
  EXPECT_EQ(RateForPosition(9, false), 4);
}

TEST(OptionsRules, DefaultsShowHalfTwoQuarterAndRatePositionTwo) {
  const OptionsControls c = ControlsFor(LifeSettings{});
  EXPECT_EQ(c.worldSize, 1);
  EXPECT_EQ(c.zoom, 1);
  EXPECT_EQ(c.initSize, 2);
  EXPECT_EQ(c.mutationRate, 2);
  EXPECT_FALSE(c.tileChecked);
  EXPECT_FALSE(c.tileEnabled);
  EXPECT_TRUE(c.steadyStateChecked);
  EXPECT_TRUE(c.steadyStateEnabled);
  EXPECT_FALSE(c.showMutationsChecked);
  EXPECT_TRUE(c.showMutationsEnabled);
  EXPECT_EQ(c.speed, kSpeedPositionMax);  // Fastest
  EXPECT_FALSE(c.allMonitorsChecked);
  EXPECT_FALSE(c.renewChecked);
  EXPECT_EQ(c.trails, 0);  // Off
}

// A stored speed or trail length shows at the position nearest by ratio and
// is stored back as that position's value; the monitor and renewal flags go
// through unchanged.
TEST(OptionsRules, StoredSpeedsAndTrailsShowTheNearestPositionAndStoreItBack) {
  constexpr std::int32_t LifeSettings::*kSpeed = &LifeSettings::GenerationRate;
  constexpr std::int32_t LifeSettings::*kTrails = &LifeSettings::TrailLength;
  struct Case {
    std::int32_t LifeSettings::*field;
    std::int32_t stored;
    int position;
    std::int32_t storedBack;
  } cases[] = {
      {kSpeed, 0, 5, 0},      {kSpeed, -3, 5, 0},     {kSpeed, 1, 0, 5},
      {kSpeed, 5, 0, 5},      {kSpeed, 7, 0, 5},      {kSpeed, 8, 1, 10},
      {kSpeed, 17, 1, 10},    {kSpeed, 18, 2, 30},    {kSpeed, 42, 2, 30},
      {kSpeed, 43, 3, 60},    {kSpeed, 60, 3, 60},    {kSpeed, 84, 3, 60},
      {kSpeed, 85, 4, 120},   {kSpeed, 240, 4, 120},  {kSpeed, 241, 5, 0},
      {kSpeed, INT32_MAX, 5, 0},
      // Only 0 is "Off"; the geometric means between lengths go up.
      {kTrails, 0, 0, 0},     {kTrails, -1, 0, 0},    {kTrails, 1, 1, 2},
      {kTrails, 2, 1, 2},     {kTrails, 3, 2, 4},     {kTrails, 5, 2, 4},
      {kTrails, 6, 3, 8},     {kTrails, 11, 3, 8},    {kTrails, 12, 4, 16},
      {kTrails, 16, 4, 16},   {kTrails, 22, 4, 16},   {kTrails, 23, 5, 32},
      {kTrails, 45, 5, 32},   {kTrails, 46, 6, 64},   {kTrails, 64, 6, 64},
      {kTrails, INT32_MAX, 6, 64},
  };
  for (const Case& k : cases) {
    const bool speed = k.field == kSpeed;
    LifeSettings s;
    s.*k.field = k.stored;
    s.AllMonitors = static_cast<std::uint8_t>(k.position % 2);
    s.RenewWhenStalled = static_cast<std::uint8_t>(1 - k.position % 2);
    const OptionsControls c = ControlsFor(s);
    EXPECT_EQ(speed ? c.speed : c.trails, k.position) << speed << ' ' << k.stored;
    EXPECT_EQ(speed ? c.trails : c.speed, speed ? 0 : kSpeedPositionMax) << k.stored;
    EXPECT_EQ(c.allMonitorsChecked, k.position % 2 == 1) << k.stored;
    EXPECT_EQ(c.renewChecked, k.position % 2 == 0) << k.stored;
    AcceptControlStates(c, s);
    EXPECT_EQ(s.*k.field, k.storedBack) << speed << ' ' << k.stored;
    EXPECT_EQ(s.AllMonitors, k.position % 2) << k.stored;
    EXPECT_EQ(s.RenewWhenStalled, 1 - k.position % 2) << k.stored;
  }
  EXPECT_EQ(SpeedForPosition(-1), 5);
  EXPECT_EQ(SpeedForPosition(kSpeedPositionMax + 1), 0);
  EXPECT_EQ(TrailForPosition(-1), 0);
  EXPECT_EQ(TrailForPosition(kTrailPositionMax + 1), 64);
}

// Shifts outside the sliders, as loading hands them to the dialog.
TEST(OptionsRules, StoredValuesShowClampedAndStoreBackClamped) {
  struct Case {
    int world, zoom, init, tiled;
    int showWorld, showZoom, showInit;
    bool tileChecked, tileEnabled;
    int storeWorld, storeZoom, storeInit, storeTiled;
  } cases[] = {
      // Both shown as 2: loading already dropped the tiling.
      {5, 3, 7, 1, 2, 2, 2, false, false, 2, 2, 2, 0},
      {-3, -3, -1, 0, 0, 0, 0, false, false, 0, 0, 0, 0},
      {2, 0, 0, 1, 2, 0, 0, true, true, 2, 0, 0, 1},
      {9, 1, 1, 1, 2, 1, 1, true, true, 2, 1, 1, 1},
      {1, -8, 2, 0, 1, 0, 2, false, true, 1, 0, 2, 0},
  };
  for (const Case& k : cases) {
    LifeSettings s = support::LoadedFrom({{"WorldSize", static_cast<std::uint32_t>(k.world)},
                                          {"ZoomFactor", static_cast<std::uint32_t>(k.zoom)},
                                          {"InitSize", static_cast<std::uint32_t>(k.init)},
                                          {"IsTiled", static_cast<std::uint32_t>(k.tiled)}});
    const OptionsControls c = ControlsFor(s);
    EXPECT_EQ(c.worldSize, k.showWorld) << k.world;
    EXPECT_EQ(c.zoom, k.showZoom) << k.zoom;
    EXPECT_EQ(c.initSize, k.showInit) << k.init;
    EXPECT_EQ(c.tileChecked, k.tileChecked) << k.world << ' ' << k.zoom;
    EXPECT_EQ(c.tileEnabled, k.tileEnabled) << k.world << ' ' << k.zoom;
    AcceptControlStates(c, s);
    EXPECT_EQ(s.WorldSize, k.storeWorld);
    EXPECT_EQ(s.ZoomFactor, k.storeZoom);
    EXPECT_EQ(s.InitSize, k.storeInit);
    EXPECT_EQ(s.IsTiled, k.storeTiled);
  }
}

TEST(OptionsRules, StoredRatesShowAndStoreBack) {
  struct Case {
    int rate, steady, position, stored;
    bool boxesEnabled;
  } cases[] = {
      {64, 0, 1, 64, true}, {3, 1, 2, 4, true}, {5, 0, 3, 4, true},
      {0, 1, 0, 0, false},  {-7, 0, 0, 0, false}, {4, 1, 2, 4, true},
  };
  for (const Case& k : cases) {
    LifeSettings s;
    s.WorldMutationRate = k.rate;
    s.MutateAtSteadyState = static_cast<std::uint8_t>(k.steady);
    const OptionsControls c = ControlsFor(s);
    EXPECT_EQ(c.mutationRate, k.position) << k.rate;
    EXPECT_EQ(c.steadyStateEnabled, k.boxesEnabled) << k.rate;
    EXPECT_EQ(c.showMutationsEnabled, k.boxesEnabled) << k.rate;
    AcceptControlStates(c, s);
    EXPECT_EQ(s.WorldMutationRate, k.stored) << k.rate;
    EXPECT_EQ(s.MutateAtSteadyState, k.steady) << k.rate;
  }
}

TEST(OptionsRules, AcceptReadsTheSteadyBoxAsItIsNow) {
  struct Case {
    int position;
    bool steadyChecked;
    int stored;
  } cases[] = {{1, true, 8}, {1, false, 64}, {2, true, 4}, {2, false, 16},
               {3, true, 2}, {3, false, 4},  {0, true, 0}, {0, false, 0}};
  for (const Case& k : cases) {
    LifeSettings s;  // loaded with steady state set
    OptionsControls c = ControlsFor(s);
    c.mutationRate = k.position;
    c.steadyStateChecked = k.steadyChecked;
    AcceptControlStates(c, s);
    EXPECT_EQ(s.WorldMutationRate, k.stored) << k.position << k.steadyChecked;
    EXPECT_EQ(s.MutateAtSteadyState, k.steadyChecked ? 1 : 0);
  }
}

TEST(OptionsRules, AcceptKeepsZoomWithinWorldSizeAndTilesOnlyWhenTheyDiffer) {
  struct Case {
    int world, zoom, init;
    bool tileChecked, tileEnabled;
    int storeWorld, storeZoom, storeInit, storeTiled;
  } cases[] = {
      // World size moved below the zoom with the keyboard: no coupling ran.
      {0, 2, 1, true, true, 0, 0, 1, 0},
      {1, 2, 2, false, false, 1, 1, 2, 0},
      // Checked while equal: nothing to tile.
      {1, 1, 2, true, true, 1, 1, 2, 0},
      // A disabled box counts with the check it shows.
      {2, 1, 0, true, false, 2, 1, 0, 1},
      {2, 0, 2, true, true, 2, 0, 2, 1},
      {2, 0, 2, false, true, 2, 0, 2, 0},
      // The soup size is taken as chosen, even larger than the world.
      {2, 1, 0, false, true, 2, 1, 0, 0},
  };
  for (const Case& k : cases) {
    OptionsControls c = Showing(k.world, k.zoom, k.init, 2);
    c.tileChecked = k.tileChecked;
    c.tileEnabled = k.tileEnabled;
    LifeSettings s;
    AcceptControlStates(c, s);
    EXPECT_EQ(s.WorldSize, k.storeWorld) << k.world << k.zoom;
    EXPECT_EQ(s.ZoomFactor, k.storeZoom) << k.world << k.zoom;
    EXPECT_EQ(s.InitSize, k.storeInit) << k.world << k.zoom;
    EXPECT_EQ(s.IsTiled, k.storeTiled) << k.world << k.zoom;
  }
}

TEST(OptionsRules, DisabledMutationBoxesStoreTheirChecks) {
  for (const bool steady : {true, false}) {
    for (const bool show : {true, false}) {
      OptionsControls c = Showing(1, 1, 2, 0);
      c.steadyStateChecked = steady;
      c.showMutationsChecked = show;
      TrackMutationRate(c);
      ASSERT_FALSE(c.steadyStateEnabled);
      LifeSettings s;
      AcceptControlStates(c, s);
      EXPECT_EQ(s.WorldMutationRate, 0);
      EXPECT_EQ(s.MutateAtSteadyState, steady ? 1 : 0);
      EXPECT_EQ(s.ShowMutations, show ? 1 : 0);
    }
  }
}

TEST(OptionsRules, AcceptLeavesSeedsRuleMutationsAndColourAlone) {
  LifeSettings s;
  s.Seed1 = 11;
  s.Seed2 = -12;
  s.RuleMutations = 99;
  s.PixelColor = 0x00123456u;
  AcceptControlStates(Showing(0, 0, 0, 3), s);
  EXPECT_EQ(s.Seed1, 11);
  EXPECT_EQ(s.Seed2, -12);
  EXPECT_EQ(s.RuleMutations, 99);
  EXPECT_EQ(s.PixelColor, 0x00123456u);
}

TEST(OptionsRules, DraggingOneSizeSliderMovesTheOther) {
  enum Drag { kWorld, kZoom };
  struct Case {
    int world, zoom;  // after the thumb moved, before the handler
    Drag dragged;
    int wantWorld, wantZoom;
    bool tileEnabled;
  } cases[] = {
      // Zoom to "4" with world "Full": world follows up to "Quarter".
      {0, 2, kZoom, 2, 2, false},
      // World from "Quarter" to "Full" with zoom "4": zoom follows down.
      {0, 2, kWorld, 0, 0, false},
      // World "Quarter", zoom "None" to "2", then on to "4".
      {2, 1, kZoom, 2, 1, true},
      {2, 2, kZoom, 2, 2, false},
      // Moves that need no coupling.
      {2, 0, kWorld, 2, 0, true},
      {1, 0, kZoom, 1, 0, true},
      {1, 1, kWorld, 1, 1, false},
      {2, 1, kWorld, 2, 1, true},
  };
  for (const Case& k : cases) {
    OptionsControls c = Showing(k.world, k.zoom, 2, 2);
    c.tileEnabled = !c.tileEnabled;  // the handler decides, whatever it was
    c.tileChecked = true;
    if (k.dragged == kWorld) TrackWorldSize(c);
    else TrackZoom(c);
    EXPECT_EQ(c.worldSize, k.wantWorld) << k.world << k.zoom << k.dragged;
    EXPECT_EQ(c.zoom, k.wantZoom) << k.world << k.zoom << k.dragged;
    EXPECT_EQ(c.tileEnabled, k.tileEnabled) << k.world << k.zoom << k.dragged;
    EXPECT_TRUE(c.tileChecked);
    EXPECT_EQ(c.initSize, 2);
  }
}

TEST(OptionsRules, RateSliderEnablesTheMutationBoxesAwayFromNever) {
  for (int position = 0; position <= kRatePositionMax; ++position) {
    for (const bool enabledBefore : {true, false}) {
      OptionsControls c = Showing(1, 1, 2, position);
      c.steadyStateEnabled = enabledBefore;
      c.showMutationsEnabled = enabledBefore;
      c.steadyStateChecked = true;
      TrackMutationRate(c);
      EXPECT_EQ(c.steadyStateEnabled, position != 0);
      EXPECT_EQ(c.showMutationsEnabled, position != 0);
      EXPECT_TRUE(c.steadyStateChecked);
      EXPECT_FALSE(c.showMutationsChecked);
    }
  }
}
