#include "engine/life_settings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

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
  for (const SettingField& field : kSettingFields) {
    if (field.source == SettingDefault::kValue) {
      EXPECT_EQ(field.get(s), field.defaultValue) << field.name;
    }
  }
  // Two readings: the first before the table, the second after it.
  EXPECT_EQ(s.Seed1, -2);
  EXPECT_EQ(s.Seed2, -1);
  EXPECT_EQ(fakeTicks, 0u);
}

// Every other test takes the stored values from the table, so this one holds
// the table to the values as released: names, forms, groups, defaults,
// ranges, save steps and the order loading reads them. A new row is not
// listed here and changes nothing; a changed one is a changed stored value.
TEST(LifeSettings, StoredValuesKeepTheirReleasedRows) {
  using enum SettingForm;
  using enum SettingGroup;
  using enum SettingDefault;
  const struct Released {
    const char* name;
    SettingForm form;
    SettingGroup group;
    SettingDefault source;
    std::int64_t defaultValue, min, max;
    int step;
  } released[] = {
      {"WorldSize", kWord, kOption, kValue, 1, 0, 2, 0},
      {"InitSize", kWord, kOption, kValue, 2, 0, 2, 1},
      {"ZoomFactor", kWord, kOption, kValue, 1, 0, 2, 2},
      {"IsTiled", kFlag, kOption, kValue, 0, 0, 1, 3},
      {"MutateAtSteadyState", kFlag, kOption, kValue, 1, 0, 1, 5},
      {"ShowMutations", kFlag, kOption, kValue, 0, 0, 1, 6},
      {"WorldMutationRate", kWord, kOption, kValue, 4, 0, INT32_MAX, 4},
      {"RuleMutations", kWord, kLoadedOnly, kValue, 0, INT32_MIN, INT32_MAX, -1},
      {"Seed1", kWord, kSeed, kTicks, 0, INT32_MIN, INT32_MAX, -1},
      {"Seed2", kWord, kSeed, kTicksAfterRuleTable, 0, INT32_MIN, INT32_MAX, -1},
      {"PixelColor", kColour, kOption, kValue, 0x00FFFF30, 0, 0x00FFFFFF, 7},
      {"GenerationRate", kWord, kOption, kValue, 0, 0, INT32_MAX, 8},
      {"AllMonitors", kFlag, kOption, kValue, 0, 0, 1, 9},
  };
  std::vector<std::string> tableOrder;
  for (const SettingField& field : kSettingFields) {
    for (const Released& r : released) {
      if (std::string(field.name) != r.name) continue;
      tableOrder.emplace_back(field.name);
      EXPECT_EQ(field.form, r.form) << r.name;
      EXPECT_EQ(field.group, r.group) << r.name;
      EXPECT_EQ(field.source, r.source) << r.name;
      EXPECT_EQ(field.defaultValue, r.defaultValue) << r.name;
      EXPECT_EQ(field.min, r.min) << r.name;
      EXPECT_EQ(field.max, r.max) << r.name;
      EXPECT_EQ(field.optionStep, r.step) << r.name;
    }
  }
  std::vector<std::string> releasedOrder;
  for (const Released& r : released) releasedOrder.emplace_back(r.name);
  EXPECT_EQ(tableOrder, releasedOrder) << "a released row is missing or moved";
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
