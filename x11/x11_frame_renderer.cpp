#include "x11/x11_frame_renderer.h"

#include <algorithm>
#include <cstdio>

#include "x11/colour_pixels.h"

bool X11FrameRenderer::Prepare(Display* connection, Window target, unsigned long black,
                               unsigned long live, const FrameFormat& format) {
  Release();
  display = connection;
  window = target;
  XGCValues values{};
  values.foreground = live;
  values.background = black;
  values.graphics_exposures = False;
  gc = XCreateGC(display, window, GCForeground | GCBackground | GCGraphicsExposures, &values);
  if (options.showRate) {
    // The rate sits in a box of its own in the top-left corner that the
    // frames are clipped around, so it stays readable at any rate.
    textGc = XCreateGC(display, window, GCForeground | GCBackground | GCGraphicsExposures, &values);
    font = XLoadQueryFont(display, "fixed");
    if (font != nullptr) XSetFont(display, textGc, font->fid);
    const int charWidth = font != nullptr ? font->max_bounds.width : 8;
    const int lineHeight = font != nullptr ? font->ascent + font->descent : 13;
    box = {0, 0, static_cast<unsigned short>(12 + charWidth * kRateColumns),
           static_cast<unsigned short>(8 + lineHeight)};
    const unsigned short far = 0x7FFF;
    XRectangle around[2] = {{static_cast<short>(box.width), 0, far, box.height},
                            {0, static_cast<short>(box.height), far, far}};
    XSetClipRectangles(display, gc, 0, 0, around, 2, YXBanded);
  }
  shaded = format.trailLength > 0;
  if (shaded) return PrepareShades(black, live, format);
  return transfer.Create(display, format.width, format.height, options.useShm);
}

bool X11FrameRenderer::PrepareShades(unsigned long black, unsigned long live,
                                     const FrameFormat& format) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  colormap = attributes.colormap != None ? attributes.colormap
                                         : DefaultColormapOfScreen(attributes.screen);
  std::uint32_t colours[kMaxTrailLength + 1];
  const std::int32_t count = TrailPalette(format.pixelColor, format.trailLength, colours);
  // The ends are the 1-bit frames' own black and live pixels; a shade
  // between them without a colour cell falls back to the one below.
  unsigned long pixels[kMaxTrailLength + 1];
  pixels[0] = black;
  for (std::int32_t s = 1; s + 1 < count; ++s) {
    pixels[s] = pixels[s - 1];
    if (AllocatePixel(display, colormap, colours[s], pixels[s])) {
      allocated[allocatedCount++] = pixels[s];
    }
  }
  pixels[count - 1] = live;
  if (!shades.Create(display, attributes.visual, static_cast<unsigned>(attributes.depth),
                     format.width, format.height, options.useShm)) {
    return false;
  }
  shades.SetPixels(pixels, count);
  return true;
}

void X11FrameRenderer::Release() {
  transfer.Release();
  shades.Release();
  if (allocatedCount > 0) XFreeColors(display, colormap, allocated, allocatedCount, 0);
  allocatedCount = 0;
  if (font != nullptr) XFreeFont(display, font);
  font = nullptr;
  if (gc != nullptr) XFreeGC(display, gc);
  gc = nullptr;
  if (textGc != nullptr) XFreeGC(display, textGc);
  textGc = nullptr;
  if (display != nullptr) XSync(display, False);
}

void X11FrameRenderer::BeginDrawing(const DrawingStart& start) {
  if (gc == nullptr) return;
  // Black where no frame will draw: the margins of a small world, the
  // rate's box until its first figure.
  XGCValues values{};
  XGetGCValues(display, gc, GCForeground | GCBackground, &values);
  XSetForeground(display, gc, values.background);
  if (start.fillBackground) {
    XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(start.width),
                   static_cast<unsigned>(start.height));
  }
  if (textGc != nullptr) {
    XSetForeground(display, textGc, values.background);
    XFillRectangle(display, window, textGc, box.x, box.y, box.width, box.height);
    XSetForeground(display, textGc, values.foreground);
  }
  XSetForeground(display, gc, values.foreground);
  shownRate = 0;
}

void X11FrameRenderer::RenderFrame(const FrameTransfer& frame) {
  if (gc == nullptr) return;
  if (frame.source == TransferSource::kNone) return;
  if (frame.source == TransferSource::kShadeDisplay) {
    if (shaded) shades.Put(window, gc, frame.bits, frame.left, frame.top);
  } else if (!shaded) {
    transfer.Put(window, gc, frame.bits, frame.left, frame.top);
  }
  if (textGc != nullptr && frame.recentRate != shownRate) DrawRate(frame.recentRate);
}

void X11FrameRenderer::EndDrawing() {
  if (display != nullptr) XSync(display, False);
}

void X11FrameRenderer::DrawRate(double rate) {
  shownRate = rate;
  char text[kRateColumns + 1];
  const int length = std::clamp(std::snprintf(text, sizeof text, "%.1f generations/s", rate), 0,
                                kRateColumns);

  XGCValues values{};
  XGetGCValues(display, textGc, GCForeground | GCBackground, &values);
  XSetForeground(display, textGc, values.background);
  XFillRectangle(display, window, textGc, box.x, box.y, box.width, box.height);
  XSetForeground(display, textGc, values.foreground);
  XDrawString(display, window, textGc, 6, 4 + (font != nullptr ? font->ascent : 10), text, length);
  XFlush(display);
}
