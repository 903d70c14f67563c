#pragma once
#include <gtest/gtest.h>
#include <windows.h>

// Real windows need a display: an X server, or Wine's null graphics driver
// (HKCU\Software\Wine\Drivers, Graphics = "null") on a machine without one.
// Where neither is set up no window can be created, and the tests that need
// one say so and are skipped instead of failing for a reason of the machine.
inline bool CanCreateWindows() {
  static const bool available = [] {
    HWND probe = CreateWindowExA(0, "STATIC", "probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (probe == nullptr) return false;
    DestroyWindow(probe);
    return true;
  }();
  return available;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanCreateWindows()) GTEST_SKIP() << "no display: no window can be created here";
  }
};

// The cursor's display counter, read without changing it.
inline int CursorDisplayCount() {
  ShowCursor(TRUE);
  return ShowCursor(FALSE);
}

// Takes a WM_CLOSE posted to window off the queue; true when there was one.
inline bool TakePostedClose(HWND window) {
  MSG message{};
  return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
}
