#include "program/life_window.h"

#include <mmsystem.h>
#include <process.h>

#include <ctime>

#include "program/dump_key.h"
#include "saver/run_mode.h"
#include "saver/scrnsav_app.h"
#include "engine/life_settings.h"
#include "engine/simulation_loop.h"
#include "engine/tick_clock.h"
#include "engine/world_setup.h"
#include "framework/fault_injection.h"
#include "store/diagnostic_files.h"
#include "store/settings_store.h"

namespace {

void YieldTimeSlice() { Sleep(0); }

}  // namespace

TLifeWindow::TLifeWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : TScrnSavWindow(parentWindow, windowTitle, instance),
      bitmaps(lifeSettings),
      renderer(world, lifeSettings) {
  auto* application = dynamic_cast<TScrnSavApp*>(GetApplication());
  if (application != nullptr) application->SetIdleStepMode(-1);

  LoadSettings(lifeSettings);
  world.generator.Seed(lifeSettings.Seed1,
                       static_cast<std::int32_t>(TickCount() ^
                                                 static_cast<std::uint32_t>(lifeSettings.Seed2)));

  worldArea = WorldArea(lifeSettings.AllMonitors != 0,
                        {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                        CoveredRect());
  BuildWorld(world, worldArea.right - worldArea.left, worldArea.bottom - worldArea.top,
             lifeSettings, bitmaps);

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
  bitmaps.Release();
}

void TLifeWindow::PrepareWindow() {
  TScrnSavWindow::PrepareWindow();
  renderer.Bind(Handle(), bitmaps, worldArea);
  // A paced run sleeps between generations; at the default timer period of
  // about 15.6 ms a sleep ends on the next tick, far too coarse for 60
  // generations a second. The 1 ms period is given back when the run stops.
  if (lifeSettings.GenerationRate > 0) fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
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
  if (fineTimer) {
    timeEndPeriod(1);
    fineTimer = false;
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
