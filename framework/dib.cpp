#include "framework/dib.h"

#include <new>

#include "framework/exceptions.h"

namespace {

void* DefaultAllocate(std::size_t bytes) { return ::operator new(bytes, std::nothrow); }
void DefaultRelease(void* memory) { ::operator delete(memory); }

TDib::Allocator allocatePixels = &DefaultAllocate;
TDib::Deallocator releasePixels = &DefaultRelease;

}  // namespace

void TDib::SetAllocator(Allocator allocate, Deallocator release) {
  const bool reset = allocate == nullptr || release == nullptr;
  allocatePixels = reset ? &DefaultAllocate : allocate;
  releasePixels = reset ? &DefaultRelease : release;
}

TDib::TDib(std::int32_t width, std::int32_t height, ColorUse colorUse) : use(colorUse) {
  if (width <= 0 || height <= 0 || width % 32 != 0) throw TXOutOfMemory();
  Allocate(width, height, 1, static_cast<std::int64_t>(width) / 8 * height, 2);
}

TDib::TDib(std::int32_t width, std::int32_t height) : use(ColorUse::Rgb) {
  if (width <= 0 || height <= 0) throw TXOutOfMemory();
  Allocate(width, height, 32, std::int64_t{4} * width * height, 0);
}

void TDib::Allocate(std::int32_t width, std::int32_t height, WORD bitCount, std::int64_t bytes,
                    DWORD colours) {
  if (bytes > INT32_MAX) throw TXOutOfMemory();

  BITMAPINFOHEADER& info = header.info;
  info.biSize = sizeof(BITMAPINFOHEADER);
  info.biWidth = width;
  info.biHeight = height;  // positive: bottom-up
  info.biPlanes = 1;
  info.biBitCount = bitCount;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(bytes);
  info.biXPelsPerMeter = 0;
  info.biYPelsPerMeter = 0;
  info.biClrUsed = colours;
  info.biClrImportant = 0;

  // The release function is the one that goes with the allocator used, even
  // if a test swaps the pair while this bitmap lives.
  release = releasePixels;
  bits = static_cast<std::uint8_t*>(allocatePixels(static_cast<std::size_t>(bytes)));
  if (bits == nullptr) throw TXOutOfMemory();
}

TDib::~TDib() {
  if (bits != nullptr) release(bits);
}

void TDib::SetColor(int index, COLORREF color) {
  if (use != ColorUse::Rgb || index < 0 || index > 1 || header.info.biBitCount != 1) return;
  RGBQUAD& entry = header.colors.rgb[index];
  entry.rgbRed = GetRValue(color);
  entry.rgbGreen = GetGValue(color);
  entry.rgbBlue = GetBValue(color);
  entry.rgbReserved = 0;
}

COLORREF TDib::GetColor(int index) const {
  if (use != ColorUse::Rgb || index < 0 || index > 1) return 0;
  const RGBQUAD& entry = header.colors.rgb[index];
  return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
}

void TDib::SetIndex(int index, std::uint16_t paletteIndex) {
  if (use != ColorUse::PaletteIndices || index < 0 || index > 1) return;
  header.colors.index[index] = paletteIndex;
}
