#include "engine/world_geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/life_world.h"
#include "engine/soup.h"
#include "support/known_worlds.h"
#include "support/loaded_settings.h"

namespace {

LifeSettings With(int zoom, int world, int init, int tiled = 0) {
  LifeSettings s;
  s.ZoomFactor = zoom;
  s.WorldSize = world;
  s.InitSize = init;
  s.IsTiled = static_cast<std::uint8_t>(tiled);
  return s;
}

}  // namespace

// Screen and settings to display, world and soup band.
TEST(WorldGeometry, ScreensAndSettingsGiveTheDocumentedSizes) {
  for (const support::KnownWorld& c : support::kKnownWorlds) {
    const LifeSettings s = With(c.zoom, c.worldSize, c.init);
    const WorldGeometry g = ComputeWorldGeometry(c.width, c.height, s);
    const auto where = ::testing::Message() << c.width << "x" << c.height << " Z" << c.zoom
                                            << " W" << c.worldSize << " I" << c.init;
    EXPECT_EQ(g.displayWidth, c.want.displayWidth) << where;
    EXPECT_EQ(g.displayHeight, c.want.displayHeight) << where;
    EXPECT_EQ(g.worldCols, c.want.worldCols) << where;
    EXPECT_EQ(g.worldRows, c.want.worldRows) << where;
    const SoupBand b = ComputeSoupBand(g.worldCols, g.worldRows, c.init);
    EXPECT_EQ(b.firstRow, c.band.firstRow) << where;
    EXPECT_EQ(b.endRow, c.band.endRow) << where;
    EXPECT_EQ(b.firstByte, c.band.firstByte) << where;
    EXPECT_EQ(b.byteCount, c.band.byteCount) << where;
  }
}

// A failed or absurd metric, and any shifts a key may hold once loaded,
// still give a world of whole words and an even row count, with no overflow
// or bad shift.
TEST(WorldGeometry, AnyScreenSizeGivesAUsableWorld) {
  const int sizes[] = {INT_MIN, -1, 0, 1, 31, 33, 32768, 32769, INT_MAX};
  const int shifts[] = {INT_MIN, -1, 0, 1, 2, 3, 31, 32, INT_MAX};
  for (int zoom : shifts) {
    for (int shift : shifts) {
      const LifeSettings loaded = support::LoadedFrom(
          {{"ZoomFactor", static_cast<std::uint32_t>(zoom)},
           {"WorldSize", static_cast<std::uint32_t>(shift)},
           {"InitSize", static_cast<std::uint32_t>(shift)}});
      for (int w : sizes) {
        const WorldGeometry g = ComputeWorldGeometry(w, w, loaded);
        EXPECT_GE(g.worldCols, 32) << w << " " << zoom << " " << shift;
        EXPECT_EQ(g.worldCols % 32, 0);
        EXPECT_GE(g.worldRows, 2);
        EXPECT_EQ(g.worldRows % 2, 0);
        EXPECT_GE(g.displayWidth, g.worldCols);
        EXPECT_LE(g.displayWidth, 32768);
        EXPECT_LE(g.displayHeight, 32768);
        EXPECT_GT(WorldBytes(g), 0);
        EXPECT_GT(DisplayBytes(g), 0);
      }
    }
  }
  const WorldGeometry failed = ComputeWorldGeometry(0, 0, With(1, 1, 2));
  EXPECT_EQ(failed.worldCols, 32);
  EXPECT_EQ(failed.worldRows, 2);
  EXPECT_EQ(failed.displayWidth, 64);
  EXPECT_EQ(failed.displayHeight, 4);
}

TEST(WorldGeometry, SetUpPointsAtTheBuffersAndClearsTheDisplay) {
  const LifeSettings s = With(1, 1, 2);
  const WorldGeometry g = ComputeWorldGeometry(100, 10, s);
  std::vector<std::uint8_t> a(static_cast<std::size_t>(WorldBytes(g)));
  std::vector<std::uint8_t> b(a.size());
  std::vector<std::uint8_t> display(static_cast<std::size_t>(DisplayBytes(g)), 0xFF);
  LifeWorld world;
  world.bitsSwapped = 1;
  SetUpWorld(world, g, s, a.data(), b.data(), display.data());
  EXPECT_EQ(world.worldCols, g.worldCols);
  EXPECT_EQ(world.worldRows, g.worldRows);
  EXPECT_EQ(world.displayWidth, g.displayWidth);
  EXPECT_EQ(world.displayHeight, g.displayHeight);
  EXPECT_EQ(world.currentBits, a.data());
  EXPECT_EQ(world.nextBits, b.data());
  EXPECT_EQ(world.worldBitsA, a.data());
  EXPECT_EQ(world.worldBitsB, b.data());
  EXPECT_EQ(world.displayBits, display.data());
  EXPECT_EQ(world.bitsSwapped, 0);
  EXPECT_EQ(world.mutationCountdown, 4);
  EXPECT_EQ(std::count(display.begin(), display.end(), 0), static_cast<long>(display.size()));

  LifeSettings never = s;
  never.WorldMutationRate = 0;
  SetUpWorld(world, g, never, a.data(), b.data(), nullptr);
  EXPECT_EQ(world.displayBits, nullptr);
  EXPECT_EQ(world.mutationCountdown, 0);
}
