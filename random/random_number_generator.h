#pragma once
#include <cstdint>

// The interface every generator of the program offers. It holds no data and
// is never deleted through a base pointer, so its destructor is protected and
// not virtual.
class RandomNumberGenerator {
 public:
  // Seeds from an array of seed words; a generator that takes no seed ignores it.
  virtual void Seed(const std::int32_t* seeds);
  // Next real number in [0, 1), in the widest floating type.
  virtual long double NextReal() = 0;
  // Fills count (>= 0) bytes at buffer with random bytes.
  virtual void FillBytes(void* buffer, std::int32_t count) = 0;

 protected:
  RandomNumberGenerator() = default;
  RandomNumberGenerator(const RandomNumberGenerator&) = default;
  RandomNumberGenerator& operator=(const RandomNumberGenerator&) = default;
  ~RandomNumberGenerator() = default;
};
