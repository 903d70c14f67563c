// The saver window with a real, hidden window: its creation style and
// class, the desktop it covers, the cursor it hides for its lifetime, and
// which input posts WM_CLOSE.
#include <gtest/gtest.h>
#include <windows.h>

#include "saver/scrnsav_window.h"
#include "support/window_test_support.h"

namespace {

class ScrnSavWindow : public WindowTest {};

LPARAM Position(int x, int y) {
  return static_cast<LPARAM>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                             static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16);
}

TEST_F(ScrnSavWindow, HidesTheCursorForExactlyItsLifetime) {
  const int before = CursorDisplayCount();
  {
    TScrnSavWindow window(nullptr, "saver", nullptr);
    EXPECT_EQ(CursorDisplayCount(), before - 1);  // hidden before the window exists
    ASSERT_TRUE(window.Create());
    EXPECT_EQ(CursorDisplayCount(), before - 1);
  }
  EXPECT_EQ(CursorDisplayCount(), before);
}

TEST_F(ScrnSavWindow, IsABorderlessPopupOverTheDesktopInItsOwnClass) {
  TScrnSavWindow window(nullptr, "saver", nullptr);
  ASSERT_TRUE(window.Create());
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(window.Handle(), GWL_STYLE));
  EXPECT_NE(style & WS_POPUP, 0u);
  EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_SYSMENU | WS_THICKFRAME), 0u);
  EXPECT_EQ(GetWindowLongPtrA(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  // Every monitor: the virtual screen, which with one monitor is the desktop.
  RECT desktop{}, covered{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(window.Handle(), &covered);
  EXPECT_EQ(covered.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
  EXPECT_EQ(covered.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
  EXPECT_EQ(covered.right - covered.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_EQ(covered.bottom - covered.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  if (GetSystemMetrics(SM_CMONITORS) == 1) {
    EXPECT_TRUE(EqualRect(&covered, &desktop));
  }

  WNDCLASSA registered{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "ScreenSaverClass", &registered));
  EXPECT_EQ(registered.style, static_cast<UINT>(CS_DBLCLKS | CS_SAVEBITS));
  EXPECT_EQ(registered.hIcon, nullptr);
  EXPECT_EQ(registered.hbrBackground, GetStockObject(NULL_BRUSH));
}

struct InputCase {
  const char* what;
  UINT message;
  WPARAM wParam;
  bool closes;
};

TEST_F(ScrnSavWindow, ButtonsKeysAndLostActivationPostAClose) {
  const InputCase cases[] = {
      {"left button", WM_LBUTTONDOWN, MK_LBUTTON, true},
      {"right button", WM_RBUTTONDOWN, MK_RBUTTON, true},
      {"middle button", WM_MBUTTONDOWN, MK_MBUTTON, true},
      {"left release", WM_LBUTTONUP, 0, false},
      {"double click", WM_LBUTTONDBLCLK, MK_LBUTTON, false},
      {"key", WM_KEYDOWN, 'A', true},
      {"system key", WM_SYSKEYDOWN, 'S', true},
      {"character", WM_CHAR, 'a', false},
      {"deactivated", WM_ACTIVATE, WA_INACTIVE, true},
      {"activated", WM_ACTIVATE, WA_ACTIVE, false},
      {"clicked active", WM_ACTIVATE, WA_CLICKACTIVE, false},
      {"application deactivated", WM_ACTIVATEAPP, FALSE, true},
      {"application activated", WM_ACTIVATEAPP, TRUE, false},
      {"session end asked", WM_QUERYENDSESSION, 0, false},
      {"session ends", WM_ENDSESSION, TRUE, true},
      {"session end refused elsewhere", WM_ENDSESSION, FALSE, false},
  };
  for (const InputCase& input : cases) {
    TScrnSavWindow window(nullptr, "saver", nullptr);
    ASSERT_TRUE(window.Create());
    SendMessageA(window.Handle(), input.message, input.wParam, 0);
    EXPECT_EQ(TakePostedClose(window.Handle()), input.closes) << input.what;
    EXPECT_TRUE(IsWindow(window.Handle())) << input.what << ": input never closes directly";
  }
}

// The end of the session reaches the hook before WM_ENDSESSION returns,
// since the process may be ended right after; asking never gets a no.
class TSessionWindow : public TScrnSavWindow {
 public:
  using TScrnSavWindow::TScrnSavWindow;
  void SessionEnding() override { ++endings; }
  int endings = 0;
};

TEST_F(ScrnSavWindow, TheSessionEndingIsHandedToItsHookAndNeverRefused) {
  TSessionWindow window(nullptr, "saver", nullptr);
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(SendMessageA(window.Handle(), WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF)), TRUE);
  SendMessageA(window.Handle(), WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(window.endings, 0);
  SendMessageA(window.Handle(), WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF));
  EXPECT_EQ(window.endings, 1);
}

TEST_F(ScrnSavWindow, RemembersThePlainKeyButNotASystemKey) {
  TScrnSavWindow window(nullptr, "saver", nullptr);
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(window.LastKey(), 0u);
  SendMessageA(window.Handle(), WM_KEYDOWN, 0x53, 0);
  EXPECT_EQ(window.LastKey(), 0x53u);
  SendMessageA(window.Handle(), WM_SYSKEYDOWN, 0x41, 0);
  EXPECT_EQ(window.LastKey(), 0x53u);
  SendMessageA(window.Handle(), WM_KEYDOWN, 0x41, 0);
  EXPECT_EQ(window.LastKey(), 0x41u);
}

TEST_F(ScrnSavWindow, OnlyAJumpOfMoreThanTwentyPixelsOnBothAxesCloses) {
  TScrnSavWindow window(nullptr, "saver", nullptr);
  ASSERT_TRUE(window.Create());
  POINT start{};
  GetCursorPos(&start);  // what PrepareWindow remembered
  HWND handle = window.Handle();

  SendMessageA(handle, WM_MOUSEMOVE, 0, Position(start.x, start.y));
  EXPECT_FALSE(TakePostedClose(handle)) << "no movement";
  SendMessageA(handle, WM_MOUSEMOVE, 0, Position(start.x + 20, start.y + 20));
  EXPECT_FALSE(TakePostedClose(handle)) << "20 on both axes";
  SendMessageA(handle, WM_MOUSEMOVE, 0, Position(start.x + 41, start.y + 40));
  EXPECT_FALSE(TakePostedClose(handle)) << "21 and 20, from the remembered position";
  // Slow movement a long way: every step is small.
  for (int step = 1; step <= 50; ++step)
    SendMessageA(handle, WM_MOUSEMOVE, 0, Position(start.x + 41 + 10 * step, start.y + 40 + 10 * step));
  EXPECT_FALSE(TakePostedClose(handle)) << "500 pixels in steps of 10";
  SendMessageA(handle, WM_MOUSEMOVE, 0, Position(start.x + 541 - 21, start.y + 540 + 21));
  EXPECT_TRUE(TakePostedClose(handle)) << "21 on both axes, in any direction";
}

TEST_F(ScrnSavWindow, RefusesTheRequestToStartASaverButNotOtherSystemCommands) {
  TScrnSavWindow window(nullptr, "saver", nullptr);
  ASSERT_TRUE(window.Create());
  HWND handle = window.Handle();
  for (WPARAM low = 0; low < 16; ++low) {
    SendMessageA(handle, WM_SYSCOMMAND, SC_SCREENSAVE | low, 0);
    EXPECT_TRUE(IsWindow(handle));
  }
  SendMessageA(handle, WM_SYSCOMMAND, SC_CLOSE, 0);  // default processing: WM_CLOSE
  EXPECT_FALSE(IsWindow(handle));
}

}  // namespace
