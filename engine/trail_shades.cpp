#include "engine/trail_shades.h"

#include <algorithm>
#include <cstring>

#include "engine/frame_layout.h"

namespace {

std::int32_t ClampTrailLength(std::int32_t trailLength) {
  return std::clamp<std::int32_t>(trailLength, 1, kMaxTrailLength);
}

// The loops below work on blocks of 16 cells or shades in local arrays, with
// fixed trip counts and nothing aliased, so that the compiler turns each into
// a few 128-bit vector operations (SSE2 on x86) at -O2 and -O3 alike.
constexpr std::size_t kBlock = 16;

// The cells of world byte b as 8 mask bytes in memory order, 0xFF for a live
// cell and 0 for a dead one (column 8k, bit 7, first): bytes 0..7 of
// left[b], bytes 8..15 of right[b], the other bytes 0. A block's masks are
// then two aligned 16-byte loads ORed, with no bytes to gather.
struct LiveMaskTables {
  alignas(16) std::uint8_t left[256][kBlock];
  alignas(16) std::uint8_t right[256][kBlock];
};

constexpr LiveMaskTables MakeLiveMaskTables() {
  LiveMaskTables tables{};
  for (unsigned b = 0; b < 256; ++b)
    for (unsigned cell = 0; cell < 8; ++cell) {
      const std::uint8_t mask = (b >> (7 - cell)) & 1u ? 0xFF : 0x00;
      tables.left[b][cell] = mask;
      tables.right[b][cell + 8] = mask;
    }
  return tables;
}
constexpr LiveMaskTables kLiveMasks = MakeLiveMaskTables();

// The part of a copy of pixels x lines pixels at (x, y) that lies inside a
// display of width x height: 0 x 0 when it starts outside.
struct Cut {
  std::int32_t pixels;
  std::int32_t lines;
};

Cut CutPlacement(std::int32_t width, std::int32_t height, PixelPoint at, std::int64_t pixels,
                 std::int64_t lines) {
  if (at.x < 0 || at.y < 0 || at.x >= width || at.y >= height) return {0, 0};
  return {static_cast<std::int32_t>(std::min<std::int64_t>(pixels, width - at.x)),
          static_cast<std::int32_t>(std::min<std::int64_t>(lines, height - at.y))};
}

// What a shade becomes in the display: itself, a palette index of 8 bits,
// or its 32-bit pixel from a table of 256.
struct AsIndex {
  using Pixel = std::uint8_t;
  Pixel operator()(std::uint8_t shade) const { return shade; }
};
struct AsPixel {
  using Pixel = std::uint32_t;
  const std::uint32_t* table;
  Pixel operator()(std::uint8_t shade) const { return table[shade]; }
};

// One row of shades magnified 2^zoomShift into `copies` display rows from
// out upwards (stride bytes apart), each cut after the given number of
// pixels: whole blocks are magnified once and stored into every row, the
// cut part pixel by pixel.
template <int zoomShift, class Shade>
void MagnifyRow(std::uint8_t* out, std::ptrdiff_t stride, std::int32_t copies,
                const std::uint8_t* in, std::int32_t pixels, Shade shadeOf) {
  using Pixel = typename Shade::Pixel;
  constexpr std::size_t kScale = std::size_t{1} << zoomShift;
  constexpr std::size_t kBlockPixels = kBlock * kScale;
  const auto count = static_cast<std::size_t>(pixels);
  std::size_t p = 0;
  for (; p + kBlockPixels <= count; p += kBlockPixels) {
    std::uint8_t shade[kBlock];
    Pixel block[kBlockPixels];
    std::memcpy(shade, in + (p >> zoomShift), kBlock);
    for (std::size_t i = 0; i < kBlock; ++i) {
      const Pixel pixel = shadeOf(shade[i]);
      for (std::size_t k = 0; k < kScale; ++k) block[i * kScale + k] = pixel;
    }
    for (std::int32_t i = 0; i < copies; ++i)
      std::memcpy(out + i * stride + p * sizeof(Pixel), block, sizeof block);
  }
  for (; p < count; ++p) {
    const Pixel pixel = shadeOf(in[p >> zoomShift]);
    for (std::int32_t i = 0; i < copies; ++i)
      std::memcpy(out + i * stride + p * sizeof(Pixel), &pixel, sizeof pixel);
  }
}

// One copy of the shades, magnified 2^zoomShift, with its lower-left corner
// at pixel at, cut at the display's right and top edges.
template <int zoomShift, class Shade>
void PlaceShades(std::uint8_t* display, std::ptrdiff_t stride, const std::uint8_t* shades,
                 const LifeWorld& world, PixelPoint at, Shade shadeOf) {
  using Pixel = typename Shade::Pixel;
  constexpr std::int32_t scale = 1 << zoomShift;
  const std::int32_t cols = world.worldCols;
  const Cut cut = CutPlacement(world.displayWidth, world.displayHeight, at,
                               std::int64_t{cols} * scale, std::int64_t{world.worldRows} * scale);
  for (std::int32_t r = 0; r * scale < cut.lines; ++r)
    MagnifyRow<zoomShift>(display + (at.y + std::ptrdiff_t{r} * scale) * stride +
                              std::ptrdiff_t{at.x} * std::ptrdiff_t{sizeof(Pixel)},
                          stride, std::min(scale, cut.lines - r * scale),
                          shades + std::ptrdiff_t{r} * cols, cut.pixels, shadeOf);
}

// Every copy the layout places, as the 1-bit layouts place the world.
template <class Shade>
void ComposeCopies(std::uint8_t* display, std::ptrdiff_t stride, const std::uint8_t* shades,
                   const LifeWorld& world, const LifeSettings& settings, Shade shadeOf) {
  auto place = [&](PixelPoint at) {
    if (settings.ZoomFactor == 2) {
      PlaceShades<2>(display, stride, shades, world, at, shadeOf);
    } else if (settings.ZoomFactor == 1) {
      PlaceShades<1>(display, stride, shades, world, at, shadeOf);
    } else {
      PlaceShades<0>(display, stride, shades, world, at, shadeOf);
    }
  };
  if (ChooseFrameLayout(settings) != FrameLayout::kTiled) {
    // Direct and zoomed alike: one copy, centred (ZoomFactor is 0 when direct).
    place(CentringOffset(world, settings.ZoomFactor));
    return;
  }
  // 2^WorldSize tiles per axis at most, WorldSize at most 2.
  constexpr std::int32_t kMaxTiles = 16;
  PixelPoint tiles[kMaxTiles];
  const std::int32_t count = TilePlacements(world, settings, tiles, kMaxTiles);
  for (std::int32_t t = 0; t < count; ++t) place(tiles[t]);
}

}  // namespace

