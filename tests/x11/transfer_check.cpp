// Checks the module's image transfers against the server pixel by pixel,
// each with MIT-SHM and without: a known 1-bit bitmap (bottom row first,
// leftmost pixel in bit 7) through BitmapTransfer, and a known 8-bit shade
// image (bottom row first, rows padded to 4 bytes) through ShadeTransfer in
// the default visual, both sent into a pixmap at an offset and read back
// with XGetImage. Prints one line per transfer and way and exits non-zero
// on any wrong pixel.
//
//   x11_transfer_check       (on $DISPLAY)
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <vector>

#include "engine/trail_shades.h"
#include "x11/bitmap_transfer.h"
#include "x11/shade_transfer.h"

namespace {

constexpr int kWidth = 96, kShadeWidth = 94, kHeight = 10, kX = 8, kY = 3;
// Shade indices go up to kShades + 2: those from kShadeCount on take the
// last pixel.
constexpr int kShades = 20, kShadeCount = 17;

std::vector<std::uint8_t> Speckle(std::size_t size, std::uint32_t state) {
  std::vector<std::uint8_t> bytes(size);
  for (std::uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 23);
  }
  return bytes;
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_transfer_check: cannot open display %s\n", XDisplayName(nullptr));
    return 1;
  }
  const int screen = DefaultScreen(display);
  const auto depth = static_cast<unsigned>(DefaultDepth(display, screen));
  const std::vector<std::uint8_t> bits = Speckle(kWidth / 8 * kHeight, 7);
  std::vector<std::uint8_t> shadeImage = Speckle(static_cast<std::size_t>(ShadeDisplayStride(kShadeWidth)) * kHeight, 11);
  for (std::uint8_t& shade : shadeImage) shade = static_cast<std::uint8_t>(shade % (kShades + 3));
  // Pixels that differ in every byte, within the depth.
  const unsigned long mask = depth >= 32 ? ~0ul : (1ul << depth) - 1;
  unsigned long pixels[kShadeCount];
  for (int s = 0; s < kShadeCount; ++s) {
    pixels[s] = (static_cast<unsigned long>(s) * 0x0B0705ul + 0x102030ul) & mask;
  }

  const Pixmap target = XCreatePixmap(display, RootWindow(display, screen), kWidth + 2 * kX,
                                      kHeight + 2 * kY, depth);
  XGCValues values{};
  values.foreground = WhitePixel(display, screen);
  values.background = BlackPixel(display, screen);
  GC gc = XCreateGC(display, target, GCForeground | GCBackground, &values);

  // Sends one image and counts the pixels read back that differ from want.
  auto wrongPixels = [&](int width, const std::function<unsigned long(int, int)>& want) {
    XSync(display, False);
    XImage* image = XGetImage(display, target, kX, kY, static_cast<unsigned>(width), kHeight,
                              AllPlanes, ZPixmap);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < width; ++x) wrong += XGetPixel(image, x, y) != want(x, y) ? 1 : 0;
    }
    XDestroyImage(image);
    return wrong;
  };
  int failures = 0;
  auto report = [&](const char* what, bool asked, bool used, int wrong, int width) {
    std::printf("%s, %s: %d of %d pixels wrong\n", what, used ? "MIT-SHM" : "XPutImage", wrong,
                width * kHeight);
    if (asked != used) std::printf("asked for shm=%d, got the other way\n", asked);
    failures += wrong + (asked != used ? 1 : 0);
  };
  for (const bool shm : {true, false}) {
    BitmapTransfer transfer;
    if (!transfer.Create(display, kWidth, kHeight, shm)) return 1;
    transfer.Put(target, gc, bits.data(), kX, kY);
    const int wrong = wrongPixels(kWidth, [&](int x, int y) {
      const std::uint8_t byte = bits[static_cast<std::size_t>((kHeight - 1 - y) * (kWidth / 8) + x / 8)];
      return (byte >> (7 - x % 8) & 1) != 0 ? values.foreground : values.background;
    });
    report("1-bit", shm, transfer.UsesShm(), wrong, kWidth);
  }
  for (const bool shm : {true, false}) {
    ShadeTransfer transfer;
    if (!transfer.Create(display, DefaultVisual(display, screen), depth, kShadeWidth, kHeight, shm)) {
      return 1;
    }
    transfer.SetPixels(pixels, kShadeCount);
    transfer.Put(target, gc, shadeImage.data(), kX, kY);
    const int wrong = wrongPixels(kShadeWidth, [&](int x, int y) {
      const std::uint8_t shade = shadeImage[static_cast<std::size_t>((kHeight - 1 - y) * ShadeDisplayStride(kShadeWidth) + x)];
      return pixels[shade < kShadeCount ? shade : kShadeCount - 1];
    });
    char what[40];
    std::snprintf(what, sizeof what, "shades, depth %u", depth);
    report(what, shm, transfer.UsesShm(), wrong, kShadeWidth);
  }
  XFreeGC(display, gc);
  XFreePixmap(display, target);
  XCloseDisplay(display);
  return failures == 0 ? 0 : 1;
}
