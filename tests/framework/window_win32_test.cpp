// The framework's windows and application, with real (hidden) windows:
// message tables and their chain to the base class and DefWindowProc, the
// hooks, the close path, exceptions at the window procedure, wrapping a
// foreign window, and the application's start-up, idle hook and ownership
// of its main window.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/exceptions.h"
#include "framework/window.h"
#include "support/window_test_support.h"

namespace {

class WindowMessages : public WindowTest {};
class WindowHooks : public WindowTest {};
class WindowClose : public WindowTest {};
class WindowOwnership : public WindowTest {};
class WindowExceptions : public WindowTest {};
class Application : public WindowTest {};

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kPong = WM_APP + 2;
constexpr UINT kThrow = WM_APP + 3;

class TBaseWindow : public TFrameWindow {
 public:
  TBaseWindow() : TFrameWindow(nullptr, "framework test") {}
  ~TBaseWindow() override { ++destroyedObjects; }

  const char* WindowClassName() override { return "Cellarium.Test.Base"; }
  void PrepareWindow() override {
    TFrameWindow::PrepareWindow();
    preparedWithHandle = Handle() != nullptr;
    visibleWhenPrepared = IsWindowVisible(Handle()) != FALSE;
    if (failPrepare) throw TXOutOfMemory();
  }
  bool ConfirmClose() override {
    ++closeQuestions;
    return allowClose;
  }

  std::vector<std::string> calls;
  bool preparedWithHandle = false;
  bool visibleWhenPrepared = true;
  bool failPrepare = false;
  bool allowClose = true;
  int closeQuestions = 0;
  static int destroyedObjects;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnPing(WPARAM wParam, LPARAM lParam) {
    calls.push_back("base ping " + std::to_string(wParam) + " " + std::to_string(lParam));
    return 1;
  }
  LRESULT OnPong(WPARAM, LPARAM) {
    calls.push_back("base pong");
    return 2;
  }
  LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error("from a handler"); }
  static const TMessageRow<TBaseWindow> messageTable[];
};
int TBaseWindow::destroyedObjects = 0;

const TMessageRow<TBaseWindow> TBaseWindow::messageTable[] = {
    {kPing, &TBaseWindow::OnPing},
    {kPong, &TBaseWindow::OnPong},
    {kThrow, &TBaseWindow::OnThrow},
};

LRESULT TBaseWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (DispatchTable(*this, messageTable, message, wParam, lParam, result)) return result;
  return TFrameWindow::HandleMessage(message, wParam, lParam);
}

class TDerivedWindow : public TBaseWindow {
 public:
  const char* WindowClassName() override { return "Cellarium.Test.Derived"; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnPing(WPARAM, LPARAM) {
    calls.push_back("derived ping");
    return 10;
  }
  // Records the new text, then lets the default processing store it.
  LRESULT OnSetText(WPARAM, LPARAM lParam) {
    calls.push_back(std::string("set text ") + reinterpret_cast<const char*>(lParam));
    return DefaultProcessing();
  }
  static const TMessageRow<TDerivedWindow> messageTable[];
};

const TMessageRow<TDerivedWindow> TDerivedWindow::messageTable[] = {
    {kPing, &TDerivedWindow::OnPing},
    {WM_SETTEXT, &TDerivedWindow::OnSetText},
};

LRESULT TDerivedWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (DispatchTable(*this, messageTable, message, wParam, lParam, result)) return result;
  return TBaseWindow::HandleMessage(message, wParam, lParam);
}

