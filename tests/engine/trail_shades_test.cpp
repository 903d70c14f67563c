#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "engine/frame_layout.h"
#include "engine/trail_shades.h"
#include "support/life_model.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;  // what no update or frame may overwrite
constexpr int kGuardTail = 64;         // bytes past the end of each buffer

struct TrailCase {
  const char* name;
  int displayWidth, displayHeight, cols, rows, zoom, size, tiled, trailLength;
  std::vector<PixelPoint> placements;  // lower-left corners of the copies
};

// The plain fade: each cell remembers the last generation it was alive in,
// and its shade is the trail length less the generations since, at least 0.
struct FadeModel {
  int cols, rows, length;
  std::vector<int> lastAlive;

  FadeModel(int c, int r, int l)
      : cols(c), rows(r), length(l), lastAlive(static_cast<size_t>(c * r), -1000) {}
  void See(const model::World& w, int generation) {
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        if (w.Get(r, c)) lastAlive[static_cast<size_t>(r * cols + c)] = generation;
  }
  std::uint8_t Shade(int r, int c, int generation) const {
    const int since = generation - lastAlive[static_cast<size_t>(r * cols + c)];
    return static_cast<std::uint8_t>(std::max(0, length - since));
  }
};

}  // namespace

// Generations of random soups, dense at first and then nearly empty so that
// every trail runs out, composed after each one; checked against the model
// in the first generations and around the end of the longest trails. The
// shades match the model cell by cell; each display pixel inside a placed
// copy holds its cell's shade, every other byte (the margins, what the tiles
// do not reach, the rows' padding, the bytes past the end) keeps the guard.
// The 32-bit image holds the same, each shade as its pixel from a table.
TEST(TrailShades, FollowThePlainFadeAtEveryZoomAndTiling) {
  const std::vector<TrailCase> cases = {
      {"1024x768 defaults", 1024, 768, 512, 384, 1, 1, 0, 16, {{0, 0}}},
      {"1024x768 Z1 W2, centred", 1024, 768, 256, 192, 1, 2, 0, 1, {{256, 192}}},
      {"1024x768 Z2 W2", 1024, 768, 256, 192, 2, 2, 0, 64, {{0, 0}}},
      {"800x600 Z0 W2, direct", 800, 600, 224, 150, 0, 2, 0, 16, {{288, 225}}},
      {"trails off draw as length 1", 800, 600, 224, 150, 0, 2, 0, 0, {{288, 225}}},
      {"tiled Z0 W2", 1024, 768, 256, 192, 0, 2, 1, 16,
       {{0, 0}, {256, 0}, {512, 0}, {768, 0}, {0, 192}, {256, 192}, {512, 192}, {768, 192},
        {0, 384}, {256, 384}, {512, 384}, {768, 384},
        {0, 576}, {256, 576}, {512, 576}, {768, 576}}},
      {"800x600 tiled Z0 W1, overhang right", 800, 600, 416, 300, 0, 1, 1, 64,
       {{0, 0}, {416, 0}, {0, 300}, {416, 300}}},
      {"1024x604 tiled Z1 W2, overhang top", 1024, 604, 256, 152, 1, 2, 1, 1,
       {{0, 0}, {512, 0}, {0, 304}, {512, 304}}},
      {"803x601 tiled Z1 W2, cut mid-cell, padded rows", 803, 601, 224, 150, 1, 2, 1, 16,
       {{0, 0}, {448, 0}, {0, 300}, {448, 300}}},
      {"803x601 Z2 W2, wider and taller than the display", 803, 601, 224, 160, 2, 2, 0, 16,
       {{0, 0}}},
  };
  // A pixel for every shade whose four bytes all differ from the others'.
  std::vector<std::uint32_t> table(kShadePixelCount);
  for (std::uint32_t s = 0; s < table.size(); ++s) table[s] = 0x01020304u * (s + 1) ^ 0x80u;
  std::mt19937 rng(27);
  for (const TrailCase& c : cases) {
    SCOPED_TRACE(c.name);
    LifeSettings settings;
    settings.ZoomFactor = c.zoom;
    settings.WorldSize = c.size;
    settings.IsTiled = static_cast<std::uint8_t>(c.tiled);
    const int length = std::max(c.trailLength, 1);
    const int stride = ShadeDisplayStride(c.displayWidth);
    // Rows as a DIB's: the width rounded up to a multiple of 4.
    ASSERT_TRUE(stride % 4 == 0 && stride >= c.displayWidth && stride < c.displayWidth + 4);
    ASSERT_EQ(ShadeDisplayBytes(c.displayWidth, c.displayHeight),
              static_cast<size_t>(stride * c.displayHeight));
    std::vector<std::uint8_t> display(
        ShadeDisplayBytes(c.displayWidth, c.displayHeight) + kGuardTail, kGuard);
    std::vector<std::uint8_t> pixels(
        ShadePixelDisplayBytes(c.displayWidth, c.displayHeight) + kGuardTail, kGuard);
    ASSERT_EQ(ShadePixelDisplayBytes(c.displayWidth, c.displayHeight),
              static_cast<size_t>(4 * c.displayWidth * c.displayHeight));
    std::vector<std::uint8_t> shades(TrailShadeBytes(c.cols, c.rows) + kGuardTail, kGuard);
    std::fill_n(shades.begin(), c.cols * c.rows, std::uint8_t{0});
    LifeWorld world;
    world.worldCols = c.cols;
    world.worldRows = c.rows;
    world.displayWidth = c.displayWidth;
    world.displayHeight = c.displayHeight;
    FadeModel fade(c.cols, c.rows, length);

    for (int g = 0; g < length + 6; ++g) {
      const model::World bits = model::Soup(c.cols, c.rows, g < 4 ? 0.45 : 0.01, rng);
      fade.See(bits, g);
      UpdateTrailShades(shades.data(), bits.bits.data(), c.cols, c.rows, c.trailLength);
      ComposeTrailShades(display.data(), shades.data(), world, settings);
      ComposeTrailPixels(pixels.data(), shades.data(), table.data(), world, settings);
      if (g >= 5 && g < length + 2) continue;
      SCOPED_TRACE(g);

      std::vector<std::uint8_t> expectedShades(shades.size(), kGuard);
      for (int r = 0; r < c.rows; ++r)
        for (int col = 0; col < c.cols; ++col)
          expectedShades[static_cast<size_t>(r * c.cols + col)] = fade.Shade(r, col, g);
      std::vector<std::uint8_t> expected(display.size(), kGuard);
      std::vector<std::uint8_t> expectedPixels(pixels.size(), kGuard);
      for (const PixelPoint& p : c.placements)
        for (int y = p.y; y < std::min(p.y + (c.rows << c.zoom), c.displayHeight); ++y)
          for (int x = p.x; x < std::min(p.x + (c.cols << c.zoom), c.displayWidth); ++x) {
            const std::uint8_t shade = fade.Shade((y - p.y) >> c.zoom, (x - p.x) >> c.zoom, g);
            expected[static_cast<size_t>(y * stride + x)] = shade;
            std::memcpy(&expectedPixels[static_cast<size_t>(4 * (y * c.displayWidth + x))],
                        &table[shade], 4);
          }
      int wrongShades = 0, wrongPixels = 0, wrongColours = 0;
      for (size_t i = 0; i < shades.size(); ++i) wrongShades += shades[i] != expectedShades[i];
      for (size_t i = 0; i < display.size(); ++i) wrongPixels += display[i] != expected[i];
      for (size_t i = 0; i < pixels.size(); ++i) wrongColours += pixels[i] != expectedPixels[i];
      ASSERT_EQ(wrongShades, 0);
      ASSERT_EQ(wrongPixels, 0);
      ASSERT_EQ(wrongColours, 0);
    }
  }
}

