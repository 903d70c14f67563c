#pragma once
#include <X11/Xlib.h>

#include <cstdint>

#include "engine/frame_renderer.h"
#include "engine/life_settings.h"
#include "engine/life_world.h"
#include "x11/bitmap_transfer.h"

// Draws the simulation thread's generations into an X window: the frame the
// core composes (engine/frame_layout.h) goes out through one BitmapTransfer
// of the layout's bitmap size, live cells in the chosen colour on black.
// It has its own connection to the server, used only by the simulation
// thread between BeginDrawing and EndDrawing and by the main thread outside
// that time. Nothing is allocated per frame.
class X11FrameRenderer final : public FrameRenderer {
 public:
  struct Options {
    std::uint32_t delayMicroseconds = 0;  // pause after each frame
    bool showRate = false;                // the generation rate in a corner
    bool useShm = true;
  };

  X11FrameRenderer(const LifeWorld& world, const LifeSettings& settings, Options options);
  ~X11FrameRenderer() { Release(); }
  X11FrameRenderer(const X11FrameRenderer&) = delete;
  X11FrameRenderer& operator=(const X11FrameRenderer&) = delete;

  // Before the thread starts, once the world is set up: the window, its
  // pixels for black and the live colour, and the image for the layout.
  // False when the image's memory cannot be had.
  bool Prepare(Display* connection, Window target, unsigned long black, unsigned long live);
  // After the thread has stopped.
  void Release();

  bool UsesShm() const { return transfer.UsesShm(); }

  void BeginDrawing() override;
  void RenderFrame() override;
  void EndDrawing() override;

 private:
  void DrawRate();
  void Pause();

  const LifeWorld& world;
  const LifeSettings& settings;
  const Options options;
  Display* display = nullptr;
  Window window = 0;
  GC gc = nullptr;      // the frames: clipped around the rate's box with -fps
  GC textGc = nullptr;  // the rate, with -fps
  XFontStruct* font = nullptr;
  XRectangle box{};
  BitmapTransfer transfer;

  // The rate shown with -fps, redrawn once a second from the generations
  // counted since the last update.
  static constexpr int kRateColumns = 24;
  std::uint32_t rateSince = 0;
  std::int64_t rateGenerations = 0;
};
