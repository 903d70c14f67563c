#include "program/world_bitmaps.h"

#include <new>

#include "framework/exceptions.h"
#include "framework/fault_injection.h"

std::uint8_t* WorldBitmaps::Allocate(WorldBuffer buffer, std::int32_t width,
                                     std::int32_t height) {
  const bool display = buffer == WorldBuffer::kDisplay;
  std::unique_ptr<TDib>& bitmap = bitmaps[Slot(buffer)];
  try {
    if (FaultInjected(FaultPoint::kBitmapObject)) throw std::bad_alloc();
    if (buffer == WorldBuffer::kShades) {
      shades.assign(WorldBufferBytes(buffer, width, height), 0);
      return shades.data();
    }
    if (buffer == WorldBuffer::kShadeDisplay) {
      TrailPixelTable(settings.PixelColor, settings.TrailLength, shadePixels);
      bitmap = std::make_unique<TDib>(width, height);
      return bitmap->Bits();
    }
    bitmap = std::make_unique<TDib>(
        width, height, display ? TDib::ColorUse::PaletteIndices : TDib::ColorUse::Rgb);
  } catch (const std::bad_alloc&) {
    throw TXOutOfMemory();
  }
  if (display) {
    bitmap->SetIndex(0, 0);
    bitmap->SetIndex(1, 1);
  } else {
    bitmap->SetColor(0, RGB(0, 0, 0));
    bitmap->SetColor(1, static_cast<COLORREF>(settings.PixelColor));
  }
  return bitmap->Bits();
}

void WorldBitmaps::Release() {
  for (std::unique_ptr<TDib>& bitmap : bitmaps) bitmap.reset();
  shades.clear();
  shades.shrink_to_fit();
}
