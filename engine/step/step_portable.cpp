// The bit-sliced step in plain C++ on 64-bit words (32-bit words for rows of
// 4 bytes), with a software population count: the path for any CPU.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/step/step_bitsliced.h"

namespace step_portable {

template <class Word>
Word ByteSwap(Word w) {
  Word swapped = 0;
  for (std::size_t i = 0; i < sizeof(Word); ++i) {
    swapped = static_cast<Word>((swapped << 8) | (w & 0xFFu));
    w = static_cast<Word>(w >> 8);
  }
  return swapped;
}

// Row byte i is bits 8i..8i+7 of the word, whatever the host's byte order.
template <class Word>
Word FromLittleEndian(Word w) {
  if constexpr (std::endian::native == std::endian::little) return w;
  return ByteSwap(w);
}

// The kernel works on the words byte-swapped: the word's columns then run
// in order from its top bit down, a neighbour is one shift away.
template <class Word>
struct WordOps {
  using V = Word;
  static constexpr int kBytes = sizeof(Word);
  static constexpr int kBits = 8 * kBytes;
  static constexpr int kLaneBits = kBits;
  static constexpr bool kSwapped = true;
  static V Swap(V v) { return ByteSwap(v); }

  static V Load(const std::uint8_t* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return FromLittleEndian(v);
  }
  static void Store(std::uint8_t* p, V v) {
    v = FromLittleEndian(v);
    std::memcpy(p, &v, sizeof v);
  }
  static V Splat(std::uint64_t pattern) { return static_cast<V>(pattern); }
  static V And(V a, V b) { return a & b; }
  static V Or(V a, V b) { return a | b; }
  static V Xor(V a, V b) { return a ^ b; }
  static V Xor3(V a, V b, V c) { return a ^ b ^ c; }
  static V Majority(V a, V b, V c) { return (a & b) | (c & (a ^ b)); }
  static V OrAnd(V a, V b, V c) { return a | (b & c); }
  static V XorAnd(V a, V b, V c) { return a ^ (b & c); }
  static V AndXor(V a, V b, V m) { return (a ^ b) & m; }
  static V XorAndNot(V a, V b, V c) { return (a ^ b) & static_cast<V>(~c); }
  static V AndOr(V a, V b, V c) { return a & (b | c); }
  static V Select(V c, V ifClear, V ifSet) { return ifClear ^ ((ifClear ^ ifSet) & c); }
  static V Double(V v) { return static_cast<V>(v << 1); }
  template <int n>
  static V ShiftLeft64(V v) { return static_cast<V>(v << n); }
  template <int n>
  static V ShiftRight64(V v) { return static_cast<V>(v >> n); }
  static V PrevBytes(V x, V before) {
    return static_cast<V>((x << 8) | (before >> (kBits - 8)));
  }
  static V NextBytes(V x, V after) {
    return static_cast<V>((x >> 8) | (after << (kBits - 8)));
  }

  // Per-byte counts (0..8) added up for at most 31 words, then folded.
  struct Counter {
    V bytes;
    int pending;
    std::uint64_t total;
    void Start() {
      bytes = 0;
      pending = 0;
      total = 0;
    }
    void Add(V v) {
      const V ones = Splat(0x5555555555555555ull);
      const V twos = Splat(0x3333333333333333ull);
      const V nibbles = Splat(0x0F0F0F0F0F0F0F0Full);
      v = static_cast<V>(v - ((v >> 1) & ones));
      v = static_cast<V>((v & twos) + ((v >> 2) & twos));
      v = static_cast<V>((v + (v >> 4)) & nibbles);
      bytes = static_cast<V>(bytes + v);
      if (++pending == 31) Flush();
    }
    void Flush() {
      // Each byte is at most 248; their sum may not fit a byte, so pairs of
      // bytes are first widened into 16-bit lanes, then the lanes folded.
      const V evenBytes = static_cast<V>(bytes & Splat(0x00FF00FF00FF00FFull));
      const V oddBytes = static_cast<V>((bytes >> 8) & Splat(0x00FF00FF00FF00FFull));
      V halves = static_cast<V>(evenBytes + oddBytes);  // 16-bit lanes, each < 65536
      for (int shift = kBits / 2; shift >= 16; shift /= 2)
        halves = static_cast<V>(halves + (halves >> shift));
      total += halves & 0xFFFFu;
      bytes = 0;
      pending = 0;
    }
    std::uint64_t Total() {
      Flush();
      return total;
    }
  };
};

#define STEP_KERNEL
#include "engine/step/step_bitsliced_kernel.inc"

}  // namespace step_portable

std::uint64_t StepBitslicedPortable(const std::uint8_t* source, std::uint8_t* destination,
                                    std::int32_t width, std::int32_t height,
                                    const RuleSets& sets) {
  using namespace step_portable;
  if (width / 8 >= 8)
    return StepBitsliced<WordOps<std::uint64_t>>(source, destination, width, height, sets);
  return StepBitsliced<WordOps<std::uint32_t>>(source, destination, width, height, sets);
}
