#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <vector>

// Sends a 1-bit image to a drawable: set bits in the GC's foreground, clear
// ones in its background. The module's only caller of XPutImage and
// XShmPutImage. The image lives in a shared-memory segment when the server
// has MIT-SHM and can attach it (a local server), else in client memory
// sent with each request.
//
// The source is a bitmap in the world buffers' layout: rows of width / 8
// bytes, bottom row first, the leftmost pixel of a byte in bit 7. The
// image holds it top row first in the server's own bit order, so that
// neither Xlib nor the server converts anything per frame. Put copies each
// row once, reversing the bits through a table when the server's bitmaps
// are LSB first; nothing is allocated after Create.
class BitmapTransfer {
 public:
  BitmapTransfer() = default;
  ~BitmapTransfer() { Release(); }
  BitmapTransfer(const BitmapTransfer&) = delete;
  BitmapTransfer& operator=(const BitmapTransfer&) = delete;

  // An image of width x height pixels (width a positive multiple of 32) on
  // the display's connection. Falls back to plain transfers when useShm is
  // false or shared memory cannot be had. False when there is no memory.
  bool Create(Display* display, int width, int height, bool useShm);
  void Release();

  // Copies the bitmap into the image and sends it with its top-left corner
  // at (x, y). A shared-memory transfer is waited for (the next copy would
  // overwrite what the server still reads); a plain one is flushed.
  void Put(Drawable drawable, GC gc, const std::uint8_t* bottomUpBits, int x, int y);

  bool UsesShm() const { return shmAttached; }
  bool Ready() const { return image != nullptr; }

 private:
  bool CreateShared(int width, int height);
  bool CreatePlain(int width, int height);

  Display* display = nullptr;
  XImage* image = nullptr;
  XShmSegmentInfo segment{};
  bool shmAttached = false;
  std::vector<char> plainData;      // the plain image's pixels
  bool reverseBits = false;         // the server wants bit 0 leftmost
  std::uint8_t reversed[256] = {};  // each byte with its bits reversed
};
