#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/window.h"
#include "saver/input_rules.h"
#include "saver/visibility_rules.h"

// The general saver window: a borderless pop-up over every monitor (the
// virtual screen) with the cursor hidden, that asks to close at the first
// sign of the user (a mouse jump, a button, a key, loss of activation) and
// refuses the system's request to start another saver meanwhile; it never
// holds up the end of the session, and hands it to SessionEnding. Input never
// closes the window directly: it posts WM_CLOSE and the framework's close
// path does the rest. When the display changes (a mode, a monitor come or
// gone, a new scaling) it covers the new virtual screen at once, then calls
// DisplayChanged; when its display goes off or its session off the screen,
// and back, VisibilityChanged. It knows nothing of what is drawn.
class TScrnSavWindow : public TFrameWindow {
 public:
  // Hides the cursor from now until the destructor; style exactly WS_POPUP.
  TScrnSavWindow(TWindow* parent, const char* title, HINSTANCE module);
  // Shows the cursor again: one hide, one show.
  ~TScrnSavWindow() override;

  // Virtual-key code of the last WM_KEYDOWN, 0 until a key is pressed.
  std::uint32_t LastKey() const { return lastKey; }

  // Hooks
  // PrepareWindow: remembers the cursor position, covers every monitor and
  // asks for the display-state and session notifications.
  void PrepareWindow() override;
  // IdleStep: one idle-driven animation step (the application's idle hook).
  virtual void IdleStep();
  const char* WindowClassName() override;
  // FillWindowClass: no icon, CS_SAVEBITS added, the null brush.
  void FillWindowClass(WNDCLASSA& windowClass) override;
  // SessionEnding: the user is logging off or the system shuts down, and the
  // process may be ended as soon as this returns: whatever the run must
  // leave behind is saved here, once. The window then closes as usual if
  // the process lives on. Does nothing here.
  virtual void SessionEnding();
  // DisplayChanged: the window covers the new virtual screen, and the cursor
  // where the change left it is the new reference for mouse jumps. Does
  // nothing here.
  virtual void DisplayChanged();
  // VisibilityChanged: whether anyone can see the window now (its display
  // on or dimmed, its session on a screen). Does nothing here.
  virtual void VisibilityChanged(bool visible);

 protected:
  // The screen rectangle the window covers once prepared: every monitor.
  static ScreenRect CoveredRect();

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void PostClose();
  // Covers the virtual screen as it is now and takes the cursor's position
  // as the reference for mouse jumps.
  void CoverScreen();

  LRESULT OnMouseMove(WPARAM, LPARAM lParam);
  LRESULT OnButtonDown(WPARAM, LPARAM);
  LRESULT OnActivate(WPARAM wParam, LPARAM);
  LRESULT OnActivateApp(WPARAM wParam, LPARAM);
  LRESULT OnKeyDown(WPARAM wParam, LPARAM);
  LRESULT OnSysKeyDown(WPARAM, LPARAM);
  LRESULT OnSysCommand(WPARAM wParam, LPARAM);
  LRESULT OnQueryEndSession(WPARAM, LPARAM);
  LRESULT OnEndSession(WPARAM wParam, LPARAM);
  LRESULT OnDisplayChange(WPARAM, LPARAM);
  LRESULT OnDpiChanged(WPARAM, LPARAM);
  LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
  LRESULT OnSessionChange(WPARAM wParam, LPARAM);
  LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
  static const TMessageRow<TScrnSavWindow> messageTable[];

  HPOWERNOTIFY displayNotification = nullptr;  // owned; unregistered on WM_DESTROY
  bool sessionNotification = false;
  SaverVisibility visibility;
  std::uint32_t lastKey = 0;
  MousePosition lastMousePos{0, 0};  // screen coordinates
  ScreenRect placed{0, 0, 0, 0};     // the virtual screen PrepareWindow covered
};
