#include "engine/life_settings.h"

#include <bit>

#include "engine/tick_clock.h"

LifeSettings lifeSettings;

LifeSettings::LifeSettings() {
  Seed1 = static_cast<std::int32_t>(TickCount());
  ZoomFactor = 1;
  WorldSize = 1;
  IsTiled = 0;
  InitSize = 2;
  WorldMutationRate = 4;
  MutateAtSteadyState = 1;
  ShowMutations = 0;
  PixelColor = kDefaultPixelColor;
  RuleMutations = 0;
  BuildRuleTable();
  Seed2 = static_cast<std::int32_t>(TickCount());
}

void LifeSettings::BuildRuleTable() {
  for (unsigned index = 0; index < 512; ++index) {
    const int live = std::popcount(index);  // counts the cell itself too
    const bool self = (index & 0x10u) != 0;
    RuleTable[index] = (live == 3 || (live == 4 && self)) ? 1 : 0;
  }
}

void LifeSettings::NormalizeSettings() {
  if (ZoomFactor > WorldSize) ZoomFactor = WorldSize;
  if (ZoomFactor == WorldSize) IsTiled = 0;
}
