// The bit-sliced step on 128-bit SSE2 vectors: the floor of every x86 CPU
// the saver runs on, 64-bit and 32-bit alike.
#include "engine/step/step_bitsliced.h"

#if defined(CELLARIUM_HAS_SSE2_KERNEL)
#include <emmintrin.h>

#include <cstddef>

namespace step_sse2 {

#define SSE2_OP __attribute__((target("sse2"), always_inline)) static inline

struct Ops {
  using V = __m128i;
  static constexpr int kBytes = 16;
  static constexpr int kLaneBits = 64;
  static constexpr bool kSwapped = false;

  SSE2_OP V Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  SSE2_OP void Store(std::uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
  SSE2_OP V Splat(std::uint64_t pattern) {
    return _mm_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(pattern)));
  }
  SSE2_OP V And(V a, V b) { return _mm_and_si128(a, b); }
  SSE2_OP V Or(V a, V b) { return _mm_or_si128(a, b); }
  SSE2_OP V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  SSE2_OP V Xor3(V a, V b, V c) { return Xor(Xor(a, b), c); }
  SSE2_OP V Majority(V a, V b, V c) { return Or(And(a, b), And(c, Xor(a, b))); }
  SSE2_OP V OrAnd(V a, V b, V c) { return Or(a, And(b, c)); }
  SSE2_OP V XorAnd(V a, V b, V c) { return Xor(a, And(b, c)); }
  SSE2_OP V AndXor(V a, V b, V m) { return And(Xor(a, b), m); }
  SSE2_OP V XorAndNot(V a, V b, V c) { return _mm_andnot_si128(c, Xor(a, b)); }
  SSE2_OP V AndOr(V a, V b, V c) { return And(a, Or(b, c)); }
  SSE2_OP V Select(V c, V ifClear, V ifSet) { return Xor(ifClear, And(Xor(ifClear, ifSet), c)); }
  SSE2_OP V Double(V v) { return _mm_add_epi64(v, v); }
  template <int n>
  SSE2_OP V ShiftLeft64(V v) { return _mm_slli_epi64(v, n); }
  template <int n>
  SSE2_OP V ShiftRight64(V v) { return _mm_srli_epi64(v, n); }
  // Column 8k is bit 7 of byte k, so the neighbours are byte arithmetic:
  // the left one is the byte halved with bit 0 of byte k-1 (of before)
  // shifted in on top, as the rounded average of the byte's even part and
  // 0xFF or 0x00; the right one is the byte doubled, plus bit 7 of byte k+1
  // (of after) taken from a signed compare (-1 when set).
  SSE2_OP V LeftNeighbours(V x, V before) {
    const V carried = _mm_cmpgt_epi8(_mm_setzero_si128(), _mm_slli_epi64(before, 7));
    return _mm_avg_epu8(And(x, Splat(0xFEFEFEFEFEFEFEFEull)), carried);
  }
  SSE2_OP V RightNeighbours(V x, V after) {
    return _mm_sub_epi8(_mm_add_epi8(x, x), _mm_cmpgt_epi8(_mm_setzero_si128(), after));
  }
  SSE2_OP V PrevBytes(V x, V before) {
    return Or(_mm_slli_si128(x, 1), _mm_srli_si128(before, 15));
  }
  SSE2_OP V NextBytes(V x, V after) {
    return Or(_mm_srli_si128(x, 1), _mm_slli_si128(after, 15));
  }

  // Per-byte counts (0..8) added up for at most 31 vectors, then summed
  // into 64-bit lanes by the sum of absolute differences against zero.
  struct Counter {
    V bytes, wide;
    int pending;
    __attribute__((target("sse2"))) void Start() {
      bytes = _mm_setzero_si128();
      wide = _mm_setzero_si128();
      pending = 0;
    }
    __attribute__((target("sse2"), always_inline)) void Add(V v) {
      const V ones = Splat(0x5555555555555555ull);
      const V twos = Splat(0x3333333333333333ull);
      const V nibbles = Splat(0x0F0F0F0F0F0F0F0Full);
      v = _mm_sub_epi8(v, And(_mm_srli_epi16(v, 1), ones));
      v = _mm_add_epi8(And(v, twos), And(_mm_srli_epi16(v, 2), twos));
      v = And(_mm_add_epi8(v, _mm_srli_epi16(v, 4)), nibbles);
      bytes = _mm_add_epi8(bytes, v);
      if (++pending == 31) Flush();
    }
    __attribute__((target("sse2"))) void Flush() {
      wide = _mm_add_epi64(wide, _mm_sad_epu8(bytes, _mm_setzero_si128()));
      bytes = _mm_setzero_si128();
      pending = 0;
    }
    __attribute__((target("sse2"))) std::uint64_t Total() {
      Flush();
      std::uint64_t lanes[2];
      _mm_storeu_si128(reinterpret_cast<V*>(lanes), wide);
      return lanes[0] + lanes[1];
    }
  };
};

#undef SSE2_OP
#define STEP_KERNEL __attribute__((target("sse2")))
#include "engine/step/step_bitsliced_kernel.inc"

}  // namespace step_sse2

std::uint64_t StepBitslicedSse2(const std::uint8_t* source, std::uint8_t* destination,
                                std::int32_t width, std::int32_t height, const RuleSets& sets) {
  if (width / 8 < step_sse2::Ops::kBytes)
    return StepBitslicedPortable(source, destination, width, height, sets);
  return step_sse2::StepBitsliced<step_sse2::Ops>(source, destination, width, height, sets);
}

#endif
