#include "engine/step/step_generation.h"

namespace {

// A 32-cell group: the row's 4 bytes at offset 4g read most significant byte
// first, so the group's first column is bit 31 and its last bit 0.
std::uint32_t LoadGroup(const std::uint8_t* row, std::int32_t group) {
  const std::uint8_t* p = row + 4 * group;
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
         (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

// One row stream. The low three bits of window are columns j-1, j, j+1 once
// column j is being decided; pending holds the not yet consumed cells of the
// current group, next column in bit 31 (zeros past the group's end).
struct RowStream {
  const std::uint8_t* row;
  std::uint32_t window;
  std::uint32_t pending;
  std::uint32_t firstGroup;  // group 0, the right neighbour of the last column

  void Prime(const std::uint8_t* rowStart, std::int32_t groups) {
    row = rowStart;
    firstGroup = LoadGroup(row, 0);
    window = (LoadGroup(row, groups - 1) << 1) | (firstGroup >> 31);
    pending = firstGroup << 1;
  }
  void Shift() {
    window = (window << 1) | (pending >> 31);
    pending <<= 1;
  }
};

}  // namespace

std::int32_t StepGenerationTable(const std::uint8_t* source, std::uint8_t* destination,
                                 std::int32_t width, std::int32_t height,
                                 const std::uint8_t* rule) {
  if (width == 0 || height == 0) return 0;
  const std::int32_t rowBytes = width / 8;
  const std::int32_t groups = width / 32;
  // Skipping dead stretches writes dead cells without a lookup, which is only
  // what the table says when an all-dead neighbourhood stays dead.
  const bool mayskip = rule[0] == 0;
  std::int32_t changes = 0;

  for (std::int32_t r = 0; r < height; ++r) {
    const std::int32_t rowBelow = r == 0 ? height - 1 : r - 1;
    const std::int32_t rowAbove = r == height - 1 ? 0 : r + 1;
    RowStream below, self, above;
    below.Prime(source + rowBelow * rowBytes, groups);
    self.Prime(source + r * rowBytes, groups);
    above.Prime(source + rowAbove * rowBytes, groups);
    std::uint8_t* out = destination + r * rowBytes;

    auto writeCell = [&](std::int32_t j, bool live) {
      const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (j & 7));
      std::uint8_t& byte = out[j >> 3];
      if (((byte & mask) != 0) != live) ++changes;
      byte = live ? static_cast<std::uint8_t>(byte | mask)
                  : static_cast<std::uint8_t>(byte & ~mask);
    };

    for (std::int32_t j = 0; j < width; ++j) {
      const std::int32_t inGroup = j & 31;
      if (inGroup == 31) {
        const bool wrap = j == width - 1;
        const std::int32_t next = (j + 1) / 32;
        below.pending = wrap ? below.firstGroup : LoadGroup(below.row, next);
        self.pending = wrap ? self.firstGroup : LoadGroup(self.row, next);
        above.pending = wrap ? above.firstGroup : LoadGroup(above.row, next);
      } else if (mayskip && inGroup < 30 &&
                 ((below.window | self.window | above.window) & 3) == 0 &&
                 ((below.pending | self.pending | above.pending) >> 24) == 0) {
        const std::int32_t skip = 30 - inGroup < 8 ? 30 - inGroup : 8;
        for (std::int32_t k = 0; k < skip; ++k, ++j) {
          below.Shift();
          self.Shift();
          above.Shift();
          writeCell(j, false);
        }
      }
      below.Shift();
      self.Shift();
      above.Shift();
      const unsigned index = (below.window & 7) | ((self.window & 7) << 3) |
                             ((above.window & 7) << 6);
      writeCell(j, rule[index] != 0);
    }
  }
  return changes;
}
