#include "saver/scrnsav_app.h"

#include <memory>
#include <new>

#include "saver/run_mode.h"
#include "engine/tick_clock.h"
#include "framework/dialog.h"
#include "saver/scrnsav_window.h"

TScrnSavApp::TScrnSavApp(const char* applicationName) : TApplication(applicationName) {
  // The whole process, in every mode: the saver only uses time nothing else wants.
  SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
}

TScrnSavApp::~TScrnSavApp() = default;

int TScrnSavApp::Run() {
  runMode = ReadRunMode(GetCommandLineA());
  switch (KindOfRunMode(runMode)) {
    case RunModeKind::kOptions:
      RunConfiguration(runMode != 0);
      return 0;
    case RunModeKind::kPreview:
      return 0;
    case RunModeKind::kSaver:
      break;
  }
  return TApplication::Run();
}

void TScrnSavApp::RunConfiguration(bool overHost) {
  configuring = true;
  std::unique_ptr<TWindow> host;  // declared first, so it outlives the dialog
  MakeOptionsDialog();
  if (optionsDialog == nullptr) return;  // nothing to show
  std::unique_ptr<TDialog> dialog(optionsDialog);
  optionsDialog = nullptr;

  // The host's settings window: the one whose handle the host wrote after
  // the switch, when that names a window; else the predefined dialog class
  // (atom 0x8002) titled "Desktop". The wrapper never owns it; when it
  // cannot be made the dialog runs without a parent. Started without a
  // switch (the shell's "Configure") there is no host.
  HWND owner = nullptr;
  if (overHost) {
    owner = reinterpret_cast<HWND>(ReadHostWindowNumber(GetCommandLineA()));
    if (owner == nullptr || !IsWindow(owner)) owner = FindWindowA(MAKEINTATOM(0x8002), "Desktop");
  }
  if (owner != nullptr) host.reset(new (std::nothrow) TWindow(owner));
  if (host) dialog->SetParent(host.get());

  dialog->Execute();  // its result is not examined: the dialog saves on OK
  dialog.reset();     // the dialog first, then the wrapper
  host.reset();
}

void TScrnSavApp::CreateMainWindow() {
  configuring = false;
  idleStepMode = -1;
  MakeSaverWindow();
  if (saverWindow != nullptr) SetMainWindow(saverWindow);
  lastIdleTick = TickCount();
}

bool TScrnSavApp::HandleIdle(long) {
  if (configuring || idleStepMode < 0) return false;
  if (IdleStepDue(idleStepMode, TickCount() - lastIdleTick)) {
    if (saverWindow != nullptr) saverWindow->IdleStep();
    lastIdleTick = TickCount();
  }
  return true;
}