// Entry s is every channel c of the cell colour scaled to c * s / L, to the
// nearest integer: black at 0, the cell colour at L, and steps that differ
// by at most 1 from each other. A trail length of 0 gives the palette of 1.
TEST(TrailPalette, EvenStepsFromBlackToTheCellColour) {
  constexpr std::uint32_t kUnwritten = 0xDEADBEEF;
  for (std::uint32_t colour : {0x00FFFF30u, 0x00FFFFFFu, 0xFF0000FFu, 0x00030201u})
    for (int trailLength : {0, 1, 3, 16, 64}) {
      SCOPED_TRACE(testing::Message() << std::hex << colour << std::dec << " " << trailLength);
      const int length = std::max(trailLength, 1);
      std::vector<std::uint32_t> palette(kMaxTrailLength + 2, kUnwritten);
      ASSERT_EQ(TrailPalette(colour, trailLength, palette.data()), length + 1);
      EXPECT_EQ(palette[0], 0u);
      EXPECT_EQ(palette[static_cast<size_t>(length)], colour & 0x00FFFFFFu);
      EXPECT_EQ(palette[static_cast<size_t>(length) + 1], kUnwritten);
      // The 32-bit pixels: the same colours, red and blue trading places, the
      // cell colour past the trail length.
      std::vector<std::uint32_t> pixels(kShadePixelCount + 1, kUnwritten);
      TrailPixelTable(colour, trailLength, pixels.data());
      EXPECT_EQ(pixels[kShadePixelCount], kUnwritten);
      for (int s = 0; s < kShadePixelCount; ++s) {
        const std::uint32_t c = palette[static_cast<size_t>(std::min(s, length))];
        EXPECT_EQ(pixels[static_cast<size_t>(s)],
                  (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF)) << s;
      }
      for (int s = 0; s <= length; ++s) {
        const std::uint32_t entry = palette[static_cast<size_t>(s)];
        EXPECT_EQ(entry >> 24, 0u) << s;
        for (unsigned shift : {0u, 8u, 16u}) {
          const int channel = static_cast<int>((colour >> shift) & 0xFF);
          const int shade = static_cast<int>((entry >> shift) & 0xFF);
          EXPECT_LE(std::abs(2 * shade * length - 2 * channel * s), length) << s << " " << shift;
        }
      }
    }
}
