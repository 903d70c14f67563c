#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/step/cpu_features.h"
#include "engine/life_settings.h"
#include "engine/step/step_generation.h"
#include "engine/step/step_kernels.h"
#include "engine/step/step_rule_sets.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Under qemu-i386 everything runs about twenty times slower: the 32-bit
// build walks the same shapes with fewer generations.
#if defined(__i386__)
constexpr int kGenerations = 2;
#else
constexpr int kGenerations = 6;
#endif

struct Table {
  std::string name;
  std::uint8_t entries[512];
};

Table FromSets(const std::string& name, std::uint16_t birth, std::uint16_t survival) {
  Table t{name, {}};
  for (unsigned index = 0; index < 512; ++index) {
    const unsigned count = static_cast<unsigned>(std::popcount(index & ~0x10u));
    const std::uint16_t set = (index & 0x10u) != 0 ? survival : birth;
    t.entries[index] = static_cast<std::uint8_t>(((set >> count) & 1u) != 0 ? 1 : 0);
  }
  return t;
}

Table LifeTable() {
  static const LifeSettings settings;
  Table t{"life", {}};
  std::memcpy(t.entries, settings.RuleTable, 512);
  return t;
}

// Sets written as the digits of the counts, B3/S23 style.
std::uint16_t Counts(const char* digits) {
  std::uint16_t set = 0;
  for (const char* d = digits; *d != 0; ++d) set = static_cast<std::uint16_t>(set | (1u << (*d - '0')));
  return set;
}

// Outer-totalistic tables: well-known ones, ones that give birth to a dead
// cell with no live neighbour (so empty space fills), and ones whose live
// entries are not all 1.
std::vector<Table> OuterTotalisticTables() {
  std::vector<Table> tables = {
      LifeTable(),
      FromSets("B36/S23", Counts("36"), Counts("23")),
      FromSets("B2/S", Counts("2"), 0),
      FromSets("B3678/S34678", Counts("3678"), Counts("34678")),
      FromSets("B/S8", 0, Counts("8")),
      FromSets("B8/S", Counts("8"), 0),
      FromSets("B0/S8", Counts("0"), Counts("8")),
      FromSets("B0/S012345678", Counts("0"), Counts("012345678")),
      FromSets("B012345678/S", Counts("012345678"), 0),
      FromSets("B0123/S5678", Counts("0123"), Counts("5678")),
  };
  std::mt19937 rng(61);
  for (int i = 0; i < 6; ++i) {
    Table t = FromSets("random sets " + std::to_string(i), static_cast<std::uint16_t>(rng() & 0x1FF),
                       static_cast<std::uint16_t>(rng() & 0x1FF));
    for (auto& entry : t.entries)
      if (entry != 0) entry = static_cast<std::uint8_t>(1 + rng() % 255);
    tables.push_back(t);
  }
  return tables;
}

// Tables that are not outer-totalistic: any change of one entry of an
// outer-totalistic table, a table that looks at one position, random tables.
std::vector<Table> OtherTables() {
  std::vector<Table> tables;
  Table life = LifeTable();
  life.name = "life with entry 0x0C live";
  life.entries[0x0C] = 1;  // one dead cell with two neighbours (right, below left) born
  tables.push_back(life);
  Table birthOnZeroBent = FromSets("B0/S bent at 0x100", Counts("0"), 0);
  birthOnZeroBent.entries[0x100] = 1;
  tables.push_back(birthOnZeroBent);
  Table north{"live when the cell above is live", {}};
  for (unsigned index = 0; index < 512; ++index) north.entries[index] = (index >> 7) & 1u;
  tables.push_back(north);
  std::mt19937 rng(62);
  for (int i = 0; i < 3; ++i) {
    Table t{"random table " + std::to_string(i), {}};
    for (auto& entry : t.entries) entry = static_cast<std::uint8_t>(rng() % 3 == 0 ? rng() : 0);
    tables.push_back(t);
  }
  return tables;
}

Bytes RandomWorld(int width, int height, double density, std::mt19937& rng) {
  Bytes bits(static_cast<std::size_t>(width / 8 * height), 0);
  std::bernoulli_distribution live(density);
  for (auto& byte : bits)
    for (int b = 0; b < 8; ++b)
      if (live(rng)) byte = static_cast<std::uint8_t>(byte | (1u << b));
  return bits;
}

struct Shape {
  int width, height;
};

