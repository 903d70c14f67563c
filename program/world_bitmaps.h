#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/life_settings.h"
#include "engine/trail_shades.h"
#include "engine/world_setup.h"
#include "framework/dib.h"

// A world's buffers as device-independent bitmaps, so that every frame is
// drawn from them as it lies: the two world bitmaps with the colour table
// black and the live-cell colour, the display bitmap with palette indices 0
// and 1, and with trails a 32-bit image of the shades' pixels, which GDI
// draws to a true-colour screen without converting it (the cells' shades
// themselves are plain memory, never drawn). Any allocation failure, of a bitmap object or of
// its pixels, is the framework's TXOutOfMemory. The colours are the
// settings' PixelColor and TrailLength when the bitmaps are allocated.
class WorldBitmaps final : public WorldBufferAllocator {
 public:
  explicit WorldBitmaps(const LifeSettings& settingsInUse) : settings(settingsInUse) {}

  std::uint8_t* Allocate(WorldBuffer buffer, std::int32_t width, std::int32_t height) override;
  const std::uint32_t* ShadePixels() const override { return shadePixels; }

  // The bitmap of that buffer, or null when it was never allocated (and
  // for the shades, which are not a bitmap).
  const TDib* Bitmap(WorldBuffer buffer) const { return bitmaps[Slot(buffer)].get(); }

  void Release();

 private:
  static int Slot(WorldBuffer buffer) { return static_cast<int>(buffer); }

  const LifeSettings& settings;
  std::unique_ptr<TDib> bitmaps[kWorldBufferCount];
  std::vector<std::uint8_t> shades;
  std::uint32_t shadePixels[kShadePixelCount] = {};
};
