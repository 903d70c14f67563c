#pragma once

// Points where the program acquires a resource from the system that tests
// make fail on purpose, to check that every such failure ends cleanly. The
// program itself never installs a hook: each check is then one load of a
// null pointer.
enum class FaultPoint {
  kBitmapObject,   // a bitmap's object and header (new TDib)
  kDeviceContext,  // the renderer's GetDC
  kPalette,        // the renderer's CreatePalette
  kThreadStart,    // the simulation thread's _beginthreadex
  kDialog,         // DialogBoxParamA of every modal dialog
  kColourChooser,  // ChooseColorA
};

// Returns true when the point should fail this time. Called on whichever
// thread acquires the resource.
using FaultHook = bool (*)(FaultPoint point);

// Installs hook (null: nothing fails) and returns the previous one. Install
// before the threads that might consult it start.
FaultHook SetFaultHook(FaultHook hook);
bool FaultInjected(FaultPoint point);
