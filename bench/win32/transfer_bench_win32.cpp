// Transfers one screen-sized 1-bit palette-index bitmap to a full-screen
// pop-up as fast as it can, the way the saver draws a zoomed frame (a
// worker thread, the window's DC with a two-entry palette, one
// SetDIBitsToDevice per frame, the process at idle priority), and prints the
// rate. Nothing is computed between transfers: the rate is the ceiling the
// saver's LastRate can approach.
//
// With "frames" it runs the saver's own generation loop instead (default
// settings, the world and bitmaps sized for this screen as the saver sizes
// them, RunGeneration with a renderer that composes and transfers as the
// saver's does) and times every frame by phase: the step, composing the
// display bitmap, the transfer, and everything else of the generation. The
// step is timed on a shadow copy of the same generation just before the
// loop's own step, so the loop itself is the shipped code, untouched (the
// rate printed then counts the shadow steps too; the phase table does not).
//
//   transfer_bench.exe [seconds] [frames]     (default 10 seconds)
//   prints: "<rate> transfers/sec (<width>x<height>, <frames> frames in <ms> ms)"
//   with frames also one line per phase: "<phase> <microseconds per frame> <share>"
#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/frame_layout.h"
#include "engine/frame_renderer.h"
#include "engine/life_settings.h"
#include "engine/life_world.h"
#include "engine/simulation_loop.h"
#include "engine/soup.h"
#include "engine/step/step_generation.h"
#include "engine/tick_clock.h"
#include "engine/timing_sampler.h"
#include "engine/world_geometry.h"
#include "framework/dib.h"

namespace {

struct Bench {
  HWND window = nullptr;
  const TDib* bitmap = nullptr;
  DWORD durationMs = 10000;
  std::atomic<long> frames{0};
  DWORD elapsedMs = 0;
  bool generations = false;  // the saver's loop, timed by phase
  // Performance-counter ticks summed over the frames, per phase.
  long long stepTicks = 0, composeTicks = 0, transferTicks = 0, totalTicks = 0;
};

struct TwoEntryPalette {
  WORD version;
  WORD entryCount;
  PALETTEENTRY entries[2];
};

long long Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

// The saver's world at this screen size with the default settings.
struct SaverWorld {
  LifeSettings settings;
  LifeWorld world;
  std::unique_ptr<TDib> bitmapA, bitmapB, display;
  std::vector<std::uint8_t> shadow;  // the timed step's destination

  SaverWorld(int screenWidth, int screenHeight) {
    settings.NormalizeSettings();
    const WorldGeometry geometry = ComputeWorldGeometry(screenWidth, screenHeight, settings);
    bitmapA = std::make_unique<TDib>(geometry.worldCols, geometry.worldRows, TDib::ColorUse::Rgb);
    bitmapB = std::make_unique<TDib>(geometry.worldCols, geometry.worldRows, TDib::ColorUse::Rgb);
    for (TDib* bitmap : {bitmapA.get(), bitmapB.get()}) {
      bitmap->SetColor(0, RGB(0, 0, 0));
      bitmap->SetColor(1, settings.PixelColor);
    }
    if (NeedsDisplayBuffer(settings)) {
      display = std::make_unique<TDib>(geometry.displayWidth, geometry.displayHeight,
                                       TDib::ColorUse::PaletteIndices);
      display->SetIndex(0, 0);
      display->SetIndex(1, 1);
    }
    world.generator.Seed(settings.Seed1, settings.Seed2);
    SetUpWorld(world, geometry, settings, bitmapA->Bits(), bitmapB->Bits(),
               display ? display->Bits() : nullptr);
    FillSoup(world.currentBits, world.worldCols, world.worldRows, settings.InitSize,
             world.generator);
    std::memset(world.nextBits, 0, bitmapB->ImageSize());
    shadow.assign(bitmapB->ImageSize(), 0);
  }
};

// Composes and transfers each frame the way the saver's renderer does,
// timing the two.
class TimedRenderer final : public FrameRenderer {
 public:
  TimedRenderer(SaverWorld& saverWorld, HDC targetDc, Bench& benchTotals)
      : saver(saverWorld), dc(targetDc), bench(benchTotals) {}
  void BeginDrawing() override {}
  void EndDrawing() override {}
  void RenderFrame() override {
    const long long start = Now();
    const FrameTransfer transfer = RenderIntoDisplay(saver.world, saver.settings);
    const long long composed = Now();
    const TDib* bitmap = transfer.source == TransferSource::kWorldA   ? saver.bitmapA.get()
                         : transfer.source == TransferSource::kWorldB ? saver.bitmapB.get()
                         : transfer.source == TransferSource::kDisplay ? saver.display.get()
                                                                       : nullptr;
    if (bitmap != nullptr)
      SetDIBitsToDevice(dc, transfer.left, transfer.top,
                        static_cast<DWORD>(transfer.right - transfer.left),
                        static_cast<DWORD>(transfer.bottom - transfer.top), 0, 0, 0,
                        static_cast<UINT>(bitmap->Height()), transfer.bits, bitmap->Info(),
                        bitmap->Usage());
    const long long transferred = Now();
    bench.composeTicks += composed - start;
    bench.transferTicks += transferred - composed;
  }

