#include "saver/scrnsav_window.h"

#include <wtsapi32.h>

#include <cstring>

namespace {

// The display-status setting of the session (not only of the console), so
// that a session switched away from the console hears its display go too.
constexpr GUID kSessionDisplayStatus = {
    0x2b84c20e, 0xad23, 0x4ddf, {0x93, 0xdb, 0x05, 0xff, 0xbd, 0x7e, 0xfc, 0xa5}};

// Older headers lack it: the message a per-monitor aware window gets when
// its monitor's scaling changes.
constexpr UINT kDpiChanged = 0x02E0;

}  // namespace

TScrnSavWindow::TScrnSavWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : TFrameWindow(parentWindow, windowTitle, instance) {
  ShowCursor(FALSE);
  attributes.style = WS_POPUP;  // no caption, border, system menu, nor WS_VISIBLE
  attributes.exStyle = 0;       // not topmost
}

TScrnSavWindow::~TScrnSavWindow() { ShowCursor(TRUE); }

void TScrnSavWindow::PrepareWindow() {
  TFrameWindow::PrepareWindow();
  CoverScreen();
  displayNotification =
      RegisterPowerSettingNotification(Handle(), &kSessionDisplayStatus, DEVICE_NOTIFY_WINDOW_HANDLE);
  sessionNotification = WTSRegisterSessionNotification(Handle(), NOTIFY_FOR_THIS_SESSION) != FALSE;
}

