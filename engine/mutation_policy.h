#pragma once
#include <cstdint>

#include "engine/life_settings.h"
#include "engine/life_world.h"

// One random cell is flipped every WorldMutationRate counted generations, so
// that the display never freezes. With MutateAtSteadyState set only a
// generation whose step changed nothing since two generations back counts
// (still lifes, period-2 oscillators, an empty world); otherwise every one
// does. A countdown of 0 or less disables mutation for the run.

enum class MutationAction {
  kNone,
  kFlipBeforeFrame,  // ShowMutations: the frame shows the flipped cell
  kFlipAfterFrame,   // the frame shows the unmutated generation
};

// Counts one generation with the given change count against
// world.mutationCountdown, resetting it to WorldMutationRate when it runs out.
MutationAction DecideMutation(std::int32_t& mutationCountdown, std::int32_t changes,
                              const LifeSettings& settings);

// The cell a 32-bit random word r picks in a world of cols x rows cells:
// word w = (r >> 5) mod (cols * rows / 32) of the buffer, read as a
// little-endian 32-bit word, and bit b = r & 31 of it, that is bit b % 8 of
// byte 4w + b / 8. byteOffset is -1 when the world holds no whole word.
struct CellFlip {
  std::int32_t byteOffset;
  std::uint8_t mask;
};

CellFlip MutationTarget(std::uint32_t r, std::int32_t cols, std::int32_t rows);

// Draws 4 bytes from world.generator (read little-endian) and inverts the cell
// they pick in world.nextBits. Does nothing to the cells when the world has
// no buffer or no whole word.
void FlipRandomCell(LifeWorld& world);
