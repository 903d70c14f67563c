// Checks BitmapTransfer against the server pixel by pixel: a known 1-bit
// bitmap (bottom row first, leftmost pixel in bit 7) is sent into a pixmap
// at an offset, with MIT-SHM and without, and read back with XGetImage.
// Prints one line per way and exits non-zero on any wrong pixel.
//
//   x11_transfer_check       (on $DISPLAY)
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "x11/bitmap_transfer.h"

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_transfer_check: cannot open display %s\n", XDisplayName(nullptr));
    return 1;
  }
  const int screen = DefaultScreen(display);
  constexpr int kWidth = 96, kHeight = 10, kX = 8, kY = 3;
  std::vector<std::uint8_t> bits(kWidth / 8 * kHeight);
  std::uint32_t state = 7;
  for (std::uint8_t& byte : bits) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 23);
  }
  const Pixmap target = XCreatePixmap(display, RootWindow(display, screen), kWidth + 2 * kX,
                                      kHeight + 2 * kY,
                                      static_cast<unsigned>(DefaultDepth(display, screen)));
  XGCValues values{};
  values.foreground = WhitePixel(display, screen);
  values.background = BlackPixel(display, screen);
  GC gc = XCreateGC(display, target, GCForeground | GCBackground, &values);

  int failures = 0;
  for (const bool shm : {true, false}) {
    BitmapTransfer transfer;
    if (!transfer.Create(display, kWidth, kHeight, shm)) return 1;
    transfer.Put(target, gc, bits.data(), kX, kY);
    XSync(display, False);
    XImage* image = XGetImage(display, target, kX, kY, kWidth, kHeight, AllPlanes, ZPixmap);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const std::uint8_t byte = bits[static_cast<std::size_t>((kHeight - 1 - y) * (kWidth / 8) + x / 8)];
        const bool live = (byte >> (7 - x % 8) & 1) != 0;
        if (XGetPixel(image, x, y) != (live ? values.foreground : values.background)) ++wrong;
      }
    }
    XDestroyImage(image);
    std::printf("%s: %d of %d pixels wrong\n", transfer.UsesShm() ? "MIT-SHM" : "XPutImage", wrong,
                kWidth * kHeight);
    if (shm != transfer.UsesShm()) std::printf("asked for shm=%d, got the other way\n", shm);
    failures += wrong + (shm != transfer.UsesShm() ? 1 : 0);
  }
  XFreeGC(display, gc);
  XFreePixmap(display, target);
  XCloseDisplay(display);
  return failures == 0 ? 0 : 1;
}
