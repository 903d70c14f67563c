#include "program/life_window.h"

#include <mmsystem.h>

#include "program/dump_key.h"
#include "saver/run_mode.h"
#include "saver/scrnsav_app.h"
#include "engine/life_settings.h"
#include "engine/tick_clock.h"
#include "engine/world_setup.h"
#include "framework/exceptions.h"
#include "framework/fault_injection.h"
#include "store/diagnostic_files.h"
#include "store/settings_store.h"

TLifeWindow::TLifeWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : TScrnSavWindow(parentWindow, windowTitle, instance),
      bitmaps(lifeSettings),
      run(world, lifeSettings) {
  auto* application = dynamic_cast<TScrnSavApp*>(GetApplication());
  if (application != nullptr) application->SetIdleStepMode(-1);

  LoadSettings(lifeSettings);
  run.SeedFromStored(0, TickCount());

  worldArea = CurrentWorldArea();
  BuildWorld(world, worldArea.right - worldArea.left, worldArea.bottom - worldArea.top,
             lifeSettings, bitmaps);

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
  // A thread that cannot start leaves a black screen; closing does not wait.
  if (!FaultInjected(FaultPoint::kThreadStart)) threadStarted = run.Start(renderer);
}

ScreenRect TLifeWindow::CurrentWorldArea() const {
  return WorldArea(lifeSettings.AllMonitors != 0,
                   {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                   CoveredRect());
}

void TLifeWindow::DisplayChanged() {
  const ScreenRect area = CurrentWorldArea();
  const bool resized = area.right - area.left != worldArea.right - worldArea.left ||
                       area.bottom - area.top != worldArea.bottom - worldArea.top;
  // The window may have moved even where the area did not: the drawing
  // starts again either way, from the window's new place.
  run.Stop();
  worldArea = area;
  if (resized) {
    try {
      run.Rebuild(area.right - area.left, area.bottom - area.top, bitmaps);
    } catch (const TXOutOfMemory&) {
      return;  // no world: the window stays black
    }
  }
  renderer.Bind(Handle(), bitmaps, worldArea);
  if (threadStarted) threadStarted = run.Start(renderer);
}

void TLifeWindow::VisibilityChanged(bool visible) {
  if (visible) {
    run.Resume();
  } else {
    run.Pause();
  }
}

void TLifeWindow::StopSimulation() {
  run.Stop();
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
  SaveRunRate(run.Generations(), run.RunningSeconds());
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