std::string WindowText(HWND window) {
  char text[64] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

TEST_F(WindowMessages, TheDerivedTableWinsThenTheBaseThenTheDefaultProcedure) {
  TDerivedWindow window;
  ASSERT_TRUE(window.Create());
  HWND handle = window.Handle();

  EXPECT_EQ(SendMessageA(handle, kPing, 7, 8), 10);  // derived row
  EXPECT_EQ(SendMessageA(handle, kPong, 0, 0), 2);   // no derived row: the base's
  EXPECT_EQ(WindowText(handle), "framework test");   // WM_GETTEXT: DefWindowProc
  SendMessageA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
  EXPECT_EQ(WindowText(handle), "renamed");  // the handler passed it on

  const std::vector<std::string> expected = {"derived ping", "base pong", "set text renamed"};
  EXPECT_EQ(window.calls, expected);

  TBaseWindow base;
  ASSERT_TRUE(base.Create());
  EXPECT_EQ(SendMessageA(base.Handle(), kPing, 7, 8), 1);
  EXPECT_EQ(base.calls.back(), "base ping 7 8");
}

TEST_F(WindowHooks, PrepareWindowRunsWithTheHandleBeforeTheWindowIsShown) {
  TBaseWindow window;
  ASSERT_TRUE(window.Create());
  EXPECT_TRUE(window.preparedWithHandle);
  EXPECT_FALSE(window.visibleWhenPrepared);
  EXPECT_EQ(TWindow::FromHandle(window.Handle()), &window);
}

TEST_F(WindowHooks, TheClassIsRegisteredWithTheFrameworkDefaults) {
  TBaseWindow window;
  ASSERT_TRUE(window.Create());
  WNDCLASSA registered{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "Cellarium.Test.Base", &registered));
  EXPECT_EQ(registered.style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(registered.cbClsExtra, 0);
  EXPECT_EQ(registered.cbWndExtra, 0);
  EXPECT_EQ(registered.hInstance, GetModuleHandleA(nullptr));
  EXPECT_EQ(registered.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(GetWindowLongPtrA(window.Handle(), GWLP_WNDPROC),
            reinterpret_cast<LONG_PTR>(registered.lpfnWndProc));
}

TEST_F(WindowClose, ConfirmCloseDecidesWhetherWmCloseDestroysTheWindow) {
  TBaseWindow window;
  ASSERT_TRUE(window.Create());
  HWND handle = window.Handle();

  window.allowClose = false;
  SendMessageA(handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(window.closeQuestions, 1);
  EXPECT_TRUE(IsWindow(handle));

  window.allowClose = true;
  SendMessageA(handle, WM_CLOSE, 0, 0);
  EXPECT_EQ(window.closeQuestions, 2);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window.Handle(), nullptr);  // the object forgets its handle
}

TEST_F(WindowOwnership, DeletingTheObjectDestroysItsWindowButNotAForeignOne) {
  HWND handle = nullptr;
  {
    TBaseWindow window;
    ASSERT_TRUE(window.Create());
    handle = window.Handle();
  }
  EXPECT_FALSE(IsWindow(handle));

  TBaseWindow owner;
  ASSERT_TRUE(owner.Create());
  {
    TWindow wrapper(owner.Handle());
    EXPECT_EQ(wrapper.Handle(), owner.Handle());
    EXPECT_FALSE(wrapper.OwnsHandle());
    wrapper.Destroy();  // not its window to destroy
  }
  EXPECT_TRUE(IsWindow(owner.Handle()));
  EXPECT_EQ(TWindow::FromHandle(owner.Handle()), &owner);
}

TEST_F(WindowExceptions, AnExceptionStopsAtTheWindowProcedureAndIsRethrownOutsideIt) {
  TBaseWindow window;
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(SendMessageA(window.Handle(), kThrow, 0, 0), 0);  // returned, not unwound
  EXPECT_THROW(TWindow::RethrowPending(), std::runtime_error);
  EXPECT_NO_THROW(TWindow::RethrowPending());  // rethrown once
  EXPECT_TRUE(IsWindow(window.Handle()));
}

TEST_F(WindowExceptions, AFailingPrepareWindowFailsCreateWithItsException) {
  TBaseWindow window;
  window.failPrepare = true;
  EXPECT_THROW(window.Create(), TXOutOfMemory);
  EXPECT_EQ(window.Handle(), nullptr);
}

// ---- the application

class TTestApp : public TApplication {
 public:
  TTestApp() : TApplication("Cellarium.Test.App") {}

  // Main window made by the hook; it closes itself after a few idle passes.
  void CreateMainWindow() override {
    ++mainWindowsMade;
    if (makeWindow) SetMainWindow(new TBaseWindow());
  }
  bool HandleIdle(long idleCount) override {
    idleCounts.push_back(idleCount);
    if (idleCount == 3) PostMessageA(MainWindow()->Handle(), WM_CLOSE, 0, 0);
    return idleCount < 3;  // then sleep in WaitMessage until the close arrives
  }

  bool makeWindow = true;
  int mainWindowsMade = 0;
  std::vector<long> idleCounts;
};

TEST_F(Application, RunMakesCreatesAndLoopsUntilTheMainWindowIsDestroyed) {
  TBaseWindow::destroyedObjects = 0;
  {
    TTestApp app;
    EXPECT_EQ(TApplication::Current(), &app);
    EXPECT_EQ(app.Run(), 0);  // WM_DESTROY of the main window ended the loop
    EXPECT_EQ(app.mainWindowsMade, 1);
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_EQ(app.MainWindow()->Handle(), nullptr);  // destroyed, not yet deleted
    EXPECT_EQ(TBaseWindow::destroyedObjects, 0);
    // Idle passes counted from 0 while the queue stayed empty; the hook's
    // false answer made the loop wait for the close message.
    ASSERT_GE(app.idleCounts.size(), 4u);
    for (long i = 0; i < 4; ++i) EXPECT_EQ(app.idleCounts[static_cast<std::size_t>(i)], i);
  }
  EXPECT_EQ(TBaseWindow::destroyedObjects, 1);  // deleted with the application
  EXPECT_EQ(TApplication::Current(), nullptr);
}

TEST_F(Application, NoMainWindowIsAStartupFailure) {
  TTestApp app;
  app.makeWindow = false;
  EXPECT_EQ(app.Run(), TApplication::kStartupFailed);
}

TEST_F(Application, TheApplicationDestroysAMainWindowThatStillExists) {
  HWND handle = nullptr;
  {
    TTestApp app;
    auto* window = new TBaseWindow();
    app.SetMainWindow(window);
    ASSERT_TRUE(window->Create());
    handle = window->Handle();
  }
  EXPECT_FALSE(IsWindow(handle));
  MSG stray{};
  PeekMessageA(&stray, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the destroyed main window's
}

TEST(ProgramStart, AnEscapingExceptionBecomesAFailureStatus) {
  EXPECT_EQ(RunProgram([] { return 7; }), 7);
  EXPECT_EQ(RunProgram([]() -> int { throw TXOutOfMemory(); }), kExitFailure);
  EXPECT_EQ(RunProgram([]() -> int { throw std::runtime_error("other"); }), kExitFailure);
}

}  // namespace
