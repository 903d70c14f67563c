#pragma once
#include <cstdint>

#include "engine/life_settings.h"

struct LifeWorld;

// The sizes of the drawing area and of the world, from the screen size and
// the settings. Plain arithmetic, no window. The settings are taken as
// loading leaves them (engine/life_settings.h): ZoomFactor and WorldSize
// within 0..2, WorldMutationRate not negative.

// Screen sizes are clamped into this range first. A failed metric (0 or
// negative) becomes 1 pixel, which the rounding below turns into the
// smallest world there is, 32 x 2 cells, so no later code sees an empty
// world. The upper bound keeps every size and byte count in signed 32 bits
// and the dump's 16-bit width and height.
inline constexpr std::int32_t kMinScreenSize = 1;
inline constexpr std::int32_t kMaxScreenSize = 32768;

struct WorldGeometry {
  std::int32_t displayWidth;   // screen width rounded up to 32 x 2^ZoomFactor
  std::int32_t displayHeight;  // screen height rounded up to 2 x 2^ZoomFactor
  std::int32_t worldCols;      // displayWidth >> WorldSize, rounded up to 32
  std::int32_t worldRows;      // displayHeight >> WorldSize, rounded up to 2
};

// x rounded up to a multiple of m, a power of two: (x + m - 1) AND NOT (m - 1).
std::int32_t RoundUp(std::int32_t x, std::int32_t m);

WorldGeometry ComputeWorldGeometry(std::int32_t screenWidth, std::int32_t screenHeight,
                                   const LifeSettings& settings);

// Bytes of one world buffer (rows of worldCols / 8 bytes, no padding) and of
// the display buffer (rows of displayWidth / 8 bytes).
std::int32_t WorldBytes(const WorldGeometry& geometry);
std::int32_t DisplayBytes(const WorldGeometry& geometry);

// Fills the world's plain data for a freshly allocated set of buffers:
// geometry, the buffer pointers (currentBits = bitsA, nextBits = bitsB,
// bitsSwapped 0), the display buffer (cleared to 0 when given; it must hold
// DisplayBytes(geometry)) and StartWorldCounts.
// The contents of the world buffers are left alone.
void SetUpWorld(LifeWorld& world, const WorldGeometry& geometry, const LifeSettings& settings,
                std::uint8_t* bitsA, std::uint8_t* bitsB, std::uint8_t* displayBits);

// What a new soup starts counting from: the mutation countdown at
// WorldMutationRate and the stall detector reset.
void StartWorldCounts(LifeWorld& world, const LifeSettings& settings);
