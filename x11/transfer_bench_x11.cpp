// Sends one screen-sized 1-bit image to the root window as fast as it can,
// through the module's own BitmapTransfer (MIT-SHM when the server has it),
// and prints the rate. Nothing is computed between transfers: the rate is
// the ceiling the module's generation rate can approach on that display.
//
//   x11_transfer_bench [seconds] [-no-shm]     (default 10 s)
//   prints: "<rate> transfers/s (<width>x<height>, <frames> frames in <ms> ms, MIT-SHM|XPutImage)"
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "x11/bitmap_transfer.h"

int main(int argc, char** argv) {
  long seconds = 10;
  bool useShm = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-no-shm") == 0) {
      useShm = false;
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
  BitmapTransfer transfer;
  if (!transfer.Create(display, width, height, useShm)) {
    std::fprintf(stderr, "x11_transfer_bench: no memory for a %dx%d image\n", width, height);
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  long frames = 0;
  auto now = start;
  while (now < end) {
    transfer.Put(root, gc, bits.data(), 0, 0);
    ++frames;
    now = Clock::now();
  }
  XSync(display, False);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::printf("%.2f transfers/s (%dx%d, %ld frames in %.0f ms, %s)\n", static_cast<double>(frames) * 1000.0 / ms,
              width, height, frames, ms, transfer.UsesShm() ? "MIT-SHM" : "XPutImage");
  transfer.Release();
  XFreeGC(display, gc);
  XCloseDisplay(display);
  return 0;
}
