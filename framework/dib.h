#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// A 1-bit device-independent bitmap with a two-entry colour table, or a
// 32-bit one without a table.
//
// Layout: a 40-byte BITMAPINFOHEADER (width, positive height = bottom-up,
// 1 plane, 1 bit per pixel, BI_RGB, image size height * width / 8, no
// resolution, 2 colours used, 0 important) followed by the colour table, and
// a separate block of pixel memory, height rows of width / 8 bytes. The width
// must be a multiple of 32, so rows need no padding and the memory is exactly
// the engine's world layout (column 8k in bit 7 of byte k, row 0 at the
// bottom). The pixel memory is allocated here and not cleared.
//
// The colour table is either two RGBQUADs (DIB_RGB_COLORS, the world
// bitmaps) or two 16-bit palette indices (DIB_PAL_COLORS, the display
// bitmap, drawn through a palette realized in the target DC).
//
// The 32-bit form (the shades of trails) has no table: each pixel is
// 0x00RRGGBB, rows of 4 * width bytes, any positive width.
class TDib {
 public:
  enum class ColorUse : UINT { Rgb = DIB_RGB_COLORS, PaletteIndices = DIB_PAL_COLORS };

  // Throws TXOutOfMemory when the pixel memory cannot be allocated, and for
  // a geometry that no allocation could hold (non-positive sides, a width
  // that is not a multiple of 32, more than 2^31 - 1 bytes).
  TDib(std::int32_t width, std::int32_t height, ColorUse use);
  // The 32-bit form. Throws as the 1-bit constructor does.
  TDib(std::int32_t width, std::int32_t height);
  ~TDib();

  TDib(const TDib&) = delete;
  TDib& operator=(const TDib&) = delete;

  std::int32_t Width() const { return header.info.biWidth; }
  std::int32_t Height() const { return header.info.biHeight; }
  std::size_t ImageSize() const { return header.info.biSizeImage; }
  std::uint8_t* Bits() const { return bits; }
  UINT Usage() const { return static_cast<UINT>(use); }

  // The header and colour table as the GDI functions take them.
  const BITMAPINFO* Info() const { return reinterpret_cast<const BITMAPINFO*>(&header); }

  // Colour table entries 0 and 1 of a 1-bit bitmap.
  void SetColor(int index, COLORREF color);     // RGB table only
  COLORREF GetColor(int index) const;           // RGB table only
  void SetIndex(int index, std::uint16_t paletteIndex);  // index table only

  // The pixel allocator, replaceable so that tests can make allocation fail.
  // Null restores the default (operator new without exceptions).
  using Allocator = void* (*)(std::size_t bytes);
  using Deallocator = void (*)(void* memory);
  static void SetAllocator(Allocator allocate, Deallocator release);

 private:
  struct Header {
    BITMAPINFOHEADER info;
    union {
      RGBQUAD rgb[2];
      std::uint16_t index[2];
    } colors;
  };

  // The header of a bottom-up BI_RGB image of bitCount bits per pixel and
  // its memory; throws TXOutOfMemory as the constructors say.
  void Allocate(std::int32_t width, std::int32_t height, WORD bitCount, std::int64_t bytes,
                DWORD colours);

  Header header{};
  ColorUse use;
  std::uint8_t* bits = nullptr;
  Deallocator release = nullptr;
};