// Widths: 32 (a cell's left and right neighbours in the same 4-byte group),
// rows narrower than, equal to and a 4-byte tail past each vector width
// (8, 16, 32, 64 bytes), and wide rows; heights from 2 (the rows above and
// below are the same row) up, over several bands of rows; and one world of
// more than 128 KB, where the strips prefetch the next band.
const Shape kShapes[] = {
    {32, 2},    {32, 3},   {32, 600},  {64, 2},    {96, 5},    {128, 17},  {160, 33},
    {256, 2},   {288, 64}, {480, 11},  {512, 3},   {544, 40},  {608, 7},   {992, 29},
    {1024, 2},  {1056, 90}, {1536, 4}, {2048, 21}, {2048, 70}, {4064, 3}, {4096, 2}, {4096, 37},
    {1056, 1000},
};

const double kDensities[] = {0.0, 0.02, 0.25, 0.5, 0.75, 1.0};

std::string Where(StepKernel kernel, const Table& table, Shape shape, int generation) {
  return std::string(StepKernelName(kernel)) + ", " + table.name + ", " +
         std::to_string(shape.width) + "x" + std::to_string(shape.height) + ", generation " +
         std::to_string(generation);
}

// Runs the table kernel for some generations in ping-pong from a random world
// and an arbitrary old destination; at every generation every kernel steps
// the same source into a copy of the same old destination and must give the
// same bytes and the same count.
void ExpectKernelsMatchTableKernel(const Table& table, Shape shape, double density,
                                   int generations, std::mt19937& rng) {
  Bytes source = RandomWorld(shape.width, shape.height, density, rng);
  Bytes destination = RandomWorld(shape.width, shape.height, 0.5, rng);
  for (int g = 0; g < generations; ++g) {
    Bytes expected = destination;
    const int expectedCount = StepGenerationTable(source.data(), expected.data(), shape.width,
                                                  shape.height, table.entries);
    const Bytes sourceBefore = source;
    for (StepKernel kernel : AvailableStepKernels()) {
      Bytes actual = destination;
      const int count = StepKernelFunction(kernel)(source.data(), actual.data(), shape.width,
                                                   shape.height, table.entries);
      ASSERT_EQ(actual, expected) << Where(kernel, table, shape, g);
      ASSERT_EQ(count, expectedCount) << Where(kernel, table, shape, g);
      ASSERT_EQ(source, sourceBefore) << Where(kernel, table, shape, g);
    }
    destination = std::move(source);
    source = std::move(expected);
  }
}

}  // namespace

TEST(StepKernels, TheListStartsWithTheReferenceAndFollowsTheCpu) {
  const auto kernels = AvailableStepKernels();
  ASSERT_GE(kernels.size(), 2u);
  EXPECT_EQ(kernels[0], StepKernel::Table);
  EXPECT_EQ(kernels[1], StepKernel::Portable);
  std::string names;
  for (StepKernel kernel : kernels) {
    EXPECT_NE(StepKernelFunction(kernel), nullptr) << StepKernelName(kernel);
    names += std::string(" ") + StepKernelName(kernel);
  }
  // Shown in the log, so a run under Wine or qemu says what it exercised.
  std::printf("step kernels tested here:%s\n", names.c_str());

  auto has = [&](StepKernel k) { return std::find(kernels.begin(), kernels.end(), k) != kernels.end(); };
  const CpuFeatures cpu = DetectCpuFeatures();
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_TRUE(cpu.sse2);
  EXPECT_TRUE(has(StepKernel::Sse2));
#endif
#if defined(__x86_64__)
  EXPECT_EQ(has(StepKernel::Avx2), cpu.avx2);
  EXPECT_EQ(has(StepKernel::Avx512), cpu.avx512);
#else
  EXPECT_FALSE(has(StepKernel::Avx2));
  EXPECT_FALSE(has(StepKernel::Avx512));
#endif
  EXPECT_FALSE(cpu.avx512 && !cpu.avx2);
}

