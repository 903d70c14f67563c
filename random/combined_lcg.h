#pragma once
#include <cstdint>

#include "random/random_number_generator.h"

// Two multiplicative congruential generators with prime moduli, combined by
// subtraction (L'Ecuyer). All arithmetic is 32-bit signed; Schrage's
// decomposition keeps every product in range without a 64-bit multiply.
//
// State: state1 in 1..2147483562, state2 in 1..2147483398 after every public
// operation. Construction leaves both unset: call Seed first.
class CombinedLCG final : public RandomNumberGenerator {
 public:
  CombinedLCG() = default;

  void Seed(const std::int32_t* seeds) override;  // reads seeds[0], seeds[1]
  void Seed(std::int32_t seed1, std::int32_t seed2);

  long double NextReal() override;

  // Each step while four or more bytes remain contributes the low three bytes
  // of its difference (little-endian, written as overlapping 4-byte stores);
  // a tail of two bytes takes one more step, of one or three bytes one or two.
  void FillBytes(void* buffer, std::int32_t count) override;

  // Mixes bitCount bits (consumed as whole bytes, packed big-endian, 32 bits
  // per state) into the two states, one step per 64 bits.
  void AddEntropy(const std::uint8_t* data, std::int32_t bitCount);

  std::int32_t State1() const { return state1; }
  std::int32_t State2() const { return state2; }

 private:
  void Advance();
  void Normalize();

  std::int32_t state1;
  std::int32_t state2;
};
