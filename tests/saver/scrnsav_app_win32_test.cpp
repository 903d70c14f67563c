// The screen-saver application: idle priority, the three paths its Run
// takes from the real command line, the main window it hands to the
// framework, and the idle hook.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "saver/scrnsav_app.h"
#include "saver/scrnsav_window.h"
#include "support/command_line.h"
#include "support/window_test_support.h"

namespace {

// A saver window that counts its idle steps and can close itself as soon as
// it has been set up.
class TCountingSaverWindow : public TScrnSavWindow {
 public:
  explicit TCountingSaverWindow(bool closeAtOnce)
      : TScrnSavWindow(nullptr, "test saver", nullptr), closeWhenPrepared(closeAtOnce) {}
  void PrepareWindow() override {
    TScrnSavWindow::PrepareWindow();
    if (closeWhenPrepared) PostMessageA(Handle(), WM_CLOSE, 0, 0);
  }
  void IdleStep() override { ++idleSteps; }
  int idleSteps = 0;

 private:
  bool closeWhenPrepared;
};

class TTestSaverApp : public TScrnSavApp {
 public:
  TTestSaverApp() : TScrnSavApp("Cellarium.Test.Saver") {}

  void MakeSaverWindow() override {
    ++saverWindowsMade;
    window = new TCountingSaverWindow(true);
    saverWindow = window;
  }
  void MakeOptionsDialog() override { ++optionsDialogsMade; }  // none to show

  using TScrnSavApp::CreateMainWindow;
  using TScrnSavApp::HandleIdle;
  void SetConfiguring(bool value) { configuring = value; }
  void SetLastIdleTick(std::uint32_t tick) { lastIdleTick = tick; }

  TCountingSaverWindow* window = nullptr;
  int saverWindowsMade = 0;
  int optionsDialogsMade = 0;
};

class ScrnSavApp : public ::testing::Test {
 protected:
  void TearDown() override { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }
};

TEST_F(ScrnSavApp, PutsTheWholeProcessAtIdlePriority) {
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  TTestSaverApp app;
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
}

TEST_F(ScrnSavApp, PreviewEndsAtOnceAndMakesNothing) {
  CommandLine line("C:\\savers\\cellarium.scr /P 123");
  TTestSaverApp app;
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(app.RunMode(), 'p');
  EXPECT_EQ(app.saverWindowsMade, 0);
  EXPECT_EQ(app.optionsDialogsMade, 0);
  EXPECT_EQ(app.MainWindow(), nullptr);
}

TEST_F(ScrnSavApp, ConfigurationAsksForTheOptionsDialogAndReturnsZero) {
  // The host's /c with a number that names no window, and the shell's
  // "Configure", which passes no arguments at all, from a hyphenated folder.
  for (const char* text : {"C:\\savers\\cellarium.scr -c:1234", "C:\\x-ray\\cellarium.scr"}) {
    CommandLine line(text);
    TTestSaverApp app;
    EXPECT_EQ(app.Run(), 0) << text;
    EXPECT_EQ(app.optionsDialogsMade, 1) << text;
    EXPECT_EQ(app.saverWindowsMade, 0) << text;
    EXPECT_FALSE(app.HandleIdle(0));  // configuring: the idle hook does nothing
  }
}

class ScrnSavAppWindows : public ScrnSavApp {
 protected:
  void SetUp() override {
    if (!CanCreateWindows()) GTEST_SKIP() << "no display: no window can be created here";
  }
};

TEST_F(ScrnSavAppWindows, AnyOtherSwitchRunsTheSaverWindowUntilItCloses) {
  CommandLine line("C:\\savers\\cellarium.scr /x");
  TTestSaverApp app;
  EXPECT_EQ(app.Run(), 0);  // the loop's status once the window closed itself
  EXPECT_EQ(app.RunMode(), 'x');
  EXPECT_EQ(app.saverWindowsMade, 1);
  EXPECT_EQ(app.MainWindow(), app.window);  // handed to the framework
  EXPECT_EQ(app.window->Handle(), nullptr);
  EXPECT_EQ(app.IdleStepMode(), -1);
}

TEST_F(ScrnSavApp, TheIdleHookStepsTheSaverWindowOnlyWhenItsModeSaysSo) {
  TTestSaverApp app;
  app.CreateMainWindow();
  ASSERT_NE(app.window, nullptr);
  EXPECT_EQ(app.MainWindow(), app.window);

  EXPECT_FALSE(app.HandleIdle(0));  // -1: never, and the loop may sleep
  EXPECT_EQ(app.window->idleSteps, 0);

  app.SetIdleStepMode(2);
  EXPECT_TRUE(app.HandleIdle(0));  // every pass
  EXPECT_EQ(app.window->idleSteps, 1);

  app.SetIdleStepMode(0);
  app.SetLastIdleTick(GetTickCount());
  EXPECT_TRUE(app.HandleIdle(1));  // not yet 50 ms: no step, but ask again
  EXPECT_EQ(app.window->idleSteps, 1);
  app.SetLastIdleTick(GetTickCount() - 51);
  EXPECT_TRUE(app.HandleIdle(2));
  EXPECT_EQ(app.window->idleSteps, 2);

  app.SetConfiguring(true);
  EXPECT_FALSE(app.HandleIdle(3));
  EXPECT_EQ(app.window->idleSteps, 2);
}

}  // namespace
