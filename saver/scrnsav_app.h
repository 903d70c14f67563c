#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/application.h"

class TDialog;
class TScrnSavWindow;

// The general screen-saver application: idle priority for the whole
// process, the run mode read from the command line, and the three paths it
// selects. 'c' runs the options dialog modally over the host's settings
// window, no switch at all runs it without a parent, 'p' (preview) ends at
// once, anything else runs the saver window through the framework's
// standard start-up. It knows the saver window and the options dialog only
// through the two factories a derived application implements.
class TScrnSavApp : public TApplication {
 public:
  explicit TScrnSavApp(const char* name);
  ~TScrnSavApp() override;

  // Reads the mode and dispatches: 0 in options and preview mode, the
  // message loop's status in saver mode.
  int Run() override;

  // The mode character, lower case; 0 when there was no switch.
  char RunMode() const { return runMode; }
  // -1 never calls the saver window's IdleStep; 0, 1, 2 ever more often.
  std::int32_t IdleStepMode() const { return idleStepMode; }
  void SetIdleStepMode(std::int32_t mode) { idleStepMode = mode; }

 protected:
  // Hooks
  bool HandleIdle(long idleCount) override;
  void CreateMainWindow() override;
  // MakeSaverWindow: store a new saver window in saverWindow.
  virtual void MakeSaverWindow() = 0;
  // MakeOptionsDialog: store a new options dialog, without parent, in optionsDialog.
  virtual void MakeOptionsDialog() = 0;

  bool configuring = false;
  TDialog* optionsDialog = nullptr;    // owned while the configuration runs
  TScrnSavWindow* saverWindow = nullptr;  // handed to the framework as main window
  char runMode = 0;
  std::int32_t idleStepMode = -1;
  std::uint32_t lastIdleTick = 0;

 private:
  // overHost: owned by the host's settings window when there is one.
  void RunConfiguration(bool overHost);
};
