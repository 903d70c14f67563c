#pragma once
#include <windows.h>

#include "engine/life_run.h"
#include "engine/life_world.h"
#include "program/gdi_frame_renderer.h"
#include "program/world_bitmaps.h"
#include "saver/scrnsav_window.h"
#include "store/diagnostic_files.h"

// The Life saver window. Its construction loads the settings, seeds the
// generator, derives the geometry from the screen, allocates the world
// bitmaps (and the display bitmap when the world is magnified or tiled) and
// fills the initial soup; PrepareWindow starts the simulation thread;
// ConfirmClose stops it. While no one can see it the run is paused; when
// the display changes it is laid out again (a new world, the same run, when
// the area it is laid out for changes size); the destructor hands the next seeds, the rate, the
// random-bit log and the optional world dump to the store. When the session
// ends (log-off, shutdown) SessionEnding does the same at once, since the
// process may be ended before the destructor could run.
//
// Threads: the message thread owns everything here before the simulation
// thread starts and after the stop handshake; in between the simulation
// thread owns the world, the generator, the log and the renderer.
class TLifeWindow : public TScrnSavWindow {
 public:
  // Throws TXOutOfMemory when a bitmap cannot be allocated; nothing has been
  // stored or written by then, and the base class shows the cursor again.
  TLifeWindow(TWindow* parent, const char* title, HINSTANCE module);
  ~TLifeWindow() override;

  const LifeWorld& World() const { return world; }

  // Hooks
  // PrepareWindow: covers the desktop, then starts the simulation thread.
  void PrepareWindow() override;
  void IdleStep() override;
  const char* WindowClassName() override;
  // FillWindowClass: the saver's record with the stock black brush.
  void FillWindowClass(WNDCLASSA& windowClass) override;
  // ConfirmClose: the stop handshake; always yes.
  bool ConfirmClose() override;
  // SessionEnding: the stop handshake, then the end of the run.
  void SessionEnding() override;
  // DisplayChanged: the world laid out again for the area it is now for:
  // the thread stopped, the world built again when the area's size changed
  // (the generator carrying on), placed again, and the thread started again.
  void DisplayChanged() override;
  // VisibilityChanged: pauses or resumes the run.
  void VisibilityChanged(bool visible) override;

 private:
  void StopSimulation();
  // The monitor or monitors the world is laid out for, now.
  ScreenRect CurrentWorldArea() const;
  // Closes the log, stores the next seeds and the rate and writes the dump
  // when the S key ended the saver; the first call only. The simulation
  // thread must have stopped.
  void FinishRun();

  LifeWorld world;
  WorldBitmaps bitmaps;  // the display bitmap only when magnified or tiled
  ScreenRect worldArea{0, 0, 0, 0};  // the monitor or monitors the world is laid out for
  GdiFrameRenderer renderer;
  LifeRun run;
  bool threadStarted = false;  // by PrepareWindow; a display change restarts only such a run
  bool fineTimer = false;   // a 1 ms timer period asked for while a paced run lasts
  PendingFile randBitsLog;  // RandBits.txt while it is written, in run mode 'r'
  bool runFinished = false;
};
