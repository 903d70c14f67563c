#pragma once
#include <cstdint>

#include "engine/life_settings.h"

struct LifeWorld;

// The sizes of the drawing area and of the world, from the screen size and
// the settings. Plain arithmetic, no window.
//
// How the Windows program calls it, in the saver window's construction after
// LoadSettings and seeding the generator:
//   const WorldGeometry g = ComputeWorldGeometry(
//       GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), lifeSettings);
//   allocate two world bitmaps of g.worldCols x g.worldRows (WorldBytes(g)
//   each) and, when NeedsDisplayBitmap(lifeSettings), a display bitmap of
//   g.displayWidth x g.displayHeight (DisplayBytes(g)); then
//   SetUpWorld(world, g, lifeSettings, bitsA, bitsB, displayBitsOrNull) and
//   FillSoup (engine/soup.h) on world.currentBits.

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

// A shift from the settings, kept to the 0..2 the geometry is defined for.
std::int32_t ClampShift(std::int32_t shift);

// x rounded up to a multiple of m, a power of two: (x + m - 1) AND NOT (m - 1).
std::int32_t RoundUp(std::int32_t x, std::int32_t m);

WorldGeometry ComputeWorldGeometry(std::int32_t screenWidth, std::int32_t screenHeight,
                                   const LifeSettings& settings);

// Bytes of one world buffer (rows of worldCols / 8 bytes, no padding) and of
// the display buffer (rows of displayWidth / 8 bytes).
std::int32_t WorldBytes(const WorldGeometry& geometry);
std::int32_t DisplayBytes(const WorldGeometry& geometry);

// The display bitmap exists only for tiling or magnification.
bool NeedsDisplayBitmap(const LifeSettings& settings);

// Fills the world's plain data for a freshly allocated set of buffers:
// geometry, the buffer pointers (currentBits = bitsA, nextBits = bitsB,
// bitsSwapped 0), the display buffer (cleared to 0 when given) and the
// mutation countdown. The world buffers themselves are left to FillSoup
// and the caller.
void SetUpWorld(LifeWorld& world, const WorldGeometry& geometry, const LifeSettings& settings,
                std::uint8_t* bitsA, std::uint8_t* bitsB, std::uint8_t* displayBits);
