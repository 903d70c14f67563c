#pragma once
#include <windows.h>

#include "engine/frame_renderer.h"
#include "saver/monitor_geometry.h"

class TDib;
class WorldBitmaps;

// Draws the generations of the simulation thread straight into the saver
// window through GDI: the client-area DC held from BeginDrawing to
// EndDrawing, a two-entry logical palette (black, PixelColor) selected into
// it for the display bitmap's palette indices, and one SetDIBitsToDevice per
// frame. This is the program's only caller of SetDIBitsToDevice. The three
// drawing calls run on the simulation thread; nothing here allocates per
// frame. The live-cell colour is the settings' PixelColor, the colour the
// world bitmaps are made with.
class GdiFrameRenderer final : public FrameRenderer {
 public:
  GdiFrameRenderer() = default;
  ~GdiFrameRenderer();

  GdiFrameRenderer(const GdiFrameRenderer&) = delete;
  GdiFrameRenderer& operator=(const GdiFrameRenderer&) = delete;

  // The window, the bitmaps whose pixel memories the world points into, and
  // the screen area the world is laid out for (its top-left corner is where
  // the drawing starts). Must precede BeginDrawing and may not overlap a
  // drawing.
  void Bind(HWND target, const WorldBitmaps& bitmaps, ScreenRect area);

  void BeginDrawing(const DrawingStart& start) override;
  void RenderFrame(const FrameTransfer& frame) override;
  void EndDrawing() override;

 private:
  HWND window = nullptr;
  const TDib* worldBitmapA = nullptr;
  const TDib* worldBitmapB = nullptr;
  const TDib* displayBitmap = nullptr;
  const TDib* shadeBitmap = nullptr;
  ScreenRect worldArea{0, 0, 0, 0};

  // Held by the simulation thread between BeginDrawing and EndDrawing.
  HDC dc = nullptr;
  HPALETTE palette = nullptr;
  HPALETTE previousPalette = nullptr;
};
