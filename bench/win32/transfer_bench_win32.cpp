// Transfers one screen-sized 1-bit palette-index bitmap to a full-screen
// pop-up as fast as it can, the way the saver draws a zoomed frame (a
// worker thread, the window's DC with a two-entry palette, one
// SetDIBitsToDevice per frame, the process at idle priority), and prints the
// rate. Nothing is computed between transfers: the rate is the ceiling the
// saver's LastRate can approach.
//
//   transfer_bench.exe [seconds]     (default 10)
//   prints: "<rate> transfers/sec (<width>x<height>, <frames> frames in <ms> ms)"
#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/dib.h"

namespace {

struct Bench {
  HWND window = nullptr;
  const TDib* bitmap = nullptr;
  DWORD durationMs = 10000;
  std::atomic<long> frames{0};
  DWORD elapsedMs = 0;
};

struct TwoEntryPalette {
  WORD version;
  WORD entryCount;
  PALETTEENTRY entries[2];
};

unsigned __stdcall TransferThread(void* argument) {
  Bench& bench = *static_cast<Bench*>(argument);
  HDC dc = GetDC(bench.window);
  const TwoEntryPalette entries{0x300, 2, {{0, 0, 0, 0}, {48, 255, 255, 0}}};
  HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&entries));
  HPALETTE previous = SelectPalette(dc, palette, FALSE);
  RealizePalette(dc);

  const TDib& dib = *bench.bitmap;
  const DWORD start = GetTickCount();
  DWORD now = start;
  long count = 0;
  while (now - start < bench.durationMs) {
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(dib.Width()), static_cast<DWORD>(dib.Height()),
                      0, 0, 0, static_cast<UINT>(dib.Height()), dib.Bits(), dib.Info(),
                      dib.Usage());
    ++count;
    now = GetTickCount();
  }
  bench.elapsedMs = now - start;
  bench.frames.store(count);

  SelectPalette(dc, previous, FALSE);
  ReleaseDC(bench.window, dc);
  DeleteObject(palette);
  PostMessageA(bench.window, WM_CLOSE, 0, 0);
  return 0;
}

LRESULT CALLBACK BenchWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  Bench bench;
  if (argc > 1) {
    const long seconds = std::strtol(argv[1], nullptr, 10);
    if (seconds > 0 && seconds < 3600) bench.durationMs = static_cast<DWORD>(seconds) * 1000;
  }
  SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const int width = (screenWidth + 31) & ~31;
  const int height = (screenHeight + 1) & ~1;
  TDib dib(width, height, TDib::ColorUse::PaletteIndices);
  dib.SetIndex(0, 0);
  dib.SetIndex(1, 1);
  // A fixed speckle, about one pixel in four lit, so the transfer carries
  // real content rather than a blank page.
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < dib.ImageSize(); ++i) {
    state = state * 1103515245u + 12345u;
    const std::uint8_t a = static_cast<std::uint8_t>(state >> 24);
    state = state * 1103515245u + 12345u;
    dib.Bits()[i] = static_cast<std::uint8_t>(a & (state >> 24));
  }
  bench.bitmap = &dib;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &BenchWindowProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = "Cellarium.TransferBench";
  RegisterClassA(&windowClass);
  bench.window = CreateWindowExA(0, windowClass.lpszClassName, "Transfer bench", WS_POPUP, 0, 0,
                                 screenWidth, screenHeight, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
  if (bench.window == nullptr) {
    std::fprintf(stderr, "cannot create the window\n");
    return 1;
  }
  ShowWindow(bench.window, SW_SHOW);
  UpdateWindow(bench.window);

  const std::uintptr_t thread = _beginthreadex(nullptr, 0, &TransferThread, &bench, 0, nullptr);
  if (thread == 0) {
    std::fprintf(stderr, "cannot start the transfer thread\n");
    return 1;
  }
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(thread));

  const long frames = bench.frames.load();
  const double seconds = bench.elapsedMs / 1000.0;
  std::printf("%.2f transfers/sec (%dx%d, %ld frames in %lu ms)\n",
              seconds > 0 ? frames / seconds : 0.0, width, height, frames,
              static_cast<unsigned long>(bench.elapsedMs));
  return 0;
}