std::size_t TrailShadeBytes(std::int32_t cols, std::int32_t rows) {
  return static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
}

std::int32_t ShadeDisplayStride(std::int32_t width) { return (width + 3) & ~3; }

std::size_t ShadeDisplayBytes(std::int32_t width, std::int32_t height) {
  return static_cast<std::size_t>(ShadeDisplayStride(width)) * static_cast<std::size_t>(height);
}

std::size_t ShadePixelDisplayBytes(std::int32_t width, std::int32_t height) {
  return 4 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

void UpdateTrailShades(std::uint8_t* shades, const std::uint8_t* bits, std::int32_t cols,
                       std::int32_t rows, std::int32_t trailLength) {
  const auto full = static_cast<std::uint8_t>(ClampTrailLength(trailLength));
  // cols is a multiple of 32, so the cells come in whole blocks of 16.
  const std::size_t blocks = TrailShadeBytes(cols, rows) / kBlock;
  for (std::size_t k = 0; k < blocks; ++k) {
    const std::uint8_t* left = kLiveMasks.left[bits[2 * k]];
    const std::uint8_t* right = kLiveMasks.right[bits[2 * k + 1]];
    std::uint8_t shade[kBlock];
    std::memcpy(shade, shades + kBlock * k, kBlock);
    for (std::size_t i = 0; i < kBlock; ++i) {
      const auto live = static_cast<std::uint8_t>(left[i] | right[i]);
      const auto faded = static_cast<std::uint8_t>(shade[i] - (shade[i] != 0));
      shade[i] = static_cast<std::uint8_t>((faded & ~live) | (full & live));
    }
    std::memcpy(shades + kBlock * k, shade, kBlock);
  }
}

void ComposeTrailShades(std::uint8_t* display, const std::uint8_t* shades,
                        const LifeWorld& world, const LifeSettings& settings) {
  ComposeCopies(display, ShadeDisplayStride(world.displayWidth), shades, world, settings,
                AsIndex{});
}

void ComposeTrailPixels(std::uint8_t* display, const std::uint8_t* shades,
                        const std::uint32_t* pixels, const LifeWorld& world,
                        const LifeSettings& settings) {
  ComposeCopies(display, std::ptrdiff_t{4} * world.displayWidth, shades, world, settings,
                AsPixel{pixels});
}

std::int32_t TrailPalette(std::uint32_t pixelColor, std::int32_t trailLength,
                          std::uint32_t* colours) {
  const std::uint32_t length = static_cast<std::uint32_t>(ClampTrailLength(trailLength));
  for (std::uint32_t s = 0; s <= length; ++s) {
    std::uint32_t colour = 0;
    for (unsigned shift : {0u, 8u, 16u}) {
      const std::uint32_t channel = (pixelColor >> shift) & 0xFFu;
      colour |= (2 * channel * s + length) / (2 * length) << shift;  // nearest, halves up
    }
    colours[s] = colour;
  }
  return static_cast<std::int32_t>(length) + 1;
}

void TrailPixelTable(std::uint32_t pixelColor, std::int32_t trailLength, std::uint32_t* pixels) {
  std::uint32_t colours[kMaxTrailLength + 1];
  const std::int32_t count = TrailPalette(pixelColor, trailLength, colours);
  for (std::int32_t s = 0; s < kShadePixelCount; ++s) {
    const std::uint32_t c = colours[std::min(s, count - 1)];
    pixels[s] = (c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu);
  }
}
