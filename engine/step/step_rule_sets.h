#pragma once
#include <cstdint>

// An outer-totalistic rule: the next state depends only on the cell's own
// state and on how many of its eight neighbours are live. Bit k of birth is
// set when a dead cell with k live neighbours becomes live, bit k of
// survival when a live cell with k live neighbours stays live (k = 0..8).
struct RuleSets {
  std::uint16_t birth = 0;
  std::uint16_t survival = 0;
};

// Reads the 512-entry table (nonzero = live) and fills sets when the table is
// outer-totalistic; returns false, leaving sets as they were, when two
// neighbourhoods with the same centre and the same count disagree.
bool DeriveRuleSets(const std::uint8_t* rule, RuleSets& sets);
