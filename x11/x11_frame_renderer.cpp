#include "x11/x11_frame_renderer.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

#include "engine/frame_layout.h"
#include "engine/tick_clock.h"

X11FrameRenderer::X11FrameRenderer(const LifeWorld& lifeWorld, const LifeSettings& settingsInUse,
                                   Options rendererOptions)
    : world(lifeWorld), settings(settingsInUse), options(rendererOptions) {}

bool X11FrameRenderer::Prepare(Display* connection, Window target, unsigned long black,
                               unsigned long live) {
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
  // The direct layout sends a world buffer, the others the display buffer.
  const bool direct = ChooseFrameLayout(settings) == FrameLayout::kDirect;
  return transfer.Create(display, direct ? world.worldCols : world.displayWidth,
                         direct ? world.worldRows : world.displayHeight, options.useShm);
}

void X11FrameRenderer::Release() {
  transfer.Release();
  if (font != nullptr) XFreeFont(display, font);
  font = nullptr;
  if (gc != nullptr) XFreeGC(display, gc);
  gc = nullptr;
  if (textGc != nullptr) XFreeGC(display, textGc);
  textGc = nullptr;
  if (display != nullptr) XSync(display, False);
}

void X11FrameRenderer::BeginDrawing() {
  if (gc == nullptr) return;
  // Black where no frame will draw: the margins of a small world, the
  // rate's box until its first figure.
  XGCValues values{};
  XGetGCValues(display, gc, GCForeground | GCBackground, &values);
  XSetForeground(display, gc, values.background);
  if (NeedsBackgroundFill(settings)) {
    XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(world.displayWidth),
                   static_cast<unsigned>(world.displayHeight));
  }
  if (textGc != nullptr) {
    XSetForeground(display, textGc, values.background);
    XFillRectangle(display, window, textGc, box.x, box.y, box.width, box.height);
    XSetForeground(display, textGc, values.foreground);
  }
  XSetForeground(display, gc, values.foreground);
  rateSince = TickCount();
  rateGenerations = world.generationCount;
}

void X11FrameRenderer::RenderFrame() {
  if (gc == nullptr) return;
  const FrameTransfer frame = RenderIntoDisplay(world, settings);
  if (frame.source == TransferSource::kNone) return;
  transfer.Put(window, gc, frame.bits, frame.left, frame.top);
  if (textGc != nullptr) DrawRate();
  if (options.delayMicroseconds > 0) Pause();
}

void X11FrameRenderer::EndDrawing() {
  if (display != nullptr) XSync(display, False);
}

void X11FrameRenderer::DrawRate() {
  // Updated once a second from the generations counted since the last update.
  const std::uint32_t now = TickCount();
  const std::uint32_t elapsed = now - rateSince;
  if (elapsed < 1000) return;
  const double rate =
      static_cast<double>(world.generationCount - rateGenerations) * 1000.0 / elapsed;
  char text[kRateColumns + 1];
  const int length = std::clamp(std::snprintf(text, sizeof text, "%.1f generations/s", rate), 0,
                                kRateColumns);
  rateSince = now;
  rateGenerations = world.generationCount;

  XGCValues values{};
  XGetGCValues(display, textGc, GCForeground | GCBackground, &values);
  XSetForeground(display, textGc, values.background);
  XFillRectangle(display, window, textGc, box.x, box.y, box.width, box.height);
  XSetForeground(display, textGc, values.foreground);
  XDrawString(display, window, textGc, 6, 4 + (font != nullptr ? font->ascent : 10), text, length);
  XFlush(display);
}

void X11FrameRenderer::Pause() {
  // In slices, so that a stop request is answered within a tenth of a second
  // whatever the delay.
  std::uint32_t left = options.delayMicroseconds;
  while (left > 0 && world.stopFlag.load() == 0) {
    const std::uint32_t slice = std::min<std::uint32_t>(left, 100'000);
    const timespec pause{0, static_cast<long>(slice) * 1000};
    nanosleep(&pause, nullptr);
    left -= slice;
  }
}
