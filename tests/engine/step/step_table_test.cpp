#include <gtest/gtest.h>

#include <random>

#include "engine/life_settings.h"
#include "engine/step/step_generation.h"
#include "support/life_model.h"

namespace {

const std::uint8_t* LifeRule() {
  static const LifeSettings settings;
  return settings.RuleTable;
}

int StepTable(const model::World& source, model::World& destination,
              const std::uint8_t* rule = LifeRule()) {
  return StepGenerationTable(source.bits.data(), destination.bits.data(), source.width,
                             source.height, rule);
}

// Runs the kernel and the model from the same source and destination and
// expects the same world and the same count.
void ExpectStepMatchesModel(const model::World& source, const model::World& oldDestination,
                            const std::uint8_t* rule, const char* what) {
  model::World fromKernel = oldDestination;
  model::World fromModel = oldDestination;
  const int kernelCount = StepTable(source, fromKernel, rule);
  const int modelCount = model::Step(source, fromModel, rule);
  ASSERT_EQ(fromKernel.bits, fromModel.bits)
      << what << " " << source.width << "x" << source.height;
  ASSERT_EQ(kernelCount, modelCount) << what << " " << source.width << "x" << source.height;
}

model::World FromPicture(int width, int height, std::initializer_list<const char*> rowsTopDown,
                         int topRow, int leftCol) {
  model::World w(width, height);
  int r = topRow;
  for (const char* line : rowsTopDown) {
    for (int c = 0; line[c] != 0; ++c)
      if (line[c] == '#') w.Set(((r % height) + height) % height, (leftCol + c) % width, true);
    --r;  // memory row r+1 is above row r, so the next picture line is r-1
  }
  return w;
}

}  // namespace

TEST(StepGenerationTable, ZeroWidthOrHeightTouchesNothing) {
  std::uint8_t source[16], destination[16];
  for (int i = 0; i < 16; ++i) source[i] = destination[i] = static_cast<std::uint8_t>(0x5A + i);
  EXPECT_EQ(StepGenerationTable(source, destination, 0, 4, LifeRule()), 0);
  EXPECT_EQ(StepGenerationTable(source, destination, 32, 0, LifeRule()), 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(destination[i], 0x5A + i);
}

TEST(StepGenerationTable, MatchesThePlainModelOnRandomWorlds) {
  std::mt19937 rng(20261207);
  const int widths[] = {32, 64, 96, 160, 256, 512, 1024};
  const int heights[] = {2, 3, 5, 17, 64, 300};
  const double densities[] = {0.0, 0.03, 0.3, 0.5, 0.9, 1.0};
  int world = 0;
  for (int width : widths)
    for (int height : heights) {
      if (width * height > 1024 * 64) continue;  // keep the plain model quick
      const double density = densities[world++ % 6];
      const model::World source = model::Soup(width, height, density, rng);
      const model::World oldDestination = model::Soup(width, height, 0.5, rng);
      ExpectStepMatchesModel(source, oldDestination, LifeRule(), "soup");
    }
}

TEST(StepGenerationTable, DecidesCellsOnGroupBoundariesAndBothWraps) {
  std::mt19937 rng(7);
  for (int width : {32, 64, 128}) {
    for (int height : {2, 3, 8}) {
      // Sparse cells placed only near the columns where groups meet and the
      // world wraps, so skips end right before them.
      for (int trial = 0; trial < 40; ++trial) {
        model::World source(width, height);
        std::uniform_int_distribution<int> row(0, height - 1);
        const int hot[] = {0, 1, 29, 30, 31, 32, 33, width - 2, width - 1};
        for (int k = 0; k < 4; ++k) source.Set(row(rng), hot[rng() % 9] % width, true);
        const model::World oldDestination = model::Soup(width, height, 0.2, rng);
        ExpectStepMatchesModel(source, oldDestination, LifeRule(), "boundary");
      }
    }
  }
}

TEST(StepGenerationTable, GlidersCrossEveryEdgeOfTheTorus) {
  // A glider travels one cell diagonally every four generations, so after
  // 4 * size generations it is back where it began on a size x size torus.
  const char* southEast[] = {".#.", "..#", "###"};
  const char* northWest[] = {"###", "#..", ".#."};
  for (auto shape : {southEast, northWest}) {
    for (int width : {32, 64}) {
      const int height = width;
      model::World start = FromPicture(width, height, {shape[0], shape[1], shape[2]},
                                       height - 1, width - 2);  // straddles both wraps
      model::World a = start, b(width, height);
      model::World expect = start, scratch(width, height);
      for (int g = 0; g < 4 * width; ++g) {
        StepTable(a, b);
        model::Step(expect, scratch, LifeRule());
        std::swap(expect, scratch);
        ASSERT_EQ(b.bits, expect.bits) << "generation " << g + 1;
        std::swap(a, b);
      }
      EXPECT_EQ(a.bits, start.bits);
    }
  }
}

TEST(StepGenerationTable, StillLifesAndBlinkersReachACountOfZero) {
  model::World block = FromPicture(64, 8, {"##", "##"}, 4, 31);
  model::World next(64, 8);
  EXPECT_EQ(StepTable(block, next), 4);   // the new block against an empty buffer
  EXPECT_EQ(StepTable(next, block), 0);
  EXPECT_EQ(block.bits, next.bits);

  model::World blinker = FromPicture(64, 8, {"###"}, 3, 62);  // wraps at the right edge
  model::World other(64, 8);
  EXPECT_EQ(StepTable(blinker, other), 3);  // vertical phase into an empty buffer
  EXPECT_EQ(other.Population(), 3);
  for (int g = 0; g < 6; ++g) {
    EXPECT_EQ(StepTable(blinker, other), 0);
    std::swap(blinker, other);
  }
}

TEST(StepGenerationTable, CountsADeadCellClearedInsideASkippedStretch) {
  // Empty source: every cell is decided dead, mostly by the skip-ahead, and
  // every live cell the destination held counts as a change.
  model::World empty(96, 4);
  std::mt19937 rng(3);
  model::World destination = model::Soup(96, 4, 0.25, rng);
  const int live = destination.Population();
  EXPECT_EQ(StepTable(empty, destination), live);
  EXPECT_EQ(destination.Population(), 0);
}

TEST(StepGenerationTable, RuleThatBirthsOnEmptyNeighbourhoodsIsStillExact) {
  // With entry 0 live, dead stretches are not dead in the next generation:
  // the kernel must look them up rather than skip them.
  LifeSettings settings;
  std::uint8_t rule[512];
  for (int i = 0; i < 512; ++i) rule[i] = settings.RuleTable[i];
  rule[0] = 1;
  std::mt19937 rng(11);
  for (double density : {0.0, 0.02, 0.4}) {
    const model::World source = model::Soup(128, 10, density, rng);
    ExpectStepMatchesModel(source, model::Soup(128, 10, 0.5, rng), rule, "birth on zero");
  }
}

TEST(StepGenerationTable, FollowsAnyTableNotOnlyLife) {
  std::mt19937 rng(99);
  std::uint8_t rule[512];
  for (int trial = 0; trial < 6; ++trial) {
    for (auto& entry : rule) entry = static_cast<std::uint8_t>(rng() % 3 == 0 ? rng() % 256 : 0);
    if (trial % 2 == 0) rule[0] = 0;
    const model::World source = model::Soup(96, 7, 0.3, rng);
    ExpectStepMatchesModel(source, model::Soup(96, 7, 0.5, rng), rule, "arbitrary table");
  }
}