TEST(StepKernels, DerivesBirthAndSurvivalSetsOnlyFromOuterTotalisticTables) {
  struct Case {
    Table table;
    bool outerTotalistic;
    std::uint16_t birth, survival;
  };
  const Case cases[] = {
      {LifeTable(), true, Counts("3"), Counts("23")},
      {FromSets("B0/S8", Counts("0"), Counts("8")), true, Counts("0"), Counts("8")},
      {FromSets("B/S", 0, 0), true, 0, 0},
      {FromSets("all", 0x1FF, 0x1FF), true, 0x1FF, 0x1FF},
  };
  for (const Case& c : cases) {
    RuleSets sets{0xAAAA, 0x5555};
    ASSERT_EQ(DeriveRuleSets(c.table.entries, sets), c.outerTotalistic) << c.table.name;
    EXPECT_EQ(sets.birth, c.birth) << c.table.name;
    EXPECT_EQ(sets.survival, c.survival) << c.table.name;
  }
  for (const Table& table : OtherTables()) {
    RuleSets sets{0x1234, 0x0123};
    EXPECT_FALSE(DeriveRuleSets(table.entries, sets)) << table.name;
    EXPECT_EQ(sets.birth, 0x1234) << "left as it was: " << table.name;
  }
  // Flipping any one entry breaks the table (no neighbourhood is ignored),
  // except the four that are alone in their class: no neighbour or all eight
  // live, the cell dead or live. Those flip one bit of one set.
  Table life = LifeTable();
  for (unsigned index = 0; index < 512; ++index) {
    life.entries[index] ^= 1;
    RuleSets sets;
    const bool alone = index == 0x000 || index == 0x010 || index == 0x1EF || index == 0x1FF;
    ASSERT_EQ(DeriveRuleSets(life.entries, sets), alone) << "entry " << index;
    if (alone) {
      const auto changed = static_cast<std::uint16_t>(1u << (index == 0 || index == 0x10 ? 0 : 8));
      const bool live = (index & 0x10u) != 0;
      EXPECT_EQ(sets.birth, live ? Counts("3") : Counts("3") ^ changed) << "entry " << index;
      EXPECT_EQ(sets.survival, live ? Counts("23") ^ changed : Counts("23")) << "entry " << index;
    }
    life.entries[index] ^= 1;
  }
}

TEST(StepKernels, EveryKernelMatchesTheTableKernelOnLife) {
  std::mt19937 rng(20261207);
  const Table life = LifeTable();
  int world = 0;
  for (Shape shape : kShapes)
    ExpectKernelsMatchTableKernel(life, shape, kDensities[world++ % 6], kGenerations, rng);
}

TEST(StepKernels, EveryKernelMatchesTheTableKernelOnOtherOuterTotalisticTables) {
  std::mt19937 rng(5);
  const std::vector<Table> tables = OuterTotalisticTables();
  int world = 0;
  for (const Table& table : tables)
    for (Shape shape : kShapes)
      if (world++ % 3 == 0)  // a third of the shapes per table, all shapes overall
        ExpectKernelsMatchTableKernel(table, shape, kDensities[world % 6], kGenerations / 2 + 1,
                                      rng);
}

TEST(StepKernels, TablesThatAreNotOuterTotalisticGetTheTableKernelsResult) {
  std::mt19937 rng(6);
  for (const Table& table : OtherTables())
    for (Shape shape : {Shape{32, 2}, Shape{64, 5}, Shape{544, 9}, Shape{4096, 2}})
      ExpectKernelsMatchTableKernel(table, shape, 0.3, 2, rng);
}

TEST(StepKernels, ALongLifeRunStaysIdenticalGenerationAfterGeneration) {
  // A soup evolving into still lifes, oscillators and gliders over the wraps.
#if defined(__i386__)
  const int generations = 30;
#else
  const int generations = 150;
#endif
  std::mt19937 rng(8);
  ExpectKernelsMatchTableKernel(LifeTable(), Shape{160, 96}, 0.35, generations, rng);
}

TEST(StepKernels, BirthOnAnEmptyNeighbourhoodFillsEmptySpaceExactly) {
  // B0: a dead cell with no live neighbour is born, so an empty world turns
  // fully live in one step, and every kernel says so: the count is the
  // number of cells the old destination held dead.
  const Table birthOnZero = FromSets("B0/S", Counts("0"), 0);
  std::mt19937 rng(9);
  for (Shape shape : {Shape{32, 2}, Shape{96, 3}, Shape{1056, 5}}) {
    const Bytes empty(static_cast<std::size_t>(shape.width / 8 * shape.height), 0);
    const Bytes old = RandomWorld(shape.width, shape.height, 0.3, rng);
    int deadBefore = 0;
    for (std::uint8_t byte : old) deadBefore += 8 - std::popcount(byte);
    for (StepKernel kernel : AvailableStepKernels()) {
      Bytes destination = old;
      const int count = StepKernelFunction(kernel)(empty.data(), destination.data(), shape.width,
                                                   shape.height, birthOnZero.entries);
      EXPECT_EQ(count, deadBefore) << StepKernelName(kernel);
      EXPECT_TRUE(std::all_of(destination.begin(), destination.end(),
                              [](std::uint8_t b) { return b == 0xFF; }))
          << StepKernelName(kernel);
    }
  }
}

