#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "engine/frame_renderer.h"
#include "x11/bitmap_transfer.h"

// Draws the simulation thread's generations into an X window: each frame the
// core composes goes out through one BitmapTransfer of the layout's bitmap
// size, live cells in the chosen colour on black.
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

  // Before the thread starts, once the world is set up: the window, its
  // pixels for black and the live colour, and the size of the bitmap the
  // layout transfers. False when the image's memory cannot be had.
  bool Prepare(Display* connection, Window target, unsigned long black, unsigned long live,
               std::int32_t imageWidth, std::int32_t imageHeight);
  // After the thread has stopped.
  void Release();

  bool UsesShm() const { return transfer.UsesShm(); }

  void BeginDrawing(const DrawingStart& start) override;
  void RenderFrame(const FrameTransfer& frame) override;
  void EndDrawing() override;

 private:
  void DrawRate(double rate);

  const Options options;
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;      // the frames: clipped around the rate's box with -fps
  GC textGc = nullptr;  // the rate, with -fps
  XFontStruct* font = nullptr;
  XRectangle box{};
  BitmapTransfer transfer;

  // The rate shown with -fps, redrawn whenever the loop has measured anew.
  static constexpr int kRateColumns = 24;
  double shownRate = 0;
};
