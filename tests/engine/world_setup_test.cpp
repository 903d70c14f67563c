// A world built for a screen: which buffers it asks for and how large, what
// it leaves in them, and that the seeds alone decide the soup.
#include "engine/world_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "engine/life_world.h"
#include "engine/trail_shades.h"
#include "support/known_worlds.h"
#include "support/loaded_settings.h"

namespace {

// Buffers full of 0xFF, as fresh memory may hold anything, and the requests
// in order ("A 416x300"). The request numbered failAt throws instead. With
// pixels set, the shade display is a 32-bit image drawn through them.
class DirtyBuffers final : public WorldBufferAllocator {
 public:
  std::vector<std::string> requests;
  std::vector<std::uint8_t> memory[kWorldBufferCount];
  int failAt = -1;
  const std::uint32_t* pixels = nullptr;

  std::uint8_t* Allocate(WorldBuffer buffer, std::int32_t width, std::int32_t height) override {
    if (static_cast<int>(requests.size()) == failAt) throw std::bad_alloc();
    requests.push_back(Request(buffer, width, height));
    std::vector<std::uint8_t>& bytes = memory[static_cast<int>(buffer)];
    bytes.assign(buffer == WorldBuffer::kShadeDisplay && pixels != nullptr
                     ? ShadePixelDisplayBytes(width, height)
                     : WorldBufferBytes(buffer, width, height),
                 0xFF);
    return bytes.data();
  }
  const std::uint32_t* ShadePixels() const override { return pixels; }
  const std::vector<std::uint8_t>& Of(WorldBuffer buffer) const {
    return memory[static_cast<int>(buffer)];
  }