TEST(StepKernels, NoKernelWritesOutsideTheDestination) {
  // Both buffers sit between guard bytes; the source buffer is exactly the
  // world (reads past it are found by the address sanitizer build).
  const Table life = LifeTable();
  std::mt19937 rng(10);
  for (Shape shape : {Shape{32, 2}, Shape{160, 3}, Shape{544, 4}, Shape{4096, 2}}) {
    const std::size_t size = static_cast<std::size_t>(shape.width / 8 * shape.height);
    const Bytes source = RandomWorld(shape.width, shape.height, 0.5, rng);
    for (StepKernel kernel : AvailableStepKernels()) {
      Bytes guarded(size + 256, 0xA5);
      std::uint8_t* destination = guarded.data() + 128;
      StepKernelFunction(kernel)(source.data(), destination, shape.width, shape.height,
                                 life.entries);
      for (std::size_t i = 0; i < 128; ++i) {
        ASSERT_EQ(guarded[i], 0xA5) << StepKernelName(kernel) << " before, byte " << i;
        ASSERT_EQ(guarded[size + 128 + i], 0xA5) << StepKernelName(kernel) << " after, byte " << i;
      }
    }
  }
}

TEST(StepKernels, ZeroWidthOrHeightTouchesNothing) {
  std::uint8_t source[16], destination[16];
  for (int i = 0; i < 16; ++i) source[i] = destination[i] = static_cast<std::uint8_t>(0x5A + i);
  const Table life = LifeTable();
  for (StepKernel kernel : AvailableStepKernels()) {
    EXPECT_EQ(StepKernelFunction(kernel)(source, destination, 0, 4, life.entries), 0);
    EXPECT_EQ(StepKernelFunction(kernel)(source, destination, 32, 0, life.entries), 0);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(destination[i], 0x5A + i) << StepKernelName(kernel);
  }
  EXPECT_EQ(StepGeneration(source, destination, 0, 0, life.entries), 0);
}

TEST(StepKernels, StepGenerationFollowsTheTableItIsGivenEachCall) {
  // The sets are cached against the table: a table changed in place between
  // two calls (or a different table) must be seen at once.
  std::mt19937 rng(11);
  const Shape shape{256, 12};
  const Bytes source = RandomWorld(shape.width, shape.height, 0.4, rng);
  Table table = LifeTable();
  const std::vector<Table> others = OtherTables();
  for (int round = 0; round < 6; ++round) {
    if (round == 2) table.entries[0x38] ^= 1;  // no longer outer-totalistic
    if (round == 3) table.entries[0x38] ^= 1;  // Life again
    if (round == 4) table = FromSets("B0/S8", Counts("0"), Counts("8"));
    if (round == 5) table = others.back();
    Bytes expected(source.size(), 0), actual(source.size(), 0);
    const int expectedCount =
        StepGenerationTable(source.data(), expected.data(), shape.width, shape.height, table.entries);
    const int count =
        StepGeneration(source.data(), actual.data(), shape.width, shape.height, table.entries);
    ASSERT_EQ(actual, expected) << "round " << round;
    ASSERT_EQ(count, expectedCount) << "round " << round;
  }
}

TEST(StepKernels, StepsOnTwoThreadsWithDifferentTablesStayExact) {
  // The cached sets belong to one table at a time: two threads stepping with
  // different tables at once must each get their own table's result.
  const std::vector<Table> tables = {LifeTable(), FromSets("B36/S23", Counts("36"), Counts("23")),
                                     OtherTables().front()};
  const Shape shape{128, 6};
  std::mt19937 rng(12);
  const Bytes source = RandomWorld(shape.width, shape.height, 0.4, rng);
  std::vector<Bytes> expected;
  for (const Table& table : tables) {
    expected.emplace_back(source.size(), 0);
    StepGenerationTable(source.data(), expected.back().data(), shape.width, shape.height,
                        table.entries);
  }
  auto run = [&](std::size_t first, int* mismatches) {
    Bytes destination(source.size(), 0);
    for (int i = 0; i < 3000; ++i) {
      const std::size_t t = (first + static_cast<std::size_t>(i)) % tables.size();
      StepGeneration(source.data(), destination.data(), shape.width, shape.height,
                     tables[t].entries);
      if (destination != expected[t]) ++*mismatches;
    }
  };
  int mismatchesA = 0, mismatchesB = 0;
  std::thread other(run, 1, &mismatchesB);
  run(0, &mismatchesA);
  other.join();
  EXPECT_EQ(mismatchesA, 0);
  EXPECT_EQ(mismatchesB, 0);
}
