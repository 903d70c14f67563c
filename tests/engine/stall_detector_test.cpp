#include "engine/stall_detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/mutation_policy.h"
#include "engine/simulation_loop.h"
#include "engine/soup.h"
#include "engine/step/step_generation.h"
#include "engine/world_setup.h"
#include "support/life_model.h"

namespace {

constexpr std::int64_t kSpan = StallDetector::kLag + StallDetector::kQuietSpan;

using Cells = std::initializer_list<std::pair<int, int>>;  // {row, column}

void Place(model::World& w, int row, int col, Cells cells) {
  for (auto [r, c] : cells) w.Set(row + r, col + c, true);
}

const Cells kGlider = {{0, 1}, {1, 2}, {2, 0}, {2, 1}, {2, 2}};
const Cells kBlock = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
const Cells kBlinker = {{0, 0}, {0, 1}, {0, 2}};
const Cells kRPentomino = {{0, 1}, {0, 2}, {1, 0}, {1, 1}, {2, 1}};

void PlacePulsar(model::World& w, int row, int col) {
  for (int a : {0, 5, 7, 12})
    for (int b : {2, 3, 4, 8, 9, 10}) {
      w.Set(row + a, col + b, true);
      w.Set(row + b, col + a, true);
    }
}

// The glider's diagonal lanes repeat every 32 cells across this torus; the
// still lifes and blinkers sit half a period from its lanes either way.
model::World GliderAmongAsh() {
  model::World w(128, 96);
  Place(w, 10, 10, kGlider);
  for (int k = 2; k <= 5; ++k) Place(w, 16 * k - 6, 16 * k + 10, k % 2 ? kBlinker : kBlock);
  return w;
}

model::World PulsarField() {
  model::World w(96, 64);
  for (int row = 4; row < 64; row += 21)
    for (int col = 5; col < 96; col += 24) PlacePulsar(w, row, col);
  return w;
}

model::World Empty() { return model::World(64, 32); }

model::World RPentomino() {
  model::World w(256, 256);
  Place(w, 128, 128, kRPentomino);
  return w;
}

// A soup as the saver starts one on a 1024x768 screen with the defaults:
// one that is ash and a glider from about generation 5,300 and stays so well
// past 20,000, the hardest case for the span.
model::World DefaultSoup() {
  LifeSettings settings;
  LifeWorld world;
  world.generator.Seed(31, 245490);
  WorldBufferVectors buffers;
  BuildWorld(world, 1024, 768, settings, buffers);
  model::World w(world.worldCols, world.worldRows);
  std::copy(world.currentBits, world.currentBits + w.bits.size(), w.bits.begin());
  return w;
}

// The generation whose change count first makes the detector answer
// stalled, 0 if none within the given number. The world starts from the
// pattern over a cleared buffer and runs as the loop runs it, mutations at
// steady state every mutationRate counted generations included.
std::int64_t FirstStall(const model::World& start, std::int32_t mutationRate,
                        std::int64_t generations) {
  LifeSettings settings;
  settings.WorldMutationRate = mutationRate;
  std::vector<std::uint8_t> a = start.bits, b(a.size(), 0);
  LifeWorld world;
  const WorldGeometry geometry{start.width, start.height, start.width, start.height};
  SetUpWorld(world, geometry, settings, a.data(), b.data(), nullptr);
  world.generator.Seed(1, 2);
  for (std::int64_t g = 1; g <= generations; ++g) {
    const std::int32_t changes = StepGeneration(world.currentBits, world.nextBits,
                                                world.worldCols, world.worldRows,
                                                settings.RuleTable);
    if (world.stallDetector.Observe(changes)) return g;
    if (DecideMutation(world.mutationCountdown, changes, settings) != MutationAction::kNone) {
      FlipRandomCell(world);
    }
    std::swap(world.currentBits, world.nextBits);
  }
  return 0;
}

bool AllDead(const std::uint8_t* bits, std::size_t bytes) {
  return std::all_of(bits, bits + bytes, [](std::uint8_t b) { return b == 0; });
}

// The soup RenewWorld should sow, from a copy of the generator as it stands.
std::vector<std::uint8_t> ExpectedSoup(const LifeWorld& world, const LifeSettings& settings) {
  CombinedLCG generator = world.generator;
  std::vector<std::uint8_t> soup(static_cast<std::size_t>(world.worldCols / 8 * world.worldRows));
  FillSoup(soup.data(), world.worldCols, world.worldRows, settings.InitSize, generator);
  return soup;
}

class CopyingRenderer final : public FrameRenderer {
 public:
  explicit CopyingRenderer(std::size_t b) : bytes(b) {}
  void BeginDrawing(const DrawingStart&) override {}
  void RenderFrame(const FrameTransfer& shown) override { frame.assign(shown.bits, shown.bits + bytes); }
  void EndDrawing() override {}
  std::vector<std::uint8_t> frame;

