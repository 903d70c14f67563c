#pragma once
#include <cstdint>

#include "engine/frame_renderer.h"
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

// Whether dead cells fade out (TrailLength above 0). Every layout then
// composes the shades into the shade display buffer (8-bit shades, or
// 32-bit pixels), which is transferred whole, and the 1-bit display buffer
// is not used.
bool TrailsShown(const LifeSettings& settings);

// Whether the layout composes into the screen-sized 1-bit display buffer
// (zoomed or tiled, without trails), which must then exist.
bool NeedsDisplayBuffer(const LifeSettings& settings);

// Whether the drawing area is cleared to black once before the first frame:
// only an unmagnified, untiled world smaller than the screen leaves margins
// (never with trails: the shade image covers the whole area).
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

// Composes the generation in world.nextBits into world.displayBits as the
// layout requires and says what to transfer (its generation and rate are
// the caller's to fill in). With trails it advances the shades by this
// generation and composes them into world.shadeDisplayBits instead: call it
// once per generation. Reads nextBits only; writes only inside the display
// buffers and the shades. Returns kNone when the layout needs a display
// buffer and there is none, or the world has no buffers.
FrameTransfer RenderIntoDisplay(const LifeWorld& world, const LifeSettings& settings);

// The size of the bitmap the layout transfers: the world itself in the
// direct layout, else the display buffer.
struct BitmapSize {
  std::int32_t width;
  std::int32_t height;
};
BitmapSize TransferredBitmapSize(const LifeWorld& world, const LifeSettings& settings);

// The drawing's start for this world and these settings: the display's
// size, the background fill, the live-cell colour and the world's stop word.
DrawingStart DrawingStartFor(const LifeWorld& world, const LifeSettings& settings);
