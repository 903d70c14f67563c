#include "engine/step/step_rule_sets.h"

#include <bit>

bool DeriveRuleSets(const std::uint8_t* rule, RuleSets& sets) {
  // For each (centre, count) pair: which outcomes the table has shown.
  std::uint16_t seenLive[2] = {0, 0};
  std::uint16_t seenDead[2] = {0, 0};
  for (unsigned index = 0; index < 512; ++index) {
    const unsigned centre = (index >> 4) & 1u;
    const int count = std::popcount(index & ~0x10u);
    const auto bit = static_cast<std::uint16_t>(1u << count);
    if (rule[index] != 0)
      seenLive[centre] |= bit;
    else
      seenDead[centre] |= bit;
  }
  if ((seenLive[0] & seenDead[0]) != 0 || (seenLive[1] & seenDead[1]) != 0) return false;
  sets.birth = seenLive[0];
  sets.survival = seenLive[1];
  return true;
}
