#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "x11/server_image.h"

// Sends a 1-bit image to a drawable: set bits in the GC's foreground, clear
// ones in its background, through a ServerImage (MIT-SHM where it can).
//
// The source is a bitmap in the world buffers' layout: rows of width / 8
// bytes, bottom row first, the leftmost pixel of a byte in bit 7. The
// image holds it top row first in the server's own bit order, so that
// neither Xlib nor the server converts anything per frame. Put copies each
// row once, reversing the bits through a table when the server's bitmaps
// are LSB first; nothing is allocated after Create.
class BitmapTransfer {
 public:
  // An image of width x height pixels (width a positive multiple of 32) on
  // the display's connection. Falls back to plain transfers when useShm is
  // false or shared memory cannot be had. False when there is no memory.
  bool Create(Display* display, int width, int height, bool useShm);
  void Release() { image.Release(); }

  // Copies the bitmap into the image and sends it with its top-left corner
  // at (x, y), as ServerImage::Send does.
  void Put(Drawable drawable, GC gc, const std::uint8_t* bottomUpBits, int x, int y);

  bool UsesShm() const { return image.UsesShm(); }
  bool Ready() const { return image.Image() != nullptr; }

 private:
  ServerImage image;
  bool reverseBits = false;         // the server wants bit 0 leftmost
  std::uint8_t reversed[256] = {};  // each byte with its bits reversed
};
