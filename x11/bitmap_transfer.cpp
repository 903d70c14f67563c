#include "x11/bitmap_transfer.h"

#include <cstring>

bool BitmapTransfer::Create(Display* display, int width, int height, bool useShm) {
  // The per-byte model below holds when bytes are the unit or the byte and
  // bit orders agree; otherwise Xlib converts a plain MSB-first image.
  const bool bytewise = BitmapUnit(display) == 8 || BitmapBitOrder(display) == ImageByteOrder(display);
  reverseBits = bytewise && BitmapBitOrder(display) == LSBFirst;
  for (int b = 0; b < 256; ++b) {
    int r = 0;
    for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
    reversed[b] = static_cast<std::uint8_t>(r);
  }
  if (!image.Create(display, DefaultVisual(display, DefaultScreen(display)), 1, XYBitmap, width,
                    height, useShm && bytewise)) {
    return false;
  }
  if (!bytewise) {
    // Neither order matches bytewise: describe the copy as it is and let
    // Xlib convert.
    XImage* plain = image.Image();
    plain->bitmap_bit_order = MSBFirst;
    plain->byte_order = MSBFirst;
    plain->bitmap_unit = 8;
  }
  return true;
}

void BitmapTransfer::Put(Drawable drawable, GC gc, const std::uint8_t* bottomUpBits, int x,
                         int y) {
  XImage* target = image.Image();
  if (target == nullptr || bottomUpBits == nullptr) return;
  const int rows = target->height;
  const int stride = target->width / 8;
  for (int row = 0; row < rows; ++row) {
    const std::uint8_t* source = bottomUpBits + static_cast<std::size_t>((rows - 1 - row) * stride);
    auto* line = reinterpret_cast<std::uint8_t*>(target->data) +
                 static_cast<std::size_t>(row * target->bytes_per_line);
    if (reverseBits) {
      for (int k = 0; k < stride; ++k) line[k] = reversed[source[k]];
    } else {
      std::memcpy(line, source, static_cast<std::size_t>(stride));
    }
  }
  image.Send(drawable, gc, x, y);
}
