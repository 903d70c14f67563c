#include "program/gdi_frame_renderer.h"

#include <atomic>

#include "framework/dib.h"
#include "framework/fault_injection.h"
#include "program/world_bitmaps.h"

namespace {

// A LOGPALETTE with room for the two entries (the platform's declares one).
struct TwoEntryPalette {
  WORD version;
  WORD entryCount;
  PALETTEENTRY entries[2];
};

PALETTEENTRY EntryOf(COLORREF color) {
  return {GetRValue(color), GetGValue(color), GetBValue(color), 0};
}

// A DC taken while the message thread is still inside ShowWindow can keep an
// empty visible region for good under Wine, and every transfer then draws
// nothing. So the drawing waits until the window is shown and its thread is
// back in the message loop (it answers a WM_NULL), but for about two seconds
// at most: a window that is never reported visible still animates, counts
// generations and gathers entropy. A stop request ends the wait too: the
// message thread then spins in the handshake and pumps nothing.
constexpr DWORD kShowWaitMs = 2000;

void WaitUntilShown(HWND window, const std::atomic<std::int32_t>* stopFlag) {
  const DWORD start = GetTickCount();
  while ((stopFlag == nullptr || stopFlag->load() == 0) && IsWindow(window) && GetTickCount() - start < kShowWaitMs) {
    DWORD_PTR answer = 0;
    if (IsWindowVisible(window) &&
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 50, &answer) != 0) {
      return;
    }
    Sleep(1);
  }
}

}  // namespace

GdiFrameRenderer::~GdiFrameRenderer() {
  // EndDrawing has normally run on the simulation thread; a palette left over
  // from a drawing that never ended is still ours to delete.
  if (palette != nullptr && dc == nullptr) DeleteObject(palette);
}

void GdiFrameRenderer::Bind(HWND target, const WorldBitmaps& bitmaps, ScreenRect area) {
  window = target;
  worldArea = area;
  worldBitmapA = bitmaps.Bitmap(WorldBuffer::kWorldA);
  worldBitmapB = bitmaps.Bitmap(WorldBuffer::kWorldB);
  displayBitmap = bitmaps.Bitmap(WorldBuffer::kDisplay);
  shadeBitmap = bitmaps.Bitmap(WorldBuffer::kShadeDisplay);
}

void GdiFrameRenderer::BeginDrawing(const DrawingStart& start) {
  WaitUntilShown(window, start.stopFlag);
  dc = FaultInjected(FaultPoint::kDeviceContext) ? nullptr : GetDC(window);
  if (dc == nullptr) return;
  SetROP2(dc, R2_WHITE);
  // The window covers every monitor and the world is laid out for its area
  // (the primary monitor, or all of them): logical (0, 0) goes to that
  // area's corner. Whatever lies outside it keeps the class brush's black.
  RECT placed{};
  if (GetWindowRect(window, &placed)) {
    const ClientOffset origin =
        AreaOriginIn(worldArea, {placed.left, placed.top, placed.right, placed.bottom});
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
  }

  // The display bitmap's indices 0 and 1 draw black and the live-cell colour,
  // the colours the world bitmaps are made with.
  const TwoEntryPalette entries{
      0x300, 2, {EntryOf(RGB(0, 0, 0)), EntryOf(static_cast<COLORREF>(start.liveColor))}};
  palette = FaultInjected(FaultPoint::kPalette)
                ? nullptr
                : CreatePalette(reinterpret_cast<const LOGPALETTE*>(&entries));
  if (palette != nullptr) {
    previousPalette = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
  }

  if (start.fillBackground) {
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 0));
    if (brush != nullptr) {
      const RECT area{0, 0, start.width, start.height};
      FillRect(dc, &area, brush);
      DeleteObject(brush);
    }
  }
}

void GdiFrameRenderer::RenderFrame(const FrameTransfer& transfer) {
  if (dc == nullptr) return;
  const TDib* bitmap = nullptr;
  switch (transfer.source) {
    case TransferSource::kWorldA: bitmap = worldBitmapA; break;
    case TransferSource::kWorldB: bitmap = worldBitmapB; break;
    case TransferSource::kDisplay: bitmap = displayBitmap; break;
    case TransferSource::kShadeDisplay: bitmap = shadeBitmap; break;
    case TransferSource::kNone: break;
  }
  if (bitmap == nullptr) return;
  SetDIBitsToDevice(dc, transfer.left, transfer.top,
                    static_cast<DWORD>(transfer.right - transfer.left),
                    static_cast<DWORD>(transfer.bottom - transfer.top), 0, 0, 0,
                    static_cast<UINT>(bitmap->Height()), transfer.bits, bitmap->Info(),
                    bitmap->Usage());
}

void GdiFrameRenderer::EndDrawing() {
  if (dc != nullptr) {
    if (previousPalette != nullptr) SelectPalette(dc, previousPalette, FALSE);
    ReleaseDC(window, dc);
    dc = nullptr;
  }
  previousPalette = nullptr;
  if (palette != nullptr) {
    DeleteObject(palette);
    palette = nullptr;
  }
}