 private:
  std::size_t bytes;
};

}  // namespace

// Stalled: the first count compares against the cleared buffer, so the
// first stall comes one generation past the span at the latest.
TEST(StallDetector, StalledOnlyWhenTheWorldRepeatsOrCarriesGlidersOverAsh) {
  struct Case {
    const char* name;
    model::World (*start)();
    std::int32_t mutationRate;
    std::int64_t generations;
    bool stalls;
  } cases[] = {
      {"glider, blocks and blinkers", GliderAmongAsh, 4, kSpan + 8, true},
      {"pulsars", PulsarField, 4, kSpan + 8, true},
      // Flips that die at once, one every 9 generations: not a period of kLag.
      {"empty world, mutating", Empty, 8, kSpan + 8, true},
      {"R-pentomino", RPentomino, 4, 1000, false},
      {"default soup", DefaultSoup, 4, 20000, false},
  };
  for (const Case& c : cases) {
    const std::int64_t first = FirstStall(c.start(), c.mutationRate, c.generations);
    if (c.stalls) {
      EXPECT_GE(first, kSpan) << c.name;
      EXPECT_LE(first, kSpan + 1) << c.name;
    } else {
      EXPECT_EQ(first, 0) << c.name;
    }
  }
}

TEST(StallDetector, ALoudCountStartsTheSpanAgainAndResetForgetsEverything) {
  constexpr std::int32_t kLoud = 7 + StallDetector::kTolerance + 1;
  StallDetector detector;
  for (std::int64_t g = 1; g < kSpan; ++g) ASSERT_FALSE(detector.Observe(7)) << g;
  EXPECT_TRUE(detector.Observe(7));
  EXPECT_TRUE(detector.Observe(7));  // it stays stalled while quiet
  EXPECT_FALSE(detector.Observe(kLoud));
  // The loud count is met again kLag generations on; the span starts after it.
  for (std::int64_t g = 1; g < kSpan; ++g) ASSERT_FALSE(detector.Observe(7)) << g;
  EXPECT_TRUE(detector.Observe(7));

  // Counts kTolerance away from those kLag back are quiet; Reset starts over.
  detector.Reset();
  EXPECT_FALSE(detector.Stalled());
  const auto wobbling = [](std::int64_t g) {
    return static_cast<std::int32_t>(7 + StallDetector::kTolerance * (g / StallDetector::kLag % 2));
  };
  for (std::int64_t g = 1; g < kSpan; ++g) ASSERT_FALSE(detector.Observe(wobbling(g))) << g;
  EXPECT_TRUE(detector.Observe(wobbling(kSpan)));
}

