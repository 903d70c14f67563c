#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "engine/frame_renderer.h"
#include "engine/trail_shades.h"
#include "x11/bitmap_transfer.h"
#include "x11/shade_transfer.h"

// Draws the simulation thread's generations into an X window: each frame the
// core composes goes out whole through one image of the layout's bitmap
// size: a 1-bit one (BitmapTransfer), live cells in the chosen colour on
// black, or with trails an image in the window's visual (ShadeTransfer),
// each shade in its palette colour. A frame of the other kind is not drawn.
// It has its own connection to the server, used only by the simulation
// thread between BeginDrawing and EndDrawing and by the main thread outside
// that time. Nothing is allocated per frame.
class X11FrameRenderer final : public FrameRenderer {
 public:
  struct Options {
    bool showRate = false;  // the generation rate in a corner
    bool useShm = true;
  };

  explicit X11FrameRenderer(Options rendererOptions) : options(rendererOptions) {}
  ~X11FrameRenderer() { Release(); }
  X11FrameRenderer(const X11FrameRenderer&) = delete;
  X11FrameRenderer& operator=(const X11FrameRenderer&) = delete;

  // What the frames are: the size of the bitmap the layout transfers, and
  // with trails their length (1..kMaxTrailLength: shade images, drawn in
  // TrailPalette(pixelColor, trailLength)); 0: 1-bit frames.
  struct FrameFormat {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t trailLength = 0;
    std::uint32_t pixelColor = 0;  // COLORREF layout 0x00BBGGRR
  };

  // Before the thread starts, once the world is set up: the window, its
  // pixels for black and the live colour, and the frames' format. Shades
  // between the two get colours of the window's colormap, allocated here; a
  // shade the colormap has no room for is drawn as the next darker one.
  // False when the window is gone or the image's memory cannot be had.
  bool Prepare(Display* connection, Window target, unsigned long black, unsigned long live,
               const FrameFormat& format);
  // After the thread has stopped; frees the shades' colours.
  void Release();

  bool UsesShm() const { return shaded ? shades.UsesShm() : transfer.UsesShm(); }

  void BeginDrawing(const DrawingStart& start) override;
  void RenderFrame(const FrameTransfer& frame) override;
  void EndDrawing() override;

 private:
  void DrawRate(double rate);
  bool PrepareShades(unsigned long black, unsigned long live, const FrameFormat& format);

  const Options options;
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;      // the frames: clipped around the rate's box with -fps
  GC textGc = nullptr;  // the rate, with -fps
  XFontStruct* font = nullptr;
  XRectangle box{};
  BitmapTransfer transfer;  // without trails
  ShadeTransfer shades;     // with trails
  bool shaded = false;
  // The colours this renderer allocated for the shades, to free in Release.
  Colormap colormap = None;
  unsigned long allocated[kMaxTrailLength + 1] = {};
  int allocatedCount = 0;

  // The rate shown with -fps, redrawn whenever the loop has measured anew.
  static constexpr int kRateColumns = 24;
  double shownRate = 0;
};
