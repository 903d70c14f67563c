#include "random/combined_lcg.h"

#include <cstring>

namespace {

constexpr std::int32_t kModulus1 = 2147483563;
constexpr std::int32_t kMultiplier1 = 40014;
constexpr std::int32_t kQuotient1 = 53668;
constexpr std::int32_t kRemainder1 = 12211;

constexpr std::int32_t kModulus2 = 2147483399;
constexpr std::int32_t kMultiplier2 = 40692;
constexpr std::int32_t kQuotient2 = 52774;
constexpr std::int32_t kRemainder2 = 3791;

// Seeds and the real output are reduced modulo m - 1, not m.
constexpr std::int32_t kRange1 = kModulus1 - 1;  // 2147483562
constexpr std::int32_t kRange2 = kModulus2 - 1;  // 2147483398

// The double nearest 1/2147483562 (4503599807725575 * 2^-83), applied in
// extended precision.
constexpr long double kRealScale = static_cast<long double>(4.656613059560173e-10);

// Schrage: a * s mod m without overflow, for 0 < s < m.
std::int32_t SchrageStep(std::int32_t s, std::int32_t a, std::int32_t q, std::int32_t r,
                         std::int32_t m) {
  const std::int32_t k = s / q;
  s = a * (s - k * q) - r * k;
  if (s <= 0) s += m;
  return s;
}

void StoreLittleEndian(unsigned char* p, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

void RandomNumberGenerator::Seed(const std::int32_t*) {}

void CombinedLCG::Seed(const std::int32_t* seeds) { Seed(seeds[0], seeds[1]); }

void CombinedLCG::Seed(std::int32_t seed1, std::int32_t seed2) {
  state1 = seed1;
  state2 = seed2;
  Normalize();
}

void CombinedLCG::Normalize() {
  // At most two additions bring any 32-bit value above 0; written without a
  // signed overflow: a negative value plus 2147483562 cannot overflow.
  while (state1 <= 0) state1 += kRange1;
  while (state2 <= 0) state2 += kRange2;
  if (state1 > kRange1) state1 -= kRange1;
  if (state2 > kRange2) state2 -= kRange2;
}

void CombinedLCG::Advance() {
  state1 = SchrageStep(state1, kMultiplier1, kQuotient1, kRemainder1, kModulus1);
  state2 = SchrageStep(state2, kMultiplier2, kQuotient2, kRemainder2, kModulus2);
}

long double CombinedLCG::NextReal() {
  Advance();
  std::int32_t z = state1 - state2;
  while (z < 0) z += kRange1;
  if (z >= kRange1) z -= kRange1;
  return static_cast<long double>(z) * kRealScale;
}

void CombinedLCG::FillBytes(void* buffer, std::int32_t count) {
  auto* p = static_cast<unsigned char*>(buffer);
  // The raw two's-complement difference, computed without signed overflow.
  auto difference = [this] {
    return static_cast<std::uint32_t>(state1) - static_cast<std::uint32_t>(state2);
  };
  while (count >= 4) {
    Advance();
    StoreLittleEndian(p, difference(), 4);
    p += 3;
    count -= 3;
  }
  while (count >= 2) {
    Advance();
    StoreLittleEndian(p, difference(), 2);
    p += 2;
    count -= 2;
  }
  if (count != 0) {
    Advance();
    StoreLittleEndian(p, difference(), 1);
  }
}

void CombinedLCG::AddEntropy(const std::uint8_t* data, std::int32_t bitCount) {
  while (bitCount > 0) {
    std::uint32_t w1 = 0;
    for (int i = 0; i < 4 && bitCount > 0; ++i) {
      w1 = (w1 << 8) | *data++;
      bitCount -= 8;
    }
    std::uint32_t w2 = 0;
    for (int i = 0; i < 4 && bitCount > 0; ++i) {
      w2 = (w2 << 8) | *data++;
      bitCount -= 8;
    }
    state1 = static_cast<std::int32_t>(static_cast<std::uint32_t>(state1) ^ w1);
    state2 = static_cast<std::int32_t>(static_cast<std::uint32_t>(state2) ^ w2);
    Normalize();
    Advance();
  }
}
