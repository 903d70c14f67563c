#include "engine/life_settings.h"

#include <bit>

#include "engine/tick_clock.h"

LifeSettings lifeSettings;

namespace {

// Applies the defaults taken on one side of building the rule table, in
// table order.
void ApplyDefaults(LifeSettings& settings, bool afterRuleTable) {
  for (const SettingField& field : kSettingFields) {
    if ((field.source == SettingDefault::kTicksAfterRuleTable) != afterRuleTable) continue;
    field.set(settings, field.source == SettingDefault::kValue ? field.defaultValue
                                                               : std::int64_t{TickCount()});
  }
}

}  // namespace

LifeSettings::LifeSettings() {
  ApplyDefaults(*this, false);
  BuildRuleTable();
  ApplyDefaults(*this, true);
}

void LifeSettings::BuildRuleTable() {
  for (unsigned index = 0; index < 512; ++index) {
    const int live = std::popcount(index);  // counts the cell itself too
    const bool self = (index & 0x10u) != 0;
    RuleTable[index] = (live == 3 || (live == 4 && self)) ? 1 : 0;
  }
}

void LifeSettings::NormalizeSettings() { KeepZoomWithinWorld(ZoomFactor, WorldSize, IsTiled); }
