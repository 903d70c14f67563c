#include "program/life_window.h"

#include <process.h>

#include <cstring>
#include <ctime>
#include <new>

#include "saver/run_mode.h"
#include "saver/scrnsav_app.h"
#include "engine/frame_layout.h"
#include "engine/life_settings.h"
#include "engine/simulation_loop.h"
#include "engine/soup.h"
#include "engine/tick_clock.h"
#include "engine/world_geometry.h"
#include "framework/exceptions.h"
#include "framework/fault_injection.h"
#include "store/diagnostic_files.h"
#include "store/settings_store.h"

namespace {

// A 1-bit bitmap for the world; any allocation failure on the way, of the
// object or of its pixels, is the framework's out-of-memory exception.
std::unique_ptr<TDib> MakeBitmap(std::int32_t width, std::int32_t height, TDib::ColorUse use) {
  try {
    if (FaultInjected(FaultPoint::kBitmapObject)) throw std::bad_alloc();
    return std::make_unique<TDib>(width, height, use);
  } catch (const std::bad_alloc&) {
    throw TXOutOfMemory();
  }
}

void YieldTimeSlice() { Sleep(0); }

}  // namespace

TLifeWindow::TLifeWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : TScrnSavWindow(parentWindow, windowTitle, instance), renderer(world, lifeSettings) {
  auto* application = dynamic_cast<TScrnSavApp*>(GetApplication());
  if (application != nullptr) application->SetIdleStepMode(-1);

  LoadSettings(lifeSettings);
  world.generator.Seed(lifeSettings.Seed1,
                       static_cast<std::int32_t>(TickCount() ^
                                                 static_cast<std::uint32_t>(lifeSettings.Seed2)));

  const WorldGeometry geometry = ComputeWorldGeometry(
      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), lifeSettings);
  worldBitmapA = MakeBitmap(geometry.worldCols, geometry.worldRows, TDib::ColorUse::Rgb);
  worldBitmapA->SetColor(0, RGB(0, 0, 0));
  worldBitmapA->SetColor(1, lifeSettings.PixelColor);
  worldBitmapB = MakeBitmap(geometry.worldCols, geometry.worldRows, TDib::ColorUse::Rgb);
  worldBitmapB->SetColor(0, RGB(0, 0, 0));
  worldBitmapB->SetColor(1, lifeSettings.PixelColor);
  if (NeedsDisplayBuffer(lifeSettings)) {
    displayBitmap = MakeBitmap(geometry.displayWidth, geometry.displayHeight,
                               TDib::ColorUse::PaletteIndices);
    displayBitmap->SetIndex(0, 0);
    displayBitmap->SetIndex(1, 1);
  }

  SetUpWorld(world, geometry, lifeSettings, worldBitmapA->Bits(), worldBitmapB->Bits(),
             displayBitmap ? displayBitmap->Bits() : nullptr);
  FillSoup(world.currentBits, world.worldCols, world.worldRows, lifeSettings.InitSize,
           world.generator);
  // The second buffer starts dead, so the first step's change count is
  // measured against an empty world rather than whatever memory held.
  std::memset(world.nextBits, 0, worldBitmapB->ImageSize());

  // Defined values for a window closed before its thread ever ran: nothing
  // to wait for, and a run too short to have a rate.
  world.stopFlag.store(1);
  world.startTime = std::time(nullptr);
  world.generationCount = 0;

  if (application != nullptr && WantsRandBitsLog(application->RunMode()) &&
      OpenRandBitsLog(randBitsLog))
    world.randBitsFile = randBitsLog.Stream();
}

TLifeWindow::~TLifeWindow() {
  // A window destroyed without WM_CLOSE (the application ending) still stops
  // its thread before anything is torn down.
  StopSimulation();
  FinishRun();

  world.currentBits = world.nextBits = world.displayBits = nullptr;
  world.worldBitsA = world.worldBitsB = nullptr;
  worldBitmapA.reset();
  worldBitmapB.reset();
  displayBitmap.reset();
}

void TLifeWindow::PrepareWindow() {
  TScrnSavWindow::PrepareWindow();
  renderer.Bind(Handle(), worldBitmapA.get(), worldBitmapB.get(), displayBitmap.get());
  PrepareSimulationStart(world, std::time(nullptr));
  const std::uintptr_t started =
      FaultInjected(FaultPoint::kThreadStart)
          ? 0
          : _beginthreadex(nullptr, 0, &TLifeWindow::SimulationThread, this, 0, nullptr);
  if (started == 0) {
    world.stopFlag.store(1);  // black screen; closing does not wait
    return;
  }
  thread = reinterpret_cast<HANDLE>(started);
}

unsigned __stdcall TLifeWindow::SimulationThread(void* argument) {
  auto* window = static_cast<TLifeWindow*>(argument);
  RunSimulation(window->world, lifeSettings, window->renderer);
  return 0;  // the window may be gone already: touch nothing of it here
}

void TLifeWindow::StopSimulation() {
  RequestStopAndWait(world, &YieldTimeSlice);
  if (thread != nullptr) {
    // The thread has left its loop; let it finish returning before its
    // stack's caller, this window, goes away.
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
  }
}

void TLifeWindow::FinishRun() {
  if (runFinished) return;
  runFinished = true;
  world.randBitsFile = nullptr;
  randBitsLog.Commit();
  world.generator.FillBytes(&lifeSettings.Seed1, 4);
  world.generator.FillBytes(&lifeSettings.Seed2, 4);
  SaveSeeds(lifeSettings);
  SaveRunRate(world.generationCount,
              static_cast<std::int64_t>(std::time(nullptr) - world.startTime));
  if (KeyWritesDump(LastKey())) DumpWorld(world, lifeSettings.PixelColor);
}

void TLifeWindow::SessionEnding() {
  StopSimulation();
  FinishRun();
}

void TLifeWindow::IdleStep() {}

const char* TLifeWindow::WindowClassName() { return "ScreenSaver.Cellarium"; }

void TLifeWindow::FillWindowClass(WNDCLASSA& windowClass) {
  TScrnSavWindow::FillWindowClass(windowClass);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

bool TLifeWindow::ConfirmClose() {
  StopSimulation();
  return true;
}