  static std::string Request(WorldBuffer buffer, std::int32_t width, std::int32_t height) {
    const char* names[kWorldBufferCount] = {"A ", "B ", "display ", "shades ", "shade display "};
    const char* name = names[static_cast<int>(buffer)];
    return name + std::to_string(width) + "x" + std::to_string(height);
  }
};

LifeSettings Stored(const support::KnownWorld& known) {
  return support::LoadedFrom({{"ZoomFactor", static_cast<std::uint32_t>(known.zoom)},
                              {"WorldSize", static_cast<std::uint32_t>(known.worldSize)},
                              {"InitSize", static_cast<std::uint32_t>(known.init)},
                              {"IsTiled", static_cast<std::uint32_t>(known.tiled)}});
}

bool AllDead(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

TEST(WorldSetup, KnownScreensGetTheirWorldTheirBuffersAndASoupInTheBandOnly) {
  for (const support::KnownWorld& c : support::kKnownWorlds) {
    const auto where = ::testing::Message() << c.width << "x" << c.height << " Z" << c.zoom
                                            << " W" << c.worldSize << " I" << c.init << " T"
                                            << c.tiled;
    LifeWorld world;
    world.generator.Seed(1, 2);
    DirtyBuffers buffers;
    const WorldGeometry g = BuildWorld(world, c.width, c.height, Stored(c), buffers);
    EXPECT_EQ(g.displayWidth, c.want.displayWidth) << where;
    EXPECT_EQ(g.displayHeight, c.want.displayHeight) << where;
    EXPECT_EQ(g.worldCols, c.want.worldCols) << where;
    EXPECT_EQ(g.worldRows, c.want.worldRows) << where;
    EXPECT_EQ(world.displayWidth, c.want.displayWidth) << where;
    EXPECT_EQ(world.displayHeight, c.want.displayHeight) << where;
    EXPECT_EQ(world.worldCols, c.want.worldCols) << where;
    EXPECT_EQ(world.worldRows, c.want.worldRows) << where;

    std::vector<std::string> wanted = {
        DirtyBuffers::Request(WorldBuffer::kWorldA, c.want.worldCols, c.want.worldRows),
        DirtyBuffers::Request(WorldBuffer::kWorldB, c.want.worldCols, c.want.worldRows)};
    if (c.displayBuffer) {
      wanted.push_back(DirtyBuffers::Request(WorldBuffer::kDisplay, c.want.displayWidth,
                                             c.want.displayHeight));
    }
    ASSERT_EQ(buffers.requests, wanted) << where;
    const std::vector<std::uint8_t>& a = buffers.Of(WorldBuffer::kWorldA);
    const std::vector<std::uint8_t>& b = buffers.Of(WorldBuffer::kWorldB);
    const std::vector<std::uint8_t>& display = buffers.Of(WorldBuffer::kDisplay);
    EXPECT_EQ(world.currentBits, a.data()) << where;
    EXPECT_EQ(world.nextBits, b.data()) << where;
    EXPECT_EQ(world.displayBits, c.displayBuffer ? display.data() : nullptr) << where;
    EXPECT_TRUE(AllDead(b)) << where << ": the second buffer starts dead";
    EXPECT_TRUE(AllDead(display)) << where << ": the display starts black";

    // Every band row holds live cells (ten random bytes or more are
    // never all 0 for these seeds); everything outside the band is dead.
    const int rowBytes = c.want.worldCols / 8;
    for (int row = 0; row < c.want.worldRows; ++row) {
      const bool bandRow = row >= c.band.firstRow && row < c.band.endRow;
      bool live = false;
      for (int k = 0; k < rowBytes; ++k) {
        const std::uint8_t byte = a[static_cast<std::size_t>(row * rowBytes + k)];
        if (bandRow && k >= c.band.firstByte && k < c.band.firstByte + c.band.byteCount) {
          live = live || byte != 0;
        } else if (byte != 0) {
          ADD_FAILURE() << where << ": live cells outside the band, row " << row << " byte " << k;
          break;
        }
      }
      EXPECT_EQ(live, bandRow) << where << " row " << row;
    }
  }
}

TEST(WorldSetup, TheSeedsAloneDecideTheSoup) {
  const support::KnownWorld& screen = *support::KnownDefaultWorld(1024, 768);
  auto soup = [&screen](std::int32_t seed1, std::int32_t seed2) {
    LifeWorld world;
    world.generator.Seed(seed1, seed2);
    DirtyBuffers buffers;
    BuildWorld(world, screen.width, screen.height, Stored(screen), buffers);
    return buffers.Of(WorldBuffer::kWorldA);
  };
  EXPECT_EQ(soup(7, 11), soup(7, 11));
  EXPECT_NE(soup(7, 11), soup(7, 12));
  EXPECT_NE(soup(7, 11), soup(8, 11));
}

// An allocator that throws leaves the world as it was: no geometry, no
// pointer into a buffer that may be gone.
TEST(WorldSetup, AFailedAllocationLeavesTheWorldUnbuilt) {
  const support::KnownWorld& screen = *support::KnownDefaultWorld(800, 600);
  for (int failAt : {0, 1, 2}) {
    LifeWorld world;
    world.generator.Seed(1, 2);
    DirtyBuffers buffers;
    buffers.failAt = failAt;
    EXPECT_THROW(BuildWorld(world, screen.width, screen.height, Stored(screen), buffers),
                 std::bad_alloc)
        << failAt;
    EXPECT_EQ(world.worldCols, 0) << failAt;
    EXPECT_EQ(world.currentBits, nullptr) << failAt;
    EXPECT_EQ(world.nextBits, nullptr) << failAt;
    EXPECT_EQ(world.displayBits, nullptr) << failAt;
  }
}

// With trails the shades and their image (8-bit, or 32-bit pixels where the
// front end gives a pixel table) take the 1-bit display buffer's place, in
// every layout, and both start black.
TEST(WorldSetup, WithTrailsTheShadeBuffersReplaceTheDisplayBuffer) {
  const std::vector<std::uint32_t> table(kShadePixelCount, 7);
  for (std::uint32_t zoom : {0u, 1u})
    for (const std::uint32_t* pixels : {static_cast<const std::uint32_t*>(nullptr), table.data()}) {
      LifeSettings settings = support::LoadedFrom({{"ZoomFactor", zoom}, {"TrailLength", 16}});
      LifeWorld world;
      world.generator.Seed(1, 2);
      DirtyBuffers buffers;
      buffers.pixels = pixels;
      const WorldGeometry g = BuildWorld(world, 1024, 768, settings, buffers);
      EXPECT_EQ(buffers.requests,
                (std::vector<std::string>{
                    DirtyBuffers::Request(WorldBuffer::kWorldA, g.worldCols, g.worldRows),
                    DirtyBuffers::Request(WorldBuffer::kWorldB, g.worldCols, g.worldRows),
                    DirtyBuffers::Request(WorldBuffer::kShades, g.worldCols, g.worldRows),
                    DirtyBuffers::Request(WorldBuffer::kShadeDisplay, 1024, 768)}))
          << zoom;
      EXPECT_EQ(world.displayBits, nullptr);
      EXPECT_EQ(world.trailShades, buffers.Of(WorldBuffer::kShades).data());
      EXPECT_EQ(world.shadeDisplayBits, buffers.Of(WorldBuffer::kShadeDisplay).data());
      EXPECT_TRUE(AllDead(buffers.Of(WorldBuffer::kShades)));
      EXPECT_TRUE(AllDead(buffers.Of(WorldBuffer::kShadeDisplay)));
      EXPECT_EQ(buffers.Of(WorldBuffer::kShadeDisplay).size(), 1024u * 768u * (pixels ? 4 : 1));
      EXPECT_EQ(world.shadePixels, pixels);
    }
}
