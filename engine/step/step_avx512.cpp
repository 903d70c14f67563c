// The bit-sliced step on 512-bit AVX-512 vectors (F and BW; 64-bit builds
// only). Every three-input bitwise step is one ternary-logic instruction.
// Compiled for AVX-512 function by function; only called when the CPU and
// the OS offer it.
#include "engine/step/step_bitsliced.h"

#if defined(CELLARIUM_HAS_AVX_KERNELS)
// GCC 12's AVX-512 headers make "undefined" vectors by self-initialisation,
// which its own -Wuninitialized then reports inside the headers.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif

#include <cstddef>

namespace step_avx512 {

#define AVX512_TARGET target("avx512f,avx512bw")
#define AVX512_OP __attribute__((AVX512_TARGET, always_inline)) static inline

// Ternary-logic truth tables of the operands a, b, c.
constexpr int kA = 0xF0, kB = 0xCC, kC = 0xAA;

struct Ops {
  using V = __m512i;
  static constexpr int kBytes = 64;
  static constexpr int kLaneBits = 64;
  static constexpr bool kSwapped = false;

  AVX512_OP V Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
  AVX512_OP void Store(std::uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
  AVX512_OP V Splat(std::uint64_t pattern) {
    return _mm512_set1_epi64(static_cast<long long>(pattern));
  }
  AVX512_OP V And(V a, V b) { return _mm512_and_si512(a, b); }
  AVX512_OP V Or(V a, V b) { return _mm512_or_si512(a, b); }
  AVX512_OP V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
  AVX512_OP V Xor3(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, kA ^ kB ^ kC); }
  AVX512_OP V Majority(V a, V b, V c) {
    return _mm512_ternarylogic_epi64(a, b, c, (kA & kB) | (kA & kC) | (kB & kC));
  }
  AVX512_OP V OrAnd(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, kA | (kB & kC)); }
  AVX512_OP V XorAnd(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, kA ^ (kB & kC)); }
  AVX512_OP V AndXor(V a, V b, V m) { return _mm512_ternarylogic_epi64(a, b, m, (kA ^ kB) & kC); }
  AVX512_OP V XorAndNot(V a, V b, V c) {
    return _mm512_ternarylogic_epi64(a, b, c, (kA ^ kB) & ~kC & 0xFF);
  }
  AVX512_OP V AndOr(V a, V b, V c) { return _mm512_ternarylogic_epi64(a, b, c, kA & (kB | kC)); }
  AVX512_OP V Select(V c, V ifClear, V ifSet) {
    return _mm512_ternarylogic_epi64(c, ifClear, ifSet, (kA & kC) | (~kA & kB & 0xFF));
  }
  AVX512_OP V Double(V v) { return _mm512_add_epi64(v, v); }
  template <int n>
  AVX512_OP V ShiftLeft64(V v) { return _mm512_slli_epi64(v, n); }
  template <int n>
  AVX512_OP V ShiftRight64(V v) { return _mm512_srli_epi64(v, n); }
  // Column 8k is bit 7 of byte k: its left neighbour is bit 0 of byte k-1
  // (of before), the right neighbour of column 8k+7 bit 7 of byte k+1.
  AVX512_OP V LeftNeighbours(V x, V before) {
    return Select(Splat(0x7F7F7F7F7F7F7F7Full), ShiftLeft64<7>(before), ShiftRight64<1>(x));
  }
  AVX512_OP V RightNeighbours(V x, V after) {
    return Select(Splat(0xFEFEFEFEFEFEFEFEull), ShiftRight64<7>(after), Double(x));
  }
  // alignr_epi8 shifts bytes within each 128-bit lane; the neighbouring lane
  // is first brought alongside by a 64-bit element rotation across vectors.
  AVX512_OP V PrevBytes(V x, V before) {
    const V lower = _mm512_alignr_epi64(x, before, 6);  // before lane 3, x lanes 0..2
    return _mm512_alignr_epi8(x, lower, 15);
  }
  AVX512_OP V NextBytes(V x, V after) {
    const V upper = _mm512_alignr_epi64(after, x, 2);  // x lanes 1..3, after lane 0
    return _mm512_alignr_epi8(upper, x, 1);
  }

  // Per-byte counts (0..8) from a nibble lookup, added up for at most 31
  // vectors, then summed into 64-bit lanes.
  struct Counter {
    V bytes, wide;
    int pending;
    __attribute__((AVX512_TARGET)) void Start() {
      bytes = _mm512_setzero_si512();
      wide = _mm512_setzero_si512();
      pending = 0;
    }
    __attribute__((AVX512_TARGET, always_inline)) void Add(V v) {
      const V table = _mm512_broadcast_i32x4(
          _mm_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4));
      const V nibbles = _mm512_set1_epi8(0x0F);
      const V low = _mm512_shuffle_epi8(table, And(v, nibbles));
      const V high = _mm512_shuffle_epi8(table, And(_mm512_srli_epi16(v, 4), nibbles));
      bytes = _mm512_add_epi8(bytes, _mm512_add_epi8(low, high));
      if (++pending == 31) Flush();
    }
    __attribute__((AVX512_TARGET)) void Flush() {
      wide = _mm512_add_epi64(wide, _mm512_sad_epu8(bytes, _mm512_setzero_si512()));
      bytes = _mm512_setzero_si512();
      pending = 0;
    }
    __attribute__((AVX512_TARGET)) std::uint64_t Total() {
      Flush();
      std::uint64_t lanes[8];
      _mm512_storeu_si512(lanes, wide);
      std::uint64_t total = 0;
      for (std::uint64_t lane : lanes) total += lane;
      return total;
    }
  };
};

#undef AVX512_OP
#define STEP_KERNEL __attribute__((AVX512_TARGET))
#include "engine/step/step_bitsliced_kernel.inc"
#undef AVX512_TARGET

}  // namespace step_avx512

std::uint64_t StepBitslicedAvx512(const std::uint8_t* source, std::uint8_t* destination,
                                  std::int32_t width, std::int32_t height,
                                  const RuleSets& sets) {
  if (width / 8 < step_avx512::Ops::kBytes)
    return StepBitslicedAvx2(source, destination, width, height, sets);
  return step_avx512::StepBitsliced<step_avx512::Ops>(source, destination, width, height,
                                                        sets);
}

#endif
