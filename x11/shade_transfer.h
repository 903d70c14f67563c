#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "x11/server_image.h"

// Sends an 8-bit shade image to a drawable in the pixels of a visual of
// its: each shade index becomes the pixel SetPixels gave it, through a
// ZPixmap ServerImage of the visual's depth (MIT-SHM where it can).
//
// The source is the shade display buffer's layout (engine/trail_shades.h):
// one index per pixel, rows of ShadeDisplayStride(width) bytes, bottom row
// first. The image holds it top row first in the server's own pixel
// layout, so that neither Xlib nor the server converts anything per frame.
// Each pixel is one lookup in a 256-entry table of the pixels' bytes as
// they lie in the image and one store of 1 to 4 bytes (a 32-bit store at 32
// bits per pixel); only a layout of pixels that are not whole bytes goes
// through XPutPixel. Nothing is allocated after Create.
class ShadeTransfer {
 public:
  // An image of width x height pixels (width positive) for drawables of the
  // visual and depth. Falls back to plain transfers when useShm is false or
  // shared memory cannot be had. False when there is no memory. Every
  // index is drawn in pixel 0 until SetPixels.
  bool Create(Display* display, Visual* visual, unsigned depth, int width, int height,
              bool useShm);
  void Release() { image.Release(); }

  // Index s is drawn in pixels[s] for s < count and in pixels[count - 1]
  // above that; count from 1 to 256. Call it after Create.
  void SetPixels(const unsigned long* pixels, int count);

  // Maps the shade image into the image and sends it with its top-left
  // corner at (x, y), as ServerImage::Send does.
  void Put(Drawable drawable, GC gc, const std::uint8_t* bottomUpShades, int x, int y);

  bool UsesShm() const { return image.UsesShm(); }
  bool Ready() const { return image.Image() != nullptr; }

 private:
  ServerImage image;
  int bytesPerPixel = 0;  // 1 to 4 for whole-byte pixels; 0: XPutPixel
  // Per index: the pixel, and the same as it lies in the image's memory (in
  // the image's byte order), in the first bytesPerPixel bytes of the word.
  unsigned long pixelOf[256] = {};
  std::uint32_t storedOf[256] = {};
};
