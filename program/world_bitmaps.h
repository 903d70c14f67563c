#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/life_settings.h"
#include "engine/world_setup.h"
#include "framework/dib.h"

// A world's buffers as device-independent bitmaps, so that every frame is
// drawn from them as it lies: the two world bitmaps with the colour table
// black and the live-cell colour, the display bitmap with palette indices 0
// and 1, and with trails the 8-bit shade image with the shades of the
// live-cell colour as its table (the cells' shades themselves are plain
// memory, never drawn). Any allocation failure, of a bitmap object or of
// its pixels, is the framework's TXOutOfMemory. The colours are the
// settings' PixelColor and TrailLength when the bitmaps are allocated.
class WorldBitmaps final : public WorldBufferAllocator {
 public:
  explicit WorldBitmaps(const LifeSettings& settingsInUse) : settings(settingsInUse) {}

  std::uint8_t* Allocate(WorldBuffer buffer, std::int32_t width, std::int32_t height) override;

  // The bitmap of that buffer, or null when it was never allocated (and
  // for the shades, which are not a bitmap).
  const TDib* Bitmap(WorldBuffer buffer) const { return bitmaps[Slot(buffer)].get(); }

  void Release();

 private:
  static int Slot(WorldBuffer buffer) { return static_cast<int>(buffer); }

  const LifeSettings& settings;
  std::unique_ptr<TDib> bitmaps[kWorldBufferCount];
  std::vector<std::uint8_t> shades;
};
