// Draws through the saver's own renderer (GdiFrameRenderer: a worker
// thread, the window's DC with the two-entry palette, one SetDIBitsToDevice
// per frame, the process at idle priority) into a full-screen pop-up as fast
// as it can, and prints the rate. The world is the saver's at this screen
// size with the default settings (half size, drawn 2x2). Without "frames"
// nothing is stepped: the same generation is composed and transferred again
// and again, and the rate is the ceiling the saver's LastRate can approach.
//
// With "frames" it runs the saver's own generation loop instead
// (RunGeneration with that renderer) and times every frame by phase: the
// step, composing the display bitmap, the transfer, and everything else of
// the generation. The step and the composing are timed on shadow runs of the
// same work just before the loop's own, so the loop itself is the shipped
// code, untouched; the transfer is the renderer's frame.
// (The rate printed then counts the shadow work too; the phase table does
// not.)
//
// With "trails N" the world has trails of N generations (TrailLength), so
// every frame composes and transfers the 32-bit image of the shades.
//
//   transfer_bench.exe [seconds] [frames] [trails N]     (default 10 seconds)
//   prints: "<rate> transfers/sec (<width>x<height>, <frames> frames in <ms> ms)"
//   with frames also one line per phase: "<phase> <microseconds per frame> <share>"
#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/frame_layout.h"
#include "engine/frame_renderer.h"
#include "engine/life_settings.h"
#include "engine/life_world.h"
#include "engine/simulation_loop.h"
#include "engine/step/step_generation.h"
#include "engine/tick_clock.h"
#include "engine/world_geometry.h"
#include "engine/world_setup.h"
#include "program/gdi_frame_renderer.h"
#include "program/world_bitmaps.h"

namespace {

struct Bench {
  HWND window = nullptr;
  DWORD durationMs = 10000;
  std::atomic<long> frames{0};
  DWORD elapsedMs = 0;
  std::int32_t width = 0, height = 0;  // of the drawing area
  bool generations = false;  // the saver's loop, timed by phase
  std::int32_t trailLength = 0;
  // Performance-counter ticks summed over the frames, per phase.
  long long stepTicks = 0, composeTicks = 0, drawTicks = 0, totalTicks = 0;
};

long long Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

// The saver's world at this screen size with the default settings, in the
// saver's bitmaps, drawn by the saver's renderer.
struct SaverWorld {
  LifeSettings settings;
  LifeWorld world;
  WorldBitmaps bitmaps{settings};
  GdiFrameRenderer renderer;
  std::vector<std::uint8_t> shadow;  // the timed step's destination

  SaverWorld(HWND window, int screenWidth, int screenHeight, std::int32_t trailLength) {
    settings.TrailLength = trailLength;
    settings.NormalizeSettings();
    world.generator.Seed(settings.Seed1, settings.Seed2);
    const WorldGeometry geometry =
        BuildWorld(world, screenWidth, screenHeight, settings, bitmaps);
    shadow.assign(static_cast<std::size_t>(WorldBytes(geometry)), 0);
    renderer.Bind(window, bitmaps, {0, 0, screenWidth, screenHeight});
  }
};

// The saver's renderer, its frames timed whole.
class TimedRenderer final : public FrameRenderer {
 public:
  TimedRenderer(GdiFrameRenderer& shipped, Bench& benchTotals)
      : renderer(shipped), bench(benchTotals) {}
  void BeginDrawing(const DrawingStart&) override {}
  void EndDrawing() override {}
  void RenderFrame(const FrameTransfer& frame) override {
    const long long start = Now();
    renderer.RenderFrame(frame);
    bench.drawTicks += Now() - start;
  }

 private:
  GdiFrameRenderer& renderer;
  Bench& bench;
};

long RunGenerations(Bench& bench, SaverWorld& saver) {
  TimedRenderer timed(saver.renderer, bench);
  LoopState state = StartLoopState(saver.settings);
  LifeWorld& world = saver.world;
  const DWORD start = GetTickCount();
  DWORD now = start;
  long count = 0;
  while (now - start < bench.durationMs) {
    const long long begin = Now();
    StepGeneration(world.currentBits, saver.shadow.data(), world.worldCols, world.worldRows,
                   state.rule);
    const long long stepped = Now();
    RenderIntoDisplay(world, saver.settings);
    const long long composed = Now();
    RunGeneration(world, saver.settings, state, timed);
    const long long end = Now();
    bench.stepTicks += stepped - begin;
    bench.composeTicks += composed - stepped;
    bench.totalTicks += end - composed;  // the generation, its own step and frame included
    ++count;
    now = GetTickCount();
  }
  return count;
}

unsigned __stdcall TransferThread(void* argument) {
  Bench& bench = *static_cast<Bench*>(argument);
  SaverWorld saver(bench.window, bench.width, bench.height, bench.trailLength);
  saver.renderer.BeginDrawing(DrawingStartFor(saver.world, saver.settings));
  const DWORD start = GetTickCount();
  long count = 0;
  if (bench.generations) {
    count = RunGenerations(bench, saver);
  } else {
    DWORD now = start;
    while (now - start < bench.durationMs) {
      saver.renderer.RenderFrame(RenderIntoDisplay(saver.world, saver.settings));
      ++count;
      now = GetTickCount();
    }
  }
  bench.elapsedMs = GetTickCount() - start;
  bench.frames.store(count);
  saver.renderer.EndDrawing();
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
      std::fputs("usage: transfer_bench.exe [seconds 1..3599] [frames] [trails 1..64]\n", stderr);
      return 2;
    }
    bench.durationMs = static_cast<DWORD>(seconds) * 1000;
  }
  const char* const usage = "usage: transfer_bench.exe [seconds 1..3599] [frames] [trails 1..64]\n";
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "frames") == 0) {
      bench.generations = true;
    } else if (std::strcmp(argv[i], "trails") == 0 && i + 1 < argc) {
      const long length = std::strtol(argv[++i], nullptr, 10);
      if (length < 1 || length > 64) {
        std::fputs(usage, stderr);
        return 2;
      }
      bench.trailLength = static_cast<std::int32_t>(length);
    } else {
      std::fputs(usage, stderr);
      return 2;
    }
  }
  SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  bench.width = screenWidth;
  bench.height = screenHeight;

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
              seconds > 0 ? frames / seconds : 0.0, screenWidth, screenHeight, frames,
              static_cast<unsigned long>(bench.elapsedMs));
  if (bench.generations && frames > 0) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    // A frame is one RunGeneration; its step and its composing are taken to
    // cost what the shadow runs just before it did.
    const auto perFrame = [frames](long long ticks) {
      return static_cast<double>(ticks) / static_cast<double>(frames);
    };
    const double total = perFrame(bench.totalTicks);
    const double phases[] = {
        perFrame(bench.stepTicks), perFrame(bench.composeTicks),
        perFrame(bench.drawTicks),
        perFrame(bench.totalTicks - bench.stepTicks - bench.composeTicks - bench.drawTicks)};
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
