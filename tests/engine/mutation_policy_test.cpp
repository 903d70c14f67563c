#include <gtest/gtest.h>

#include <string>

#include "engine/mutation_policy.h"
#include "support/life_model.h"

// One character per generation: '0' a step with no change, 'x' a step with
// changes; the actions: '.' none, 'S' flip shown in the frame, 'H' flip after it.
TEST(MutationPolicy, CountdownRunsOnCountedGenerations) {
  struct Case {
    std::int32_t rate;
    int steadyOnly, show;
    std::string changes, actions;
    std::int32_t countdownAfter;
  };
  const Case cases[] = {
      {4, 1, 0, "00000000", "...H...H", 4},
      {4, 1, 0, "xxxxxx", "......", 4},            // a changing world keeps its countdown
      {4, 1, 0, "0x0x0x0x", "......H.", 4},
      {64, 0, 0, std::string(128, 'x'), std::string(63, '.') + "H" + std::string(63, '.') + "H", 64},
      {1, 1, 1, "0x0", "S.S", 1},
      {2, 0, 1, "x0", ".S", 2},
      {0, 0, 0, "x0x0", "....", 0},              // disabled for the run
      {-3, 0, 0, "x0x0", "....", -3},            // never decremented towards overflow
  };
  for (const Case& c : cases) {
    LifeSettings settings;
    settings.WorldMutationRate = c.rate;
    settings.MutateAtSteadyState = static_cast<std::uint8_t>(c.steadyOnly);
    settings.ShowMutations = static_cast<std::uint8_t>(c.show);
    std::int32_t countdown = c.rate;
    std::string actions;
    for (char change : c.changes) {
      const MutationAction a = DecideMutation(countdown, change == '0' ? 0 : 7, settings);
      actions += a == MutationAction::kNone ? '.' : a == MutationAction::kFlipBeforeFrame ? 'S' : 'H';
    }
    EXPECT_EQ(actions, c.actions) << "rate " << c.rate << " on " << c.changes;
    EXPECT_EQ(countdown, c.countdownAfter) << "rate " << c.rate;
  }
}

TEST(MutationPolicy, RandomWordPicksWordAndBitOfTheBuffer) {
  struct Vector {
    std::uint32_t r;
    std::int32_t cols, rows, byteOffset;
    std::uint8_t mask;
  };
  const Vector vectors[] = {
      {37, 416, 300, 4, 0x20},
      {(3900u << 5) | 3u, 416, 300, 0, 0x08},  // the word index wraps at the buffer's end
      {0xFFFFFFFFu, 416, 300, 12511, 0x80},
      {37, 0, 300, -1, 0},
  };
  for (const Vector& v : vectors) {
    const CellFlip flip = MutationTarget(v.r, v.cols, v.rows);
    EXPECT_EQ(flip.byteOffset, v.byteOffset) << v.r;
    EXPECT_EQ(flip.mask, v.mask) << v.r;
  }
  model::World world(416, 300);
  world.bits[4] ^= MutationTarget(37, 416, 300).mask;
  EXPECT_TRUE(world.Get(0, 34));
  EXPECT_EQ(world.Population(), 1);
}
