#pragma once
#include <cstdint>

// Every user option of the saver, the two generator seeds handed on from one
// run to the next, and the 512-entry next-state table. Field names are the
// registry value names. Shifts (ZoomFactor, WorldSize, InitSize) are powers of
// two, 0..2; flags are single bytes 0 or 1; the seeds are opaque 32-bit words.
struct LifeSettings {
  std::int32_t ZoomFactor;
  std::int32_t WorldSize;
  std::uint8_t IsTiled;
  std::uint32_t PixelColor;  // COLORREF layout 0x00BBGGRR
  std::int32_t WorldMutationRate;
  std::int32_t RuleMutations;  // loaded, never acted on
  // Next state indexed by the 3x3 neighbourhood: bit 4 is the cell itself,
  // bits 8..6 the row above (left to right), 5 and 3 the left and right
  // neighbours, 2..0 the row below.
  std::uint8_t RuleTable[512];
  std::int32_t Seed1;
  std::int32_t Seed2;
  std::uint8_t MutateAtSteadyState;
  std::uint8_t ShowMutations;
  std::int32_t InitSize;

  // Defaults; the two seeds are tick-count readings taken before and after
  // the rule table is built.
  LifeSettings();

  // Life: born with three live neighbours, survives with two or three.
  void BuildRuleTable();

  // ZoomFactor never above WorldSize; no tiling when they are equal.
  void NormalizeSettings();
};

inline constexpr std::uint32_t kDefaultPixelColor = 0x00FFFF30u;

// The process's one settings record, read by the whole engine.
extern LifeSettings lifeSettings;
