#pragma once
#include <cstdint>

#include "engine/life_settings.h"
#include "engine/life_world.h"

// How a generation reaches the screen, decided from normalised settings
// (0 <= ZoomFactor <= WorldSize <= 2, IsTiled only when the two differ), as
// loading and NormalizeSettings leave them; every function here takes the
// settings so and checks none of it again.
//   direct  (not tiled, ZoomFactor 0): the world buffer itself is transferred,
//           centred; nothing is composed.
//   zoomed  (not tiled, ZoomFactor 1 or 2): one copy magnified 2^Z into the
//           display buffer, centred; the display buffer is transferred whole.
//   tiled   (IsTiled): T x T copies, T = 2^(WorldSize - ZoomFactor), each
//           magnified 2^Z, side by side from the display buffer's lower-left
//           corner; the display buffer is transferred whole.
enum class FrameLayout { kDirect, kZoomed, kTiled };

FrameLayout ChooseFrameLayout(const LifeSettings& settings);

// Whether the layout composes into the screen-sized display buffer (zoomed
// or tiled), which must then exist.
bool NeedsDisplayBuffer(const LifeSettings& settings);

// Whether the drawing area is cleared to black once before the first frame:
// only an unmagnified, untiled world smaller than the screen leaves margins.
bool NeedsBackgroundFill(const LifeSettings& settings);

// A position in pixels; for the display buffer x counts from the left and y
// counts memory rows from the bottom.
struct PixelPoint {
  std::int32_t x;
  std::int32_t y;
};

// Offset that centres a world magnified by 2^zoomShift in the drawing area,
// rounded down and never negative.
PixelPoint CentringOffset(const LifeWorld& world, std::int32_t zoomShift);

// Tile placements for the tiled layout, in drawing order (rows of tiles from
// the bottom, left to right within a row). Only tiles whose lower-left corner
// lies inside the display are listed; the last column and row may overhang
// and are cut by the expansion. At most 16 tiles (4 x 4) exist; whatever the
// count, at most capacity entries are written. Returns how many it wrote.
std::int32_t TilePlacements(const LifeWorld& world, const LifeSettings& settings,
                            PixelPoint* placements, std::int32_t capacity);

// Which bitmap a frame is transferred from, and where to.
enum class TransferSource { kNone, kWorldA, kWorldB, kDisplay };

// The transfer of one frame: the bitmap (kNone: nothing to transfer), its
// pixel memory and the destination rectangle in client coordinates (top-down,
// right and bottom exclusive).
struct FrameTransfer {
  TransferSource source;
  const std::uint8_t* bits;
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// Composes the generation in world.nextBits into world.displayBits as the
// layout requires and says what to transfer. Reads nextBits only; writes only
// inside the display buffer. Returns kNone when the layout needs the display
// buffer and there is none, or the world has no buffers.
FrameTransfer RenderIntoDisplay(const LifeWorld& world, const LifeSettings& settings);

// Place a world image (cols x rows cells, world buffer layout) into a 1-bit
// destination of width x height pixels (rows of width / 8 bytes, bottom-up),
// magnified 1, 2 or 4 times, with its lower-left corner at pixel column x and
// memory row y. Preconditions: cols a multiple of 32, x a multiple of 8,
// width a multiple of 8. Whatever would fall right of the destination's width
// or above its height is cut; nothing outside the placed block is written and
// the source is only read. A negative x or y places nothing.
void ExpandWorld1x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y);
void ExpandWorld2x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y);
void ExpandWorld4x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y);
