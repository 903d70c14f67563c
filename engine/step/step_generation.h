#pragma once
#include <cstdint>

#include "engine/step/step_rule_sets.h"

// World buffer layout, shared by both world buffers and the bitmaps that hold
// them: height rows of width cells, 1 bit per cell (1 = live), each row
// exactly width / 8 bytes with no padding (width is a multiple of 32). Byte k
// of a row holds columns 8k..8k+7 with column 8k in bit 7. Memory row 0 is the
// bottom line of the picture. The world is a torus on both axes.

// Computes the next generation of source into destination (same geometry, no
// overlap) through the 512-entry rule table, indexed by the 3x3 neighbourhood
// (bit 8 above-left ... bit 4 the cell ... bit 0 below-right). Returns how many
// destination cells changed from what they held on entry. A width or height of
// 0 returns 0 and touches nothing. Preconditions (not checked): width a
// multiple of 32, height at least 2.
std::int32_t StepGeneration(const std::uint8_t* source, std::uint8_t* destination,
                            std::int32_t width, std::int32_t height,
                            const std::uint8_t* rule);

// The per-cell table kernel: three running row windows, one table lookup per
// cell, dead stretches skipped up to 8 cells at a time. It is the reference
// every faster kernel must match bit for bit.
std::int32_t StepGenerationTable(const std::uint8_t* source, std::uint8_t* destination,
                                 std::int32_t width, std::int32_t height,
                                 const std::uint8_t* rule);

// A rule table with what the bit-sliced kernels need derived from it once,
// so that a run pays for the derivation at its start and not every
// generation. The table is referred to, not copied: it must outlive this.
struct PreparedRule {
  const std::uint8_t* table = nullptr;
  RuleSets sets;
  bool outerTotalistic = false;
};

PreparedRule PrepareRule(const std::uint8_t* rule);

// StepGeneration for a prepared rule: the same result, without deriving.
std::int32_t StepGeneration(const std::uint8_t* source, std::uint8_t* destination,
                            std::int32_t width, std::int32_t height, const PreparedRule& rule);
