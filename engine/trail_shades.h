#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/life_settings.h"
#include "engine/life_world.h"

// Trails: a cell that dies fades from the cell colour to black over
// trailLength generations, in even steps of brightness; a cell born again is
// at full colour at once. Rendering only: the world is never touched.
//
// Shade buffer: one byte per cell, rows of cols bytes, bottom-up as the world
// buffer (byte r * cols + c is the cell of row r, column c). A byte is the
// cell's shade: trailLength for a live cell, one less for every generation
// since it died, down to 0 (black). Cleared to 0 before the first update.
//
// Shade display buffer: an 8-bit image of displayWidth x displayHeight, one
// shade per pixel (a palette index: see TrailPalette), bottom-up, each row
// ShadeDisplayStride(displayWidth) bytes as a device-independent bitmap's.
// Cleared to 0 once when created: composing writes only the placed copies,
// so whatever they do not reach stays black.
//
// Shade pixel display buffer: the same image with each shade's 32-bit pixel
// (from a table of kShadePixelCount, see TrailPixelTable) in place of the
// shade, rows of 4 * displayWidth bytes, for a front end whose screen takes
// such pixels without converting them: drawing an 8-bit image costs its
// conversion to the screen's format on every frame.
//
// The functions that take trailLength expect 1..kMaxTrailLength and bring
// any other value into that range (0, trails off, gives the look of 1: live
// cells in the cell colour, every other cell black).
inline constexpr std::int32_t kMaxTrailLength = 64;

// Bytes of a shade buffer for a world of cols x rows cells.
std::size_t TrailShadeBytes(std::int32_t cols, std::int32_t rows);

// Bytes of one row of the shade display buffer: width rounded up to a
// multiple of 4.
std::int32_t ShadeDisplayStride(std::int32_t width);

// Bytes of the whole shade display buffer.
std::size_t ShadeDisplayBytes(std::int32_t width, std::int32_t height);

// Bytes of the whole shade pixel display buffer.
std::size_t ShadePixelDisplayBytes(std::int32_t width, std::int32_t height);

// Advances every cell's shade by one generation from that generation's bits
// (world buffer layout, cols a multiple of 32): a live cell becomes
// trailLength, a dead one loses 1 unless it is already 0. Call it once per
// generation, with the generation that is drawn next. Reads bits, writes
// the cols x rows shades and nothing else; no allocation.
void UpdateTrailShades(std::uint8_t* shades, const std::uint8_t* bits, std::int32_t cols,
                       std::int32_t rows, std::int32_t trailLength);

// Composes the shades of world.worldCols x world.worldRows cells into the
// shade display buffer of world.displayWidth x world.displayHeight pixels,
// placed as the 1-bit frame layouts place the world (engine/frame_layout.h),
// settings normalised as they require: the direct layout as one unmagnified
// copy at the centring offset, the zoomed one magnified 2^ZoomFactor at the
// centring offset, the tiled one as TilePlacements lists the copies. What
// falls right of the display's width or above its height is cut. Writes only
// pixels inside the display (never a row's padding), reads only the shades;
// world.nextBits and world.displayBits are not used. No allocation.
void ComposeTrailShades(std::uint8_t* display, const std::uint8_t* shades,
                        const LifeWorld& world, const LifeSettings& settings);

// The same composing into the shade pixel display buffer, each shade s drawn
// as pixels[s] (a table of kShadePixelCount entries, so that no byte can
// read outside it).
void ComposeTrailPixels(std::uint8_t* display, const std::uint8_t* shades,
                        const std::uint32_t* pixels, const LifeWorld& world,
                        const LifeSettings& settings);

// The palette of the shades: entry s, for s = 0..trailLength, is the cell
// colour (COLORREF layout 0x00BBGGRR; its top byte is ignored) with every
// channel c scaled to c * s / trailLength, rounded to the nearest integer
// (halves up). Entry 0 is black, entry trailLength the cell colour. Writes
// trailLength + 1 entries (the length brought into range: at most
// kMaxTrailLength + 1) and returns how many.
std::int32_t TrailPalette(std::uint32_t pixelColor, std::int32_t trailLength,
                          std::uint32_t* colours);

// The 32-bit pixels of the shades as a device-independent bitmap and a
// TrueColor screen take them (0x00RRGGBB): entry s is TrailPalette's entry
// s with red and blue in those places, and every entry past the trail
// length is the cell colour's. Writes kShadePixelCount entries.
inline constexpr std::int32_t kShadePixelCount = 256;
void TrailPixelTable(std::uint32_t pixelColor, std::int32_t trailLength, std::uint32_t* pixels);