 private:
  SaverWorld& saver;
  HDC dc;
  Bench& bench;
};

long RunGenerations(Bench& bench, HDC dc) {
  SaverWorld saver(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  TimedRenderer renderer(saver, dc, bench);
  TimingSampler sampler(TickCount());
  LifeWorld& world = saver.world;
  const DWORD start = GetTickCount();
  DWORD now = start;
  long count = 0;
  while (now - start < bench.durationMs) {
    const long long begin = Now();
    StepGeneration(world.currentBits, saver.shadow.data(), world.worldCols, world.worldRows,
                   saver.settings.RuleTable);
    const long long stepped = Now();
    RunGeneration(world, saver.settings, renderer, sampler);
    const long long end = Now();
    bench.stepTicks += stepped - begin;
    bench.totalTicks += end - stepped;  // the generation, its own step included
    ++count;
    now = GetTickCount();
  }
  return count;
}

unsigned __stdcall TransferThread(void* argument) {
  Bench& bench = *static_cast<Bench*>(argument);
  HDC dc = GetDC(bench.window);
  const TwoEntryPalette entries{0x300, 2, {{0, 0, 0, 0}, {48, 255, 255, 0}}};
  HPALETTE palette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&entries));
  HPALETTE previous = SelectPalette(dc, palette, FALSE);
  RealizePalette(dc);

  const TDib& dib = *bench.bitmap;
  const DWORD start = GetTickCount();
  long count = 0;
  if (bench.generations) {
    count = RunGenerations(bench, dc);
  } else {
    DWORD now = start;
    while (now - start < bench.durationMs) {
      SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(dib.Width()),
                        static_cast<DWORD>(dib.Height()), 0, 0, 0,
                        static_cast<UINT>(dib.Height()), dib.Bits(), dib.Info(), dib.Usage());
      ++count;
      now = GetTickCount();
    }
  }
  bench.elapsedMs = GetTickCount() - start;
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
    if (seconds <= 0 || seconds >= 3600) {
      std::fprintf(stderr, "usage: transfer_bench.exe [seconds 1..3599] [frames]\n");
      return 2;
    }
    bench.durationMs = static_cast<DWORD>(seconds) * 1000;
  }
  if (argc > 2) {
    if (std::strcmp(argv[2], "frames") != 0) {
      std::fprintf(stderr, "usage: transfer_bench.exe [seconds 1..3599] [frames]\n");
      return 2;
    }
    bench.generations = true;
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
  if (bench.generations && frames > 0) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // A frame is one RunGeneration; its step is taken to cost what the
    // shadow step just before it did.
    const auto perFrame = [frames](long long ticks) {
      return static_cast<double>(ticks) / static_cast<double>(frames);
    };
    const double total = perFrame(bench.totalTicks);
    const double phases[] = {
        perFrame(bench.stepTicks), perFrame(bench.composeTicks), perFrame(bench.transferTicks),
        perFrame(bench.totalTicks - bench.stepTicks - bench.composeTicks - bench.transferTicks)};
    const char* names[] = {"step", "compose", "transfer", "everything else"};
    std::printf("%-16s %12s %7s\n", "phase", "us/frame", "share");
    for (int i = 0; i < 4; ++i)
      std::printf("%-16s %12.1f %6.1f%%\n", names[i],
                  phases[i] * 1e6 / static_cast<double>(frequency.QuadPart),
                  100.0 * phases[i] / total);
    std::printf("%-16s %12.1f\n", "frame",
                total * 1e6 / static_cast<double>(frequency.QuadPart));
  }
  return 0;
}
