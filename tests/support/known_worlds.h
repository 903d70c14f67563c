#pragma once
// Screen sizes and stored settings with the world they must give, worked out
// by hand from the rounding rules rather than by the code under test:
// display = screen rounded up to 32 x 2^ZoomFactor wide and 2 x 2^ZoomFactor
// high; world = display >> WorldSize rounded up to 32 columns and 2 rows;
// the soup band leaves margin(n) = (n >> 1) - (n >> (InitSize + 1)) rows and
// columns dead on each side (none for InitSize 0).
#include <cstdint>

#include "engine/soup.h"
#include "engine/world_geometry.h"

namespace support {

struct KnownWorld {
  int width, height;                 // the screen in pixels
  int zoom, worldSize, init, tiled;  // as stored
  WorldGeometry want;                // display width, height; world cols, rows
  bool displayBuffer;                // zoomed, or tiled (tiling is dropped when zoom == size)
  SoupBand band;                     // rows firstRow..endRow-1, byteCount bytes from firstByte
};

inline constexpr KnownWorld kKnownWorlds[] = {
    // The defaults (ZoomFactor 1, WorldSize 1, InitSize 2, untiled) on common screens.
    {640, 480, 1, 1, 2, 0, {640, 480, 320, 240}, true, {90, 150, 15, 10}},
    {800, 600, 1, 1, 2, 0, {832, 600, 416, 300}, true, {113, 187, 19, 13}},
    {1024, 768, 1, 1, 2, 0, {1024, 768, 512, 384}, true, {144, 240, 24, 16}},
    {1280, 720, 1, 1, 2, 0, {1280, 720, 640, 360}, true, {135, 225, 30, 20}},
    {1280, 1024, 1, 1, 2, 0, {1280, 1024, 640, 512}, true, {192, 320, 30, 20}},
    {1366, 768, 1, 1, 2, 0, {1408, 768, 704, 384}, true, {144, 240, 33, 22}},
    {1440, 900, 1, 1, 2, 0, {1472, 900, 736, 450}, true, {169, 281, 34, 23}},
    {1536, 864, 1, 1, 2, 0, {1536, 864, 768, 432}, true, {162, 270, 36, 24}},
    {1600, 900, 1, 1, 2, 0, {1600, 900, 800, 450}, true, {169, 281, 37, 25}},
    {1680, 1050, 1, 1, 2, 0, {1728, 1052, 864, 526}, true, {198, 328, 40, 27}},
    {1920, 1080, 1, 1, 2, 0, {1920, 1080, 960, 540}, true, {203, 337, 45, 30}},
    {1920, 1200, 1, 1, 2, 0, {1920, 1200, 960, 600}, true, {225, 375, 45, 30}},
    {2560, 1440, 1, 1, 2, 0, {2560, 1440, 1280, 720}, true, {270, 450, 60, 40}},
    {3840, 2160, 1, 1, 2, 0, {3840, 2160, 1920, 1080}, true, {405, 675, 90, 60}},
    // Other settings.
    {640, 480, 0, 0, 0, 1, {640, 480, 640, 480}, false, {0, 480, 0, 80}},
    {800, 600, 0, 2, 1, 0, {800, 600, 224, 150}, false, {38, 112, 7, 14}},
    {800, 600, 0, 2, 1, 1, {800, 600, 224, 150}, true, {38, 112, 7, 14}},
    {1366, 768, 2, 2, 1, 0, {1408, 768, 352, 192}, true, {48, 144, 11, 22}},
    {1, 1, 0, 0, 2, 0, {32, 2, 32, 2}, false, {1, 1, 1, 1}},  // two rows: no band row
};

// The row for a screen of this size with the default settings, or null.
inline const KnownWorld* KnownDefaultWorld(int width, int height) {
  for (const KnownWorld& known : kKnownWorlds) {
    if (known.width == width && known.height == height && known.zoom == 1 &&
        known.worldSize == 1 && known.init == 2 && known.tiled == 0)
      return &known;
  }
  return nullptr;
}

}  // namespace support
