#pragma once
#include "saver/scrnsav_app.h"

// The name the saver is known by: the application's name, the saver
// window's title and its window-class name.
inline constexpr const char* kSaverName = "ScreenSaver.Cellarium";

// This saver: the Life window in saver mode, the options dialog in
// configuration mode.
class TLifeApp : public TScrnSavApp {
 public:
  explicit TLifeApp(const char* name);

 protected:
  void MakeSaverWindow() override;
  void MakeOptionsDialog() override;
};