void TScrnSavWindow::CoverScreen() {
  POINT cursor{};
  if (GetCursorPos(&cursor)) lastMousePos = {cursor.x, cursor.y};
  placed = CoveredRect();
  SetWindowPos(Handle(), HWND_TOP, placed.left, placed.top, placed.right - placed.left,
               placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

ScreenRect TScrnSavWindow::CoveredRect() {
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  const std::int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const std::int32_t top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return SaverWindowRect({left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                          top + GetSystemMetrics(SM_CYVIRTUALSCREEN)},
                         {desktop.left, desktop.top, desktop.right, desktop.bottom});
}

void TScrnSavWindow::IdleStep() {}

void TScrnSavWindow::SessionEnding() {}

void TScrnSavWindow::DisplayChanged() {}

void TScrnSavWindow::VisibilityChanged(bool) {}

const char* TScrnSavWindow::WindowClassName() { return "ScreenSaverClass"; }

void TScrnSavWindow::FillWindowClass(WNDCLASSA& windowClass) {
  TFrameWindow::FillWindowClass(windowClass);
  windowClass.hIcon = nullptr;
  windowClass.style |= CS_SAVEBITS;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

// Input, in the order it is described: the mouse, activation, keys, and the
// system's own request to start a saver; then the end of the session; then
// the desk around the saver: the display's layout and scaling, whether its
// display is on and its session on a screen; last the window's end.
const TMessageRow<TScrnSavWindow> TScrnSavWindow::messageTable[] = {
    {WM_MOUSEMOVE, &TScrnSavWindow::OnMouseMove},
    {WM_LBUTTONDOWN, &TScrnSavWindow::OnButtonDown},
    {WM_RBUTTONDOWN, &TScrnSavWindow::OnButtonDown},
    {WM_MBUTTONDOWN, &TScrnSavWindow::OnButtonDown},
    {WM_ACTIVATE, &TScrnSavWindow::OnActivate},
    {WM_ACTIVATEAPP, &TScrnSavWindow::OnActivateApp},
    {WM_KEYDOWN, &TScrnSavWindow::OnKeyDown},
    {WM_SYSKEYDOWN, &TScrnSavWindow::OnSysKeyDown},
    {WM_SYSCOMMAND, &TScrnSavWindow::OnSysCommand},
    {WM_QUERYENDSESSION, &TScrnSavWindow::OnQueryEndSession},
    {WM_ENDSESSION, &TScrnSavWindow::OnEndSession},
    {WM_DISPLAYCHANGE, &TScrnSavWindow::OnDisplayChange},
    {kDpiChanged, &TScrnSavWindow::OnDpiChanged},
    {WM_POWERBROADCAST, &TScrnSavWindow::OnPowerBroadcast},
    {WM_WTSSESSION_CHANGE, &TScrnSavWindow::OnSessionChange},
    {WM_DESTROY, &TScrnSavWindow::OnDestroy},
};

LRESULT TScrnSavWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (DispatchTable(*this, messageTable, message, wParam, lParam, result)) return result;
  return TFrameWindow::HandleMessage(message, wParam, lParam);
}

void TScrnSavWindow::PostClose() { PostMessageA(Handle(), WM_CLOSE, 0, 0); }

LRESULT TScrnSavWindow::OnMouseMove(WPARAM, LPARAM lParam) {
  if (MouseMoveCloses(lastMousePos, ScreenPositionOf(MousePositionFromParam(lParam), placed)))
    PostClose();
  return 0;
}

LRESULT TScrnSavWindow::OnButtonDown(WPARAM, LPARAM) {
  PostClose();
  return 0;
}

// The default processing still runs: on activation it gives the window the
// keyboard focus, without which key presses would arrive as system keys.
LRESULT TScrnSavWindow::OnActivate(WPARAM wParam, LPARAM) {
  if (ActivateCloses(wParam)) PostClose();
  return DefaultProcessing();
}

LRESULT TScrnSavWindow::OnActivateApp(WPARAM wParam, LPARAM) {
  if (ActivateAppCloses(wParam)) PostClose();
  return 0;
}

LRESULT TScrnSavWindow::OnKeyDown(WPARAM wParam, LPARAM) {
  lastKey = RecordedKey(wParam);
  PostClose();
  return 0;
}

LRESULT TScrnSavWindow::OnSysKeyDown(WPARAM, LPARAM) {
  PostClose();
  return 0;
}

LRESULT TScrnSavWindow::OnSysCommand(WPARAM wParam, LPARAM) {
  if (IsScreenSaveCommand(wParam)) return 0;
  return DefaultProcessing();
}

// A saver never holds up a log-off or a shutdown.
LRESULT TScrnSavWindow::OnQueryEndSession(WPARAM, LPARAM) { return TRUE; }

// wParam is TRUE when the session really ends (FALSE: another program
// refused it, and the saver runs on).
LRESULT TScrnSavWindow::OnEndSession(WPARAM wParam, LPARAM) {
  if (wParam != 0) {
    SessionEnding();
    PostClose();
  }
  return 0;
}

// A new mode or a monitor come or gone: the new virtual screen is covered
// before anything else, so that no part of it shows the desktop.
LRESULT TScrnSavWindow::OnDisplayChange(WPARAM, LPARAM) {
  CoverScreen();
  DisplayChanged();
  return 0;
}

// The window stays over the whole virtual screen in device pixels; the
// rectangle the system suggests for the new scaling is not taken.
LRESULT TScrnSavWindow::OnDpiChanged(WPARAM, LPARAM) {
  CoverScreen();
  return 0;
}

LRESULT TScrnSavWindow::OnPowerBroadcast(WPARAM wParam, LPARAM lParam) {
  if (wParam != PBT_POWERSETTINGCHANGE || lParam == 0) return TRUE;
  const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
  if (setting->PowerSetting != kSessionDisplayStatus || setting->DataLength < sizeof(DWORD))
    return TRUE;
  DWORD state = 0;
  std::memcpy(&state, setting->Data, sizeof state);
  if (visibility.DisplayState(state)) VisibilityChanged(visibility.Visible());
  return TRUE;
}

LRESULT TScrnSavWindow::OnSessionChange(WPARAM wParam, LPARAM) {
  if (visibility.SessionChange(static_cast<std::uint32_t>(wParam)))
    VisibilityChanged(visibility.Visible());
  return 0;
}

// The notifications end with the window; the framework's own handling follows.
LRESULT TScrnSavWindow::OnDestroy(WPARAM wParam, LPARAM lParam) {
  if (displayNotification != nullptr) {
    UnregisterPowerSettingNotification(displayNotification);
    displayNotification = nullptr;
  }
  if (sessionNotification) {
    WTSUnRegisterSessionNotification(Handle());
    sessionNotification = false;
  }
  return TFrameWindow::HandleMessage(WM_DESTROY, wParam, lParam);
}
