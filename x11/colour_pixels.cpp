#include "x11/colour_pixels.h"

bool AllocatePixel(Display* display, Colormap colormap, std::uint32_t colorRef,
                   unsigned long& pixel) {
  XColor color{};
  color.red = static_cast<unsigned short>((colorRef & 0xFFu) * 0x101u);
  color.green = static_cast<unsigned short>((colorRef >> 8 & 0xFFu) * 0x101u);
  color.blue = static_cast<unsigned short>((colorRef >> 16 & 0xFFu) * 0x101u);
  color.flags = DoRed | DoGreen | DoBlue;
  if (XAllocColor(display, colormap, &color) == 0) return false;
  pixel = color.pixel;
  return true;
}
