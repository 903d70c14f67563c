#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/expand_tables.h"
#include "engine/frame_layout.h"
#include "engine/world_magnification.h"
#include "support/life_model.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;  // what no frame may overwrite
constexpr int kGuardTail = 64;         // bytes past the end of the display

struct LayoutCase {
  const char* name;
  int displayWidth, displayHeight, cols, rows, zoom, size, tiled;
  bool nextInA;
  TransferSource source;
  int left, top, right, bottom;
  bool fill;
  std::vector<PixelPoint> placements;  // lower-left corners of the copies
};

}  // namespace

TEST(ExpandTables, EntriesRepeatEveryPixelInDisplayOrder) {
  EXPECT_EQ(Expand2Table[0x01], (Expand2Entry{0x00, 0x03}));
  EXPECT_EQ(Expand2Table[0x10], (Expand2Entry{0x03, 0x00}));
  EXPECT_EQ(Expand2Table[0x80], (Expand2Entry{0xc0, 0x00}));
  EXPECT_EQ(Expand2Table[0x81], (Expand2Entry{0xc0, 0x03}));
  EXPECT_EQ(Expand2Table[0xff], (Expand2Entry{0xff, 0xff}));
  EXPECT_EQ(Expand4Table[0x01], (Expand4Entry{0x00, 0x00, 0x00, 0x0f}));
  EXPECT_EQ(Expand4Table[0x80], (Expand4Entry{0xf0, 0x00, 0x00, 0x00}));
  EXPECT_EQ(Expand4Table[0x81], (Expand4Entry{0xf0, 0x00, 0x00, 0x0f}));
  for (std::size_t b = 0; b < 256; ++b)
    for (std::size_t p = 0; p < 32; ++p) {
      const bool cell = (b >> (7 - p / 4)) & 1;
      EXPECT_EQ((Expand4Table[b][p / 8] >> (7 - p % 8)) & 1, cell) << b << " " << p;
      if (p < 16) {
        EXPECT_EQ((Expand2Table[b][p / 8] >> (7 - p % 8)) & 1, (b >> (7 - p / 2)) & 1);
      }
    }
}

TEST(ExpandWorld, ByteEightyOneFillsEveryMagnifiedRow) {
  const std::uint8_t source[4] = {0x81, 0, 0, 0};  // one row of 32 cells
  std::vector<std::uint8_t> display(16 * 8, kGuard);  // 128 x 8
  ExpandWorld2x(display.data(), source, 32, 1, 128, 8, 32, 2);
  for (int row : {2, 3}) {
    const std::uint8_t* at = &display[static_cast<size_t>(row * 16 + 4)];
    EXPECT_EQ(std::vector<std::uint8_t>(at, at + 8),
              (std::vector<std::uint8_t>{0xc0, 0x03, 0, 0, 0, 0, 0, 0}));
  }
  ExpandWorld4x(display.data(), source, 32, 1, 128, 8, 0, 4);
  for (int row = 4; row < 8; ++row) {
    const std::uint8_t* at = &display[static_cast<size_t>(row * 16)];
    EXPECT_EQ(std::vector<std::uint8_t>(at, at + 4), (std::vector<std::uint8_t>{0xf0, 0, 0, 0x0f}));
  }
  EXPECT_EQ(display[0], kGuard);
  EXPECT_EQ(display[16 + 4], kGuard);
}

