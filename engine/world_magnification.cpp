#include "engine/world_magnification.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/expand_tables.h"

namespace {

// The part of a placement that lies inside the destination: the number of
// destination bytes of a row from x / 8 on, and the number of destination
// rows from y on. Both 0 when the placement starts outside.
struct Clip {
  std::int32_t rowBytes;
  std::int32_t rows;
};

Clip ClipPlacement(std::int32_t width, std::int32_t height, std::int32_t x, std::int32_t y) {
  const std::int32_t stride = width / 8;
  if (x < 0 || y < 0 || x / 8 >= stride || y >= height) return {0, 0};
  return {stride - x / 8, height - y};
}

// Copies count bytes to one destination row, cut to what fits there.
inline void PutCut(std::uint8_t* row, std::int32_t offset, std::int32_t room,
                   const std::uint8_t* bytes, std::int32_t count) {
  if (offset >= room) return;
  std::memcpy(row + offset, bytes, static_cast<std::size_t>(std::min(count, room - offset)));
}

// The 32 pixels of one group: 4 / kFactor world bytes magnified kFactor times.
template <int kFactor>
inline void MagnifyGroup(const std::uint8_t* in, std::uint8_t* group) {
  if constexpr (kFactor == 2) {
    std::memcpy(group, Expand2Table[in[0]].data(), 2);
    std::memcpy(group + 2, Expand2Table[in[1]].data(), 2);
  } else {
    std::memcpy(group, Expand4Table[in[0]].data(), 4);
  }
}

// Each world row becomes kFactor identical display rows of 32-bit groups.
template <int kFactor>
void ExpandWorldBy(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  constexpr std::int32_t kBytesPerGroup = 4 / kFactor;
  const Clip clip = ClipPlacement(width, height, x, y);
  if (clip.rowBytes <= 0) return;
  const std::int32_t rowBytes = cols / 8;
  const std::int32_t stride = width / 8;
  for (std::int32_t r = 0; r < rows && kFactor * r < clip.rows; ++r) {
    const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(r) * rowBytes;
    std::uint8_t* out =
        destination + static_cast<std::ptrdiff_t>(y + kFactor * r) * stride + x / 8;
    const std::int32_t copies = std::min<std::int32_t>(kFactor, clip.rows - kFactor * r);
    for (std::int32_t g = 0; g < rowBytes / kBytesPerGroup && 4 * g < clip.rowBytes; ++g) {
      std::uint8_t group[4];
      MagnifyGroup<kFactor>(in + kBytesPerGroup * g, group);
      if (4 * g + 4 <= clip.rowBytes) {
        for (std::int32_t i = 0; i < copies; ++i) std::memcpy(out + i * stride + 4 * g, group, 4);
      } else {
        for (std::int32_t i = 0; i < copies; ++i)
          PutCut(out + i * stride, 4 * g, clip.rowBytes, group, 4);
      }
    }
  }
}

}  // namespace

void ExpandWorld1x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  const Clip clip = ClipPlacement(width, height, x, y);
  const std::int32_t rowBytes = cols / 8;
  const std::int32_t stride = width / 8;
  const std::int32_t copyBytes = std::min(rowBytes, clip.rowBytes);
  const std::int32_t copyRows = std::min(rows, clip.rows);
  if (copyBytes <= 0) return;
  for (std::int32_t r = 0; r < copyRows; ++r)
    std::memcpy(destination + static_cast<std::ptrdiff_t>(y + r) * stride + x / 8,
                source + static_cast<std::ptrdiff_t>(r) * rowBytes,
                static_cast<std::size_t>(copyBytes));
}

void ExpandWorld2x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  ExpandWorldBy<2>(destination, source, cols, rows, width, height, x, y);
}

void ExpandWorld4x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y) {
  ExpandWorldBy<4>(destination, source, cols, rows, width, height, x, y);
}
