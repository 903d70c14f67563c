// Sends one screen-sized 1-bit image to the root window as fast as it can,
// through the module's own BitmapTransfer (MIT-SHM when the server has it),
// and prints the rate; with -shades, a screen-sized 8-bit shade image of 17
// shades through ShadeTransfer instead, as the module sends trails. Nothing
// is computed between transfers: the rate is the ceiling the module's
// generation rate can approach on that display.
//
//   x11_transfer_bench [seconds] [-no-shm] [-shades]     (default 10 s)
//   prints: "<rate> transfers/s (<width>x<height>, <frames> frames in <ms> ms, MIT-SHM|XPutImage[, shades])"
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/trail_shades.h"
#include "x11/bitmap_transfer.h"
#include "x11/shade_transfer.h"

int main(int argc, char** argv) {
  long seconds = 10;
  bool useShm = true;
  bool shaded = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-no-shm") == 0) {
      useShm = false;
    } else if (std::strcmp(argv[i], "-shades") == 0) {
      shaded = true;
    } else {
      char* end = nullptr;
      seconds = std::strtol(argv[i], &end, 10);
      if (*end != '\0' || seconds < 1 || seconds > 3600) {
        std::fprintf(stderr, "x11_transfer_bench: %s is not a duration in seconds (1 to 3600)\n", argv[i]);
        return 1;
      }
    }
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_transfer_bench: cannot open display %s\n", XDisplayName(nullptr));
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  // The display buffer of the default settings: the screen rounded up to
  // 64 x 4 pixels.
  const int width = (DisplayWidth(display, screen) + 63) & ~63;
  const int height = (DisplayHeight(display, screen) + 3) & ~3;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(width / 8 * height));
  // A fixed speckle, about one pixel in four lit, so the transfer carries
  // real content rather than a blank page.
  std::uint32_t state = 12345;
  for (std::uint8_t& byte : bits) {
    state = state * 1103515245u + 12345u;
    const auto a = static_cast<std::uint8_t>(state >> 24);
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(a & (state >> 24));
  }

  XGCValues values{};
  values.foreground = WhitePixel(display, screen);
  values.background = BlackPixel(display, screen);
  GC gc = XCreateGC(display, root, GCForeground | GCBackground, &values);
  // The shade image: the speckle's bytes over again, each modulo 17 a shade.
  std::vector<std::uint8_t> shadeImage(ShadeDisplayBytes(width, height));
  for (std::size_t i = 0; i < shadeImage.size(); ++i) {
    shadeImage[i] = static_cast<std::uint8_t>(bits[i % bits.size()] % 17);
  }
  unsigned long pixels[17];
  for (int s = 0; s < 17; ++s) pixels[s] = s == 16 ? values.foreground : values.background;
  BitmapTransfer transfer;
  ShadeTransfer shades;
  const bool created =
      shaded ? shades.Create(display, DefaultVisual(display, screen),
                             static_cast<unsigned>(DefaultDepth(display, screen)), width, height, useShm)
             : transfer.Create(display, width, height, useShm);
  if (!created) {
    std::fprintf(stderr, "x11_transfer_bench: no memory for a %dx%d image\n", width, height);
    return 1;
  }
  shades.SetPixels(pixels, 17);
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  long frames = 0;
  auto now = start;
  while (now < end) {
    if (shaded) {
      shades.Put(root, gc, shadeImage.data(), 0, 0);
    } else {
      transfer.Put(root, gc, bits.data(), 0, 0);
    }
    ++frames;
    now = Clock::now();
  }
  XSync(display, False);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const bool usedShm = shaded ? shades.UsesShm() : transfer.UsesShm();
  std::printf("%.2f transfers/s (%dx%d, %ld frames in %.0f ms, %s%s)\n", static_cast<double>(frames) * 1000.0 / ms,
              width, height, frames, ms, usedShm ? "MIT-SHM" : "XPutImage", shaded ? ", shades" : "");
  transfer.Release();
  shades.Release();
  XFreeGC(display, gc);
  XCloseDisplay(display);
  return 0;
}
