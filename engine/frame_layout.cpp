#include "engine/frame_layout.h"

#include <algorithm>

#include "engine/trail_shades.h"
#include "engine/world_magnification.h"

FrameLayout ChooseFrameLayout(const LifeSettings& settings) {
  if (settings.IsTiled != 0) return FrameLayout::kTiled;
  return settings.ZoomFactor != 0 ? FrameLayout::kZoomed : FrameLayout::kDirect;
}

bool TrailsShown(const LifeSettings& settings) { return settings.TrailLength > 0; }

bool NeedsDisplayBuffer(const LifeSettings& settings) {
  return !TrailsShown(settings) && ChooseFrameLayout(settings) != FrameLayout::kDirect;
}

bool NeedsBackgroundFill(const LifeSettings& settings) {
  return !TrailsShown(settings) && settings.IsTiled == 0 && settings.ZoomFactor == 0 &&
         settings.WorldSize != 0;
}

PixelPoint CentringOffset(const LifeWorld& world, std::int32_t zoomShift) {
  // 64-bit so that no geometry can overflow the shift or the difference.
  const std::int64_t dx = (std::int64_t{world.displayWidth} -
                           (std::int64_t{world.worldCols} << zoomShift)) >> 1;
  const std::int64_t dy = (std::int64_t{world.displayHeight} -
                           (std::int64_t{world.worldRows} << zoomShift)) >> 1;
  return {static_cast<std::int32_t>(std::max<std::int64_t>(dx, 0)),
          static_cast<std::int32_t>(std::max<std::int64_t>(dy, 0))};
}

std::int32_t TilePlacements(const LifeWorld& world, const LifeSettings& settings,
                            PixelPoint* placements, std::int32_t capacity) {
  const std::int32_t zoom = settings.ZoomFactor;
  // T = 2^(WorldSize - ZoomFactor) per axis; tiles that start beyond the
  // display are left out.
  const std::int64_t tiles = std::int64_t{1} << (settings.WorldSize - settings.ZoomFactor);
  const std::int64_t pitchX = std::int64_t{world.worldCols} << zoom;
  const std::int64_t pitchY = std::int64_t{world.worldRows} << zoom;
  if (pitchX <= 0 || pitchY <= 0) return 0;
  std::int32_t count = 0;
  for (std::int64_t j = 0; j < tiles && j * pitchY < world.displayHeight; ++j)
    for (std::int64_t i = 0; i < tiles && i * pitchX < world.displayWidth; ++i) {
      if (count == capacity) return count;
      placements[count++] = {static_cast<std::int32_t>(i * pitchX),
                             static_cast<std::int32_t>(j * pitchY)};
    }
  return count;
}

namespace {

using ExpandFunction = void (*)(std::uint8_t*, const std::uint8_t*, std::int32_t, std::int32_t,
                                std::int32_t, std::int32_t, std::int32_t, std::int32_t);

ExpandFunction ExpandFor(std::int32_t zoomShift) {
  if (zoomShift == 2) return &ExpandWorld4x;
  if (zoomShift == 1) return &ExpandWorld2x;
  return &ExpandWorld1x;
}

// The transfer of a whole screen-sized buffer from the drawing area's corner.
FrameTransfer WholeDisplay(TransferSource source, const std::uint8_t* bits,
                           const LifeWorld& world) {
  FrameTransfer whole;
  whole.source = source;
  whole.bits = bits;
  whole.right = world.displayWidth;
  whole.bottom = world.displayHeight;
  return whole;
}

}  // namespace

FrameTransfer RenderIntoDisplay(const LifeWorld& world, const LifeSettings& settings) {
  const FrameTransfer none{};
  if (world.nextBits == nullptr) return none;
  if (TrailsShown(settings)) {
    if (world.trailShades == nullptr || world.shadeDisplayBits == nullptr) return none;
    UpdateTrailShades(world.trailShades, world.nextBits, world.worldCols, world.worldRows,
                      settings.TrailLength);
    if (world.shadePixels != nullptr) {
      ComposeTrailPixels(world.shadeDisplayBits, world.trailShades, world.shadePixels, world,
                         settings);
    } else {
      ComposeTrailShades(world.shadeDisplayBits, world.trailShades, world, settings);
    }
    return WholeDisplay(TransferSource::kShadeDisplay, world.shadeDisplayBits, world);
  }
  const FrameLayout layout = ChooseFrameLayout(settings);
  const std::int32_t zoom = settings.ZoomFactor;
  if (layout == FrameLayout::kDirect) {
    const PixelPoint at = CentringOffset(world, zoom);
    const bool inA = world.nextBits == world.worldBitsA;
    FrameTransfer direct;
    direct.source = inA ? TransferSource::kWorldA : TransferSource::kWorldB;
    direct.bits = world.nextBits;
    direct.left = at.x;
    direct.top = at.y;
    direct.right = at.x + world.worldCols;
    direct.bottom = at.y + world.worldRows;
    return direct;
  }
  if (world.displayBits == nullptr) return none;
  const ExpandFunction expand = ExpandFor(zoom);
  auto place = [&](PixelPoint at) {
    expand(world.displayBits, world.nextBits, world.worldCols, world.worldRows,
           world.displayWidth, world.displayHeight, at.x, at.y);
  };
  if (layout == FrameLayout::kZoomed) {
    place(CentringOffset(world, zoom));
  } else {
    // 2^WorldSize tiles per axis at most, WorldSize at most 2.
    constexpr std::int32_t kMaxTiles = 16;
    PixelPoint tiles[kMaxTiles];
    const std::int32_t count = TilePlacements(world, settings, tiles, kMaxTiles);
    for (std::int32_t t = 0; t < count; ++t) place(tiles[t]);
  }
  return WholeDisplay(TransferSource::kDisplay, world.displayBits, world);
}

BitmapSize TransferredBitmapSize(const LifeWorld& world, const LifeSettings& settings) {
  if (!TrailsShown(settings) && ChooseFrameLayout(settings) == FrameLayout::kDirect)
    return {world.worldCols, world.worldRows};
  return {world.displayWidth, world.displayHeight};
}

DrawingStart DrawingStartFor(const LifeWorld& world, const LifeSettings& settings) {
  DrawingStart start;
  start.width = world.displayWidth;
  start.height = world.displayHeight;
  start.fillBackground = NeedsBackgroundFill(settings);
  start.liveColor = settings.PixelColor;
  start.stopFlag = &world.stopFlag;
  return start;
}