// Each frame against a plain per-pixel model: a pixel inside a placed copy
// shows its cell, every other byte keeps the guard, the bytes past the
// display and the source stay as they were.
TEST(RenderIntoDisplay, LayoutsPlaceCopiesOnlyInsideTheDisplay) {
  using enum TransferSource;
  const std::vector<LayoutCase> cases = {
      {"1024x768 defaults", 1024, 768, 512, 384, 1, 1, 0, false, kDisplay, 0, 0, 1024, 768, false, {{0, 0}}},
      {"800x600 Z0 W2", 800, 600, 224, 150, 0, 2, 0, false, kWorldB, 288, 225, 512, 375, true, {}},
      {"direct, next in A", 800, 600, 224, 150, 0, 2, 0, true, kWorldA, 288, 225, 512, 375, true, {}},
      {"640x480 Z0 W0", 640, 480, 640, 480, 0, 0, 0, false, kWorldB, 0, 0, 640, 480, false, {}},
      {"1024x768 Z1 W2", 1024, 768, 256, 192, 1, 2, 0, false, kDisplay, 0, 0, 1024, 768, false, {{256, 192}}},
      {"1024x768 Z2 W2", 1024, 768, 256, 192, 2, 2, 0, false, kDisplay, 0, 0, 1024, 768, false, {{0, 0}}},
      {"tiled Z0 W2", 1024, 768, 256, 192, 0, 2, 1, false, kDisplay, 0, 0, 1024, 768, false,
       {{0, 0}, {256, 0}, {512, 0}, {768, 0}, {0, 192}, {256, 192}, {512, 192}, {768, 192},
        {0, 384}, {256, 384}, {512, 384}, {768, 384}, {0, 576}, {256, 576}, {512, 576}, {768, 576}}},
      {"tiled Z1 W2", 1024, 768, 256, 192, 1, 2, 1, false, kDisplay, 0, 0, 1024, 768, false,
       {{0, 0}, {512, 0}, {0, 384}, {512, 384}}},
      {"800x600 tiled Z0 W1, overhang right", 800, 600, 416, 300, 0, 1, 1, false, kDisplay, 0, 0, 800, 600,
       false, {{0, 0}, {416, 0}, {0, 300}, {416, 300}}},
      {"1024x604 tiled Z1 W2, overhang top", 1024, 604, 256, 152, 1, 2, 1, false, kDisplay, 0, 0, 1024, 604,
       false, {{0, 0}, {512, 0}, {0, 304}, {512, 304}}},
      {"808x600 tiled Z1 W2, overhang right", 808, 600, 224, 150, 1, 2, 1, false, kDisplay, 0, 0, 808, 600,
       false, {{0, 0}, {448, 0}, {0, 300}, {448, 300}}},
  };
  std::mt19937 rng(4);
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    LifeSettings settings;
    settings.ZoomFactor = c.zoom;
    settings.WorldSize = c.size;
    settings.IsTiled = static_cast<std::uint8_t>(c.tiled);
    model::World a = model::Soup(c.cols, c.rows, 0.5, rng);
    model::World b = model::Soup(c.cols, c.rows, 0.5, rng);
    const model::World& shown = c.nextInA ? a : b;
    const std::vector<std::uint8_t> before = shown.bits;
    const int stride = c.displayWidth / 8;
    std::vector<std::uint8_t> display(static_cast<size_t>(stride * c.displayHeight + kGuardTail), kGuard);
    LifeWorld world;
    world.worldCols = c.cols;
    world.worldRows = c.rows;
    world.displayWidth = c.displayWidth;
    world.displayHeight = c.displayHeight;
    world.worldBitsA = a.bits.data();
    world.worldBitsB = b.bits.data();
    world.nextBits = c.nextInA ? world.worldBitsA : world.worldBitsB;
    world.currentBits = c.nextInA ? world.worldBitsB : world.worldBitsA;
    world.displayBits = display.data();

    EXPECT_EQ(NeedsBackgroundFill(settings), c.fill);
    const FrameTransfer t = RenderIntoDisplay(world, settings);
    EXPECT_EQ(t.source, c.source);
    EXPECT_EQ(t.bits, c.source == kDisplay ? world.displayBits : world.nextBits);
    EXPECT_EQ((std::vector<int>{t.left, t.top, t.right, t.bottom}),
              (std::vector<int>{c.left, c.top, c.right, c.bottom}));
    EXPECT_EQ(shown.bits, before);

    const int z = c.source == kDisplay ? c.zoom : 0;
    std::vector<std::uint8_t> expected(display.size(), kGuard);
    for (int y = 0; y < c.displayHeight; ++y)
      for (int x = 0; x < c.displayWidth; ++x)
        for (const PixelPoint& p : c.placements)
          if (x >= p.x && x < p.x + (c.cols << z) && y >= p.y && y < p.y + (c.rows << z)) {
            auto& byte = expected[static_cast<size_t>(y * stride + x / 8)];
            if (x % 8 == 0) byte = 0;
            if (shown.Get((y - p.y) >> z, (x - p.x) >> z)) byte |= static_cast<std::uint8_t>(0x80 >> (x % 8));
          }
    int wrong = 0;
    for (size_t i = 0; i < display.size(); ++i) wrong += display[i] != expected[i];
    EXPECT_EQ(wrong, 0);
  }
}

TEST(FrameLayout, DisplayBufferOnlyForZoomOrTiling) {
  struct Case {
    int zoom, world, tiled;
    bool needed;
  } cases[] = {{1, 1, 0, true}, {0, 1, 1, true}, {0, 1, 0, false}};
  for (const Case& c : cases) {
    LifeSettings s;
    s.ZoomFactor = c.zoom;
    s.WorldSize = c.world;
    s.IsTiled = static_cast<std::uint8_t>(c.tiled);
    EXPECT_EQ(NeedsDisplayBuffer(s), c.needed) << c.zoom << c.world << c.tiled;
  }
  // 640x480 Z0 W0 with tiling asked for: normalising drops the tiling.
  LifeSettings s;
  s.ZoomFactor = 0;
  s.WorldSize = 0;
  s.IsTiled = 1;
  s.NormalizeSettings();
  EXPECT_FALSE(NeedsDisplayBuffer(s));
}

TEST(RenderIntoDisplay, NothingToTransferWithoutTheNeededBuffers) {
  LifeSettings settings;  // zoomed by default
  std::vector<std::uint8_t> bits(64 * 4 / 8);
  LifeWorld world;
  world.worldCols = 64;
  world.worldRows = 4;
  world.displayWidth = 128;
  world.displayHeight = 8;
  world.nextBits = bits.data();
  EXPECT_EQ(RenderIntoDisplay(world, settings).source, TransferSource::kNone);
  world.nextBits = nullptr;
  settings.ZoomFactor = 0;
  EXPECT_EQ(RenderIntoDisplay(world, settings).source, TransferSource::kNone);
  world.nextBits = bits.data();
  settings.TrailLength = 4;  // trails without their buffers
  EXPECT_EQ(RenderIntoDisplay(world, settings).source, TransferSource::kNone);
}