TEST(StallDetector, RenewalSowsTheBandClearsTheOtherBufferAndStartsTheCountsAgain) {
  LifeSettings settings;
  settings.InitSize = 1;
  LifeWorld world;
  world.generator.Seed(12345, 67890);
  WorldBufferVectors buffers;
  BuildWorld(world, 256, 128, settings, buffers);
  const auto bytes = static_cast<std::size_t>(world.worldCols / 8 * world.worldRows);
  std::fill(world.currentBits, world.currentBits + bytes, 0xA5);
  std::fill(world.nextBits, world.nextBits + bytes, 0x5A);
  world.mutationCountdown = 1;
  for (std::int64_t g = 0; g < kSpan; ++g) world.stallDetector.Observe(0);
  ASSERT_TRUE(world.stallDetector.Stalled());

  LifeWorld reseeded;  // what a generator seeded again would sow
  reseeded.worldCols = world.worldCols;
  reseeded.worldRows = world.worldRows;
  reseeded.generator.Seed(12345, 67890);
  const std::vector<std::uint8_t> expected = ExpectedSoup(world, settings);
  ASSERT_NE(expected, ExpectedSoup(reseeded, settings));

  RenewWorld(world, settings);
  EXPECT_EQ(std::vector<std::uint8_t>(world.nextBits, world.nextBits + bytes), expected);
  EXPECT_TRUE(AllDead(world.currentBits, bytes));
  EXPECT_EQ(world.mutationCountdown, settings.WorldMutationRate);
  EXPECT_FALSE(world.stallDetector.Stalled());
  for (std::int64_t g = 0; g < kSpan - 1; ++g) EXPECT_FALSE(world.stallDetector.Observe(0));
  // The generator carries on: the next renewal sows another soup.
  const std::vector<std::uint8_t> next = ExpectedSoup(world, settings);
  EXPECT_NE(next, expected);
  RenewWorld(world, settings);
  EXPECT_EQ(std::vector<std::uint8_t>(world.nextBits, world.nextBits + bytes), next);
}

// An empty world one quiet generation short of stalled: with the flag the
// frame shows the new soup, which the next generation steps from against a
// cleared buffer; without it, nothing differs and the detector is not fed.
TEST(StallDetector, TheLoopDrawsTheRenewedWorldOnlyWithRenewWhenStalled) {
  for (const std::uint8_t renew : {std::uint8_t{0}, std::uint8_t{1}}) {
    LifeSettings settings;
    settings.ZoomFactor = 0;
    settings.RenewWhenStalled = renew;
    LifeWorld world;
    world.generator.Seed(5, 6);
    WorldBufferVectors buffers;
    BuildWorld(world, 128, 64, settings, buffers);
    const auto bytes = static_cast<std::size_t>(world.worldCols / 8 * world.worldRows);
    std::fill(world.worldBitsA, world.worldBitsA + bytes, 0);
    std::fill(world.worldBitsB, world.worldBitsB + bytes, 0);
    for (std::int64_t g = 0; g < kSpan - 1; ++g) world.stallDetector.Observe(0);
    world.mutationCountdown = 2;
    const std::vector<std::uint8_t> soup = ExpectedSoup(world, settings);
    const std::uint8_t* const drawnInto = world.nextBits;
    CopyingRenderer renderer(bytes);
    LoopState state{PrepareRule(settings.RuleTable), TimingSampler(0)};

    RunGeneration(world, settings, state, renderer);
    EXPECT_EQ(world.currentBits, drawnInto) << int{renew};
    EXPECT_FALSE(world.stallDetector.Stalled()) << int{renew};
    if (renew == 0) {
      EXPECT_TRUE(AllDead(renderer.frame.data(), bytes));
      EXPECT_EQ(world.mutationCountdown, 1);
      continue;
    }
    EXPECT_EQ(renderer.frame, soup);
    EXPECT_EQ(std::vector<std::uint8_t>(world.currentBits, world.currentBits + bytes), soup);
    EXPECT_TRUE(AllDead(world.nextBits, bytes));
    EXPECT_EQ(world.mutationCountdown, settings.WorldMutationRate);

    model::World expected(world.worldCols, world.worldRows), from = expected;
    from.bits = soup;
    model::Step(from, expected, settings.RuleTable);
    RunGeneration(world, settings, state, renderer);
    EXPECT_EQ(renderer.frame, expected.bits);
  }
}
