#pragma once
#include <array>
#include <cstdint>

// Magnification of world bytes into display pixels. A world byte holds 8
// cells, the leftmost in bit 7; the entries are the magnified pixels in
// display order, first byte leftmost, most significant bit leftmost.
//
// Expand2Table[b]: 2 bytes, every pixel of b doubled (16 pixels): the first
// byte doubles b's high nibble, the second its low nibble.
// Expand4Table[b]: 4 bytes, every pixel of b repeated four times (32 pixels).
using Expand2Entry = std::array<std::uint8_t, 2>;
using Expand4Entry = std::array<std::uint8_t, 4>;

namespace expand_detail {

constexpr std::array<Expand2Entry, 256> MakeExpand2Table() {
  std::array<Expand2Entry, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned wide = 0;  // 16 pixels, leftmost in bit 15
    for (unsigned bit = 0; bit < 8; ++bit)
      if (b & (1u << bit)) wide |= 3u << (2 * bit);
    table[b] = {static_cast<std::uint8_t>(wide >> 8), static_cast<std::uint8_t>(wide)};
  }
  return table;
}

constexpr std::array<Expand4Entry, 256> MakeExpand4Table() {
  std::array<Expand4Entry, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    std::uint32_t wide = 0;  // 32 pixels, leftmost in bit 31
    for (unsigned bit = 0; bit < 8; ++bit)
      if (b & (1u << bit)) wide |= 0xFu << (4 * bit);
    table[b] = {static_cast<std::uint8_t>(wide >> 24), static_cast<std::uint8_t>(wide >> 16),
                static_cast<std::uint8_t>(wide >> 8), static_cast<std::uint8_t>(wide)};
  }
  return table;
}

}  // namespace expand_detail

inline constexpr std::array<Expand2Entry, 256> Expand2Table = expand_detail::MakeExpand2Table();
inline constexpr std::array<Expand4Entry, 256> Expand4Table = expand_detail::MakeExpand4Table();
