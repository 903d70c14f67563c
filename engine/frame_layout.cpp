#include "engine/frame_layout.h"

#include <algorithm>
#include <cstring>

#include "engine/expand_tables.h"

FrameLayout ChooseFrameLayout(const LifeSettings& settings) {
  if (settings.IsTiled != 0) return FrameLayout::kTiled;
  return settings.ZoomFactor != 0 ? FrameLayout::kZoomed : FrameLayout::kDirect;
}

bool NeedsDisplayBuffer(const LifeSettings& settings) {
  return ChooseFrameLayout(settings) != FrameLayout::kDirect;
}

bool NeedsBackgroundFill(const LifeSettings& settings) {
  return settings.IsTiled == 0 && settings.ZoomFactor == 0 && settings.WorldSize != 0;
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

// The part of a placement that lies inside the destination: the number of
// destination bytes of a row from x / 8 on, and the number of destination
// rows from y on. Both 0 when the placement starts outside.
struct Clip {
  std::int32_t rowBytes;
  std::int32_t rows;
};

Clip ClipPlacement(std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y) {
  const std::int32_t stride = width / 8;
  if (x < 0 || y < 0 || x / 8 >= stride || y >= height) return {0, 0};
  return {stride - x / 8, height - y};
}

// Copies count bytes to one destination row, cut to what fits there.
inline void PutCut(std::uint8_t* row, std::int32_t offset, std::int32_t room,
                   const std::uint8_t* bytes, std::int32_t count) {
  if (offset >= room) return;
  std::memcpy(row + offset, bytes, static_cast<std::size_t>(std::min(count, room - offset)));
}

}  // namespace

void ExpandWorld1x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  const Clip clip = ClipPlacement(width, height, x, y);
  const std::int32_t rowBytes = cols / 8;
  const std::int32_t stride = width / 8;
  const std::int32_t copyBytes = std::min(rowBytes, clip.rowBytes);
  const std::int32_t copyRows = std::min(rows, clip.rows);
  if (copyBytes <= 0) return;
  for (std::int32_t r = 0; r < copyRows; ++r)
    std::memcpy(destination + static_cast<std::ptrdiff_t>(y + r) * stride + x / 8,
                source + static_cast<std::ptrdiff_t>(r) * rowBytes,
                static_cast<std::size_t>(copyBytes));
}

void ExpandWorld2x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  const Clip clip = ClipPlacement(width, height, x, y);
  if (clip.rowBytes <= 0) return;
  const std::int32_t rowBytes = cols / 8;
  const std::int32_t stride = width / 8;
  for (std::int32_t r = 0; r < rows && 2 * r < clip.rows; ++r) {
    const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(r) * rowBytes;
    std::uint8_t* out0 = destination + static_cast<std::ptrdiff_t>(y + 2 * r) * stride + x / 8;
    std::uint8_t* out1 = 2 * r + 1 < clip.rows ? out0 + stride : nullptr;
    // 16 cells become one 32-bit group, stored in both rows.
    for (std::int32_t g = 0; g < rowBytes / 2 && 4 * g < clip.rowBytes; ++g) {
      std::uint8_t group[4];
      std::memcpy(group, Expand2Table[in[2 * g]].data(), 2);
      std::memcpy(group + 2, Expand2Table[in[2 * g + 1]].data(), 2);
      if (4 * g + 4 <= clip.rowBytes) {
        std::memcpy(out0 + 4 * g, group, 4);
        if (out1 != nullptr) std::memcpy(out1 + 4 * g, group, 4);
      } else {
        PutCut(out0, 4 * g, clip.rowBytes, group, 4);
        if (out1 != nullptr) PutCut(out1, 4 * g, clip.rowBytes, group, 4);
      }
    }
  }
}

void ExpandWorld4x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  const Clip clip = ClipPlacement(width, height, x, y);
  if (clip.rowBytes <= 0) return;
  const std::int32_t rowBytes = cols / 8;
  const std::int32_t stride = width / 8;
  for (std::int32_t r = 0; r < rows && 4 * r < clip.rows; ++r) {
    const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(r) * rowBytes;
    std::uint8_t* out = destination + static_cast<std::ptrdiff_t>(y + 4 * r) * stride + x / 8;
    const std::int32_t copies = std::min<std::int32_t>(4, clip.rows - 4 * r);
    // 8 cells become one 32-bit group, stored in four rows.
    for (std::int32_t k = 0; k < rowBytes && 4 * k < clip.rowBytes; ++k) {
      const std::uint8_t* group = Expand4Table[in[k]].data();
      if (4 * k + 4 <= clip.rowBytes) {
        for (std::int32_t i = 0; i < copies; ++i) std::memcpy(out + i * stride + 4 * k, group, 4);
      } else {
        for (std::int32_t i = 0; i < copies; ++i)
          PutCut(out + i * stride, 4 * k, clip.rowBytes, group, 4);
      }
    }
  }
}

FrameTransfer RenderIntoDisplay(const LifeWorld& world, const LifeSettings& settings) {
  FrameTransfer none{TransferSource::kNone, nullptr, 0, 0, 0, 0};
  if (world.nextBits == nullptr) return none;
  const FrameLayout layout = ChooseFrameLayout(settings);
  const std::int32_t zoom = settings.ZoomFactor;
  if (layout == FrameLayout::kDirect) {
    const PixelPoint at = CentringOffset(world, zoom);
    const bool inA = world.nextBits == world.worldBitsA;
    return {inA ? TransferSource::kWorldA : TransferSource::kWorldB, world.nextBits, at.x, at.y,
            at.x + world.worldCols, at.y + world.worldRows};
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
  return {TransferSource::kDisplay, world.displayBits, 0, 0, world.displayWidth,
          world.displayHeight};
}
