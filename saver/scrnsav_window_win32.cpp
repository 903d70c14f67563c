#include "saver/scrnsav_window.h"

TScrnSavWindow::TScrnSavWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : TFrameWindow(parentWindow, windowTitle, instance) {
  ShowCursor(FALSE);
  attributes.style = WS_POPUP;  // no caption, border, system menu, nor WS_VISIBLE
  attributes.exStyle = 0;       // not topmost
}

TScrnSavWindow::~TScrnSavWindow() { ShowCursor(TRUE); }

void TScrnSavWindow::PrepareWindow() {
  TFrameWindow::PrepareWindow();
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

const char* TScrnSavWindow::WindowClassName() { return "ScreenSaverClass"; }

void TScrnSavWindow::FillWindowClass(WNDCLASSA& windowClass) {
  TFrameWindow::FillWindowClass(windowClass);
  windowClass.hIcon = nullptr;
  windowClass.style |= CS_SAVEBITS;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

// Input, in the order it is described: the mouse, activation, keys, and the
// system's own request to start a saver; then the end of the session.
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
