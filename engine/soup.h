#pragma once
#include <cstdint>

class RandomNumberGenerator;

// The initial random soup: a centred band of the world filled with random
// bytes, every other cell dead. initSize is an InitSize as
// loading leaves it, 0..2.

// Rows and columns left dead on each side of the band: 0 for InitSize 0,
// else (n >> 1) - (n >> (InitSize + 1)).
std::int32_t SoupMargin(std::int32_t n, std::int32_t initSize);

// The band in bytes of the world buffer (rows of worldCols / 8 bytes).
struct SoupBand {
  std::int32_t firstRow;    // rowMargin
  std::int32_t endRow;      // worldRows - rowMargin; no random row when <= firstRow
  std::int32_t firstByte;   // colMargin / 8, within a row
  std::int32_t byteCount;   // (worldCols - 2 * colMargin) / 8, per row
};
SoupBand ComputeSoupBand(std::int32_t worldCols, std::int32_t worldRows, std::int32_t initSize);

// Clears every row of the world in increasing order and, for each band row,
// right after clearing it, makes one FillBytes call over the band's bytes
// of that row, at byte (row * worldCols + colMargin) / 8 of the buffer.
// Does nothing when bits is null. worldCols is a positive multiple of 32
// and worldRows positive and even (ComputeWorldGeometry gives such sizes).
void FillSoup(std::uint8_t* bits, std::int32_t worldCols, std::int32_t worldRows,
              std::int32_t initSize, RandomNumberGenerator& generator);
