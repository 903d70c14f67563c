#include "engine/mutation_policy.h"

MutationAction DecideMutation(std::int32_t& mutationCountdown, std::int32_t changes,
                              const LifeSettings& settings) {
  const bool counts = changes == 0 || settings.MutateAtSteadyState == 0;
  // A countdown of 0 disables mutation; a negative one (a negative rate)
  // is treated alike rather than decremented towards overflow.
  if (!counts || mutationCountdown <= 0) return MutationAction::kNone;
  if (--mutationCountdown != 0) return MutationAction::kNone;
  mutationCountdown = settings.WorldMutationRate;
  return settings.ShowMutations != 0 ? MutationAction::kFlipBeforeFrame
                                     : MutationAction::kFlipAfterFrame;
}

CellFlip MutationTarget(std::uint32_t r, std::int32_t cols, std::int32_t rows) {
  if (cols <= 0 || rows <= 0) return {-1, 0};
  const std::uint64_t words = std::uint64_t{static_cast<std::uint32_t>(cols)} *
                              static_cast<std::uint32_t>(rows) / 32;
  if (words == 0) return {-1, 0};
  const std::uint64_t w = (r >> 5) % words;
  const std::uint32_t b = r & 31u;
  return {static_cast<std::int32_t>(4 * w + b / 8), static_cast<std::uint8_t>(1u << (b % 8))};
}

void FlipRandomCell(LifeWorld& world) {
  std::uint8_t bytes[4];
  world.generator.FillBytes(bytes, 4);
  const std::uint32_t r = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                          std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
  const CellFlip flip = MutationTarget(r, world.worldCols, world.worldRows);
  if (world.nextBits == nullptr || flip.byteOffset < 0) return;
  world.nextBits[flip.byteOffset] ^= flip.mask;
}
