#pragma once
#include <X11/Xlib.h>

#include <cstdint>

// Allocates a read-only colour cell of the colormap for a colour in COLORREF
// layout (0x00BBGGRR). True with pixel set to it; false, pixel untouched,
// when the colormap has no room. A cell allocated so is the caller's to
// free with XFreeColors, or goes when the connection closes.
bool AllocatePixel(Display* display, Colormap colormap, std::uint32_t colorRef,
                   unsigned long& pixel);
