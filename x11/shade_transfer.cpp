#include "x11/shade_transfer.h"

#include <X11/Xutil.h>

#include <cstring>

#include "engine/trail_shades.h"

namespace {

// One row of indices as pixels of N bytes each.
template <int N>
void MapRow(std::uint8_t* target, const std::uint8_t* shades, int width,
            const std::uint32_t* storedOf) {
  for (int x = 0; x < width; ++x) {
    std::memcpy(target + static_cast<std::size_t>(x) * N, &storedOf[shades[x]], N);
  }
}

}  // namespace

bool ShadeTransfer::Create(Display* display, Visual* visual, unsigned depth, int width,
                           int height, bool useShm) {
  if (!image.Create(display, visual, depth, ZPixmap, width, height, useShm)) return false;
  const int bits = image.Image()->bits_per_pixel;
  bytesPerPixel = bits % 8 == 0 && bits >= 8 && bits <= 32 ? bits / 8 : 0;
  const unsigned long black = 0;
  SetPixels(&black, 1);
  return true;
}

void ShadeTransfer::SetPixels(const unsigned long* pixels, int count) {
  const XImage* target = image.Image();
  if (target == nullptr || count < 1) return;
  for (int s = 0; s < 256; ++s) {
    const unsigned long pixel = pixels[s < count ? s : count - 1];
    pixelOf[s] = pixel;
    std::uint8_t bytes[4] = {};
    for (int k = 0; k < bytesPerPixel; ++k) {
      const int shift = 8 * (target->byte_order == LSBFirst ? k : bytesPerPixel - 1 - k);
      bytes[k] = static_cast<std::uint8_t>(pixel >> shift);
    }
    std::memcpy(&storedOf[s], bytes, sizeof bytes);
  }
}

void ShadeTransfer::Put(Drawable drawable, GC gc, const std::uint8_t* bottomUpShades, int x,
                        int y) {
  XImage* target = image.Image();
  if (target == nullptr || bottomUpShades == nullptr) return;
  const int rows = target->height;
  const int width = target->width;
  const auto stride = static_cast<std::size_t>(ShadeDisplayStride(width));
  for (int row = 0; row < rows; ++row) {
    const std::uint8_t* source = bottomUpShades + static_cast<std::size_t>(rows - 1 - row) * stride;
    auto* line = reinterpret_cast<std::uint8_t*>(target->data) +
                 static_cast<std::size_t>(row) * static_cast<std::size_t>(target->bytes_per_line);
    switch (bytesPerPixel) {
      case 4: MapRow<4>(line, source, width, storedOf); break;
      case 3: MapRow<3>(line, source, width, storedOf); break;
      case 2: MapRow<2>(line, source, width, storedOf); break;
      case 1: MapRow<1>(line, source, width, storedOf); break;
      default:
        for (int column = 0; column < width; ++column) {
          XPutPixel(target, column, row, pixelOf[source[column]]);
        }
    }
  }
  image.Send(drawable, gc, x, y);
}
