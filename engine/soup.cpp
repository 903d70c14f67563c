#include "engine/soup.h"

#include <cstddef>
#include <cstring>

#include "random/random_number_generator.h"

std::int32_t SoupMargin(std::int32_t n, std::int32_t initSize) {
  if (initSize == 0) return 0;
  return (n >> 1) - (n >> (initSize + 1));
}

SoupBand ComputeSoupBand(std::int32_t worldCols, std::int32_t worldRows, std::int32_t initSize) {
  const std::int32_t rowMargin = SoupMargin(worldRows, initSize);
  const std::int32_t colMargin = SoupMargin(worldCols, initSize);
  return {rowMargin, worldRows - rowMargin, colMargin / 8, (worldCols - 2 * colMargin) / 8};
}

void FillSoup(std::uint8_t* bits, std::int32_t worldCols, std::int32_t worldRows,
              std::int32_t initSize, RandomNumberGenerator& generator) {
  if (bits == nullptr || worldCols <= 0 || worldRows <= 0) return;
  const SoupBand band = ComputeSoupBand(worldCols, worldRows, initSize);
  const auto rowBytes = static_cast<std::size_t>(worldCols / 8);
  for (std::int32_t row = 0; row < worldRows; ++row) {
    std::uint8_t* line = bits + static_cast<std::size_t>(row) * rowBytes;
    std::memset(line, 0, rowBytes);
    if (row >= band.firstRow && row < band.endRow) {
      generator.FillBytes(line + band.firstByte, band.byteCount);
    }
  }
}
