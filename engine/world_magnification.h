#pragma once
#include <cstdint>

// Place a world image (cols x rows cells, world buffer layout) into a 1-bit
// destination of width x height pixels (rows of width / 8 bytes, bottom-up),
// magnified 1, 2 or 4 times, with its lower-left corner at pixel column x and
// memory row y. Preconditions: cols a multiple of 32, x a multiple of 8,
// width a multiple of 8. Whatever would fall right of the destination's width
// or above its height is cut; nothing outside the placed block is written and
// the source is only read. A negative x or y places nothing.
//
// The magnified kernels go through the expansion tables (expand_tables.h),
// one lookup per 8 cells and 32-bit groups of pixels: 16 cells stored in two
// rows at 2x, 8 cells stored in four rows at 4x.
void ExpandWorld1x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y);
void ExpandWorld2x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y);
void ExpandWorld4x(std::uint8_t* destination, const std::uint8_t* source, std::int32_t cols,
                   std::int32_t rows, std::int32_t width, std::int32_t height, std::int32_t x,
                   std::int32_t y);
