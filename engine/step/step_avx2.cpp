// The bit-sliced step on 256-bit AVX2 vectors (64-bit builds only). Compiled
// for AVX2 function by function, so the rest of the program still runs on
// CPUs without it; only called when the CPU offers AVX2.
#include "engine/step/step_bitsliced.h"

#if defined(CELLARIUM_HAS_AVX_KERNELS)
#include <immintrin.h>

#include <cstddef>

namespace step_avx2 {

#define AVX2_OP __attribute__((target("avx2"), always_inline)) static inline

struct Ops {
  using V = __m256i;
  static constexpr int kBytes = 32;
  static constexpr int kLaneBits = 64;
  // Rows stay in memory order: the neighbours are byte arithmetic (see
  // LeftNeighbours), cheaper here than reversing the bytes of every lane.
  static constexpr bool kSwapped = false;

  AVX2_OP V Load(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
  }
  AVX2_OP void Store(std::uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
  AVX2_OP V Splat(std::uint64_t pattern) {
    return _mm256_set1_epi64x(static_cast<long long>(pattern));
  }
  AVX2_OP V And(V a, V b) { return _mm256_and_si256(a, b); }
  AVX2_OP V Or(V a, V b) { return _mm256_or_si256(a, b); }
  AVX2_OP V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  AVX2_OP V Xor3(V a, V b, V c) { return Xor(Xor(a, b), c); }
  AVX2_OP V Majority(V a, V b, V c) { return Or(And(a, b), And(c, Xor(a, b))); }
  AVX2_OP V OrAnd(V a, V b, V c) { return Or(a, And(b, c)); }
  AVX2_OP V XorAnd(V a, V b, V c) { return Xor(a, And(b, c)); }
  AVX2_OP V AndXor(V a, V b, V m) { return And(Xor(a, b), m); }
  AVX2_OP V XorAndNot(V a, V b, V c) { return _mm256_andnot_si256(c, Xor(a, b)); }
  AVX2_OP V AndOr(V a, V b, V c) { return And(a, Or(b, c)); }
  AVX2_OP V Select(V c, V ifClear, V ifSet) { return Xor(ifClear, And(Xor(ifClear, ifSet), c)); }
  AVX2_OP V Double(V v) { return _mm256_add_epi64(v, v); }
  template <int n>
  AVX2_OP V ShiftLeft64(V v) { return _mm256_slli_epi64(v, n); }
  template <int n>
  AVX2_OP V ShiftRight64(V v) { return _mm256_srli_epi64(v, n); }
  // Column 8k is bit 7 of byte k. The left neighbour is the byte halved with
  // bit 0 of byte k-1 (of before) on top: the rounded average of the byte's
  // even part and 0xFF or 0x00. The right one is the byte doubled plus bit 7
  // of byte k+1 (of after), taken from a signed compare (-1 when set).
  AVX2_OP V LeftNeighbours(V x, V before) {
    const V carried = _mm256_cmpgt_epi8(_mm256_setzero_si256(), _mm256_slli_epi64(before, 7));
    return _mm256_avg_epu8(And(x, Splat(0xFEFEFEFEFEFEFEFEull)), carried);
  }
  AVX2_OP V RightNeighbours(V x, V after) {
    return _mm256_sub_epi8(_mm256_add_epi8(x, x), _mm256_cmpgt_epi8(_mm256_setzero_si256(), after));
  }
  // Byte shifts across the two 128-bit halves: alignr works per half, so the
  // half below (or above) is first brought alongside by a lane permute.
  AVX2_OP V PrevBytes(V x, V before) {
    const V lower = _mm256_permute2x128_si256(before, x, 0x21);  // before.high, x.low
    return _mm256_alignr_epi8(x, lower, 15);
  }
  AVX2_OP V NextBytes(V x, V after) {
    const V upper = _mm256_permute2x128_si256(x, after, 0x21);  // x.high, after.low
    return _mm256_alignr_epi8(upper, x, 1);
  }

  // Per-byte counts (0..8) from a nibble lookup, added up for at most 31
  // vectors, then summed into 64-bit lanes.
  struct Counter {
    V bytes, wide;
    int pending;
    __attribute__((target("avx2"))) void Start() {
      bytes = _mm256_setzero_si256();
      wide = _mm256_setzero_si256();
      pending = 0;
    }
    __attribute__((target("avx2"), always_inline)) void Add(V v) {
      const V table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,
                                       0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
      const V nibbles = _mm256_set1_epi8(0x0F);
      const V low = _mm256_shuffle_epi8(table, And(v, nibbles));
      const V high = _mm256_shuffle_epi8(table, And(_mm256_srli_epi16(v, 4), nibbles));
      bytes = _mm256_add_epi8(bytes, _mm256_add_epi8(low, high));
      if (++pending == 31) Flush();
    }
    __attribute__((target("avx2"))) void Flush() {
      wide = _mm256_add_epi64(wide, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
      bytes = _mm256_setzero_si256();
      pending = 0;
    }
    __attribute__((target("avx2"))) std::uint64_t Total() {
      Flush();
      std::uint64_t lanes[4];
      _mm256_storeu_si256(reinterpret_cast<V*>(lanes), wide);
      return lanes[0] + lanes[1] + lanes[2] + lanes[3];
    }
  };
};

#undef AVX2_OP
#define STEP_KERNEL __attribute__((target("avx2")))
#include "engine/step/step_bitsliced_kernel.inc"

}  // namespace step_avx2

std::uint64_t StepBitslicedAvx2(const std::uint8_t* source, std::uint8_t* destination,
                                std::int32_t width, std::int32_t height, const RuleSets& sets) {
  if (width / 8 < step_avx2::Ops::kBytes)
    return StepBitslicedSse2(source, destination, width, height, sets);
  return step_avx2::StepBitsliced<step_avx2::Ops>(source, destination, width, height, sets);
}

#endif
