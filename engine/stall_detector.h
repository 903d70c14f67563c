#pragma once
#include <cstdint>

// Whether a world has stalled: for a long stretch it has done no more than
// repeat itself, or carry gliders and other spaceships across a field of
// still lifes and oscillators.
//
// Fed once per generation with the step's change count c (the cells that
// differ from two generations back). The rule:
//   - a generation is quiet when |c - c'| <= kTolerance, c' being the count
//     kLag generations earlier;
//   - the world is stalled once kQuietSpan generations in a row are quiet,
//     so never before kLag + kQuietSpan generations since the last Reset.
// Why these numbers:
//   - kLag = 120 is a multiple of the periods of what a soup's ash holds
//     (1, 2, 3, 4, 5, 6, 8, 15 and their multiples: blocks, blinkers,
//     pulsars, gliders, spaceships, pentadecathlons). A world made of those,
//     spaceships included while they hit nothing, gives a count with a period
//     dividing 120: every generation quiet.
//   - kTolerance = 2 lets a mutation that dies at once (a cell flipped in an
//     empty field moves the count by 1, then again 120 generations on) pass
//     as quiet; a flip that sets off a reaction does not.
//   - A developing soup moves its count by tens of cells a generation. A
//     1024x768 default soup is ash and a glider or two within some thousands
//     of generations, yet a glider still hits ash and sets off new growth
//     after up to about 4,000 quiet generations. kQuietSpan = 20,000
//     outlasts that and gives every new soup at least 20,120 generations.
// Fixed-size state; nothing allocates. A default-constructed detector is
// reset.
class StallDetector {
 public:
  static constexpr std::int32_t kLag = 120;
  static constexpr std::int32_t kTolerance = 2;
  static constexpr std::int32_t kQuietSpan = 20000;

  // Forgets every count fed so far, as for a new world.
  void Reset();

  // Feeds one generation's change count (not negative) and returns Stalled().
  bool Observe(std::int32_t changes);

  bool Stalled() const { return quietRun >= kQuietSpan; }

 private:
  std::int32_t counts[kLag] = {};  // the last kLag counts, a ring
  std::int32_t position = 0;       // slot of the count kLag generations back
  std::int32_t fed = 0;            // counts fed since the reset, up to kLag
  std::int32_t quietRun = 0;       // quiet generations in a row, up to kQuietSpan
};
