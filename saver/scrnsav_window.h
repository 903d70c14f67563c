#pragma once
#include <windows.h>

#include <cstdint>

#include "framework/window.h"
#include "saver/input_rules.h"

// The general saver window: a borderless pop-up over every monitor (the
// virtual screen) with the cursor hidden, that asks to close at the first
// sign of the user (a mouse jump, a button, a key, loss of activation) and
// refuses the system's request to start another saver meanwhile; it never
// holds up the end of the session, and hands it to SessionEnding. Input never
// closes the window directly: it posts WM_CLOSE and the framework's close
// path does the rest. It knows nothing of what is drawn.
class TScrnSavWindow : public TFrameWindow {
 public:
  // Hides the cursor from now until the destructor; style exactly WS_POPUP.
  TScrnSavWindow(TWindow* parent, const char* title, HINSTANCE module);
  // Shows the cursor again: one hide, one show.
  ~TScrnSavWindow() override;

  // Virtual-key code of the last WM_KEYDOWN, 0 until a key is pressed.
  std::uint32_t LastKey() const { return lastKey; }

  // Hooks
  // PrepareWindow: remembers the cursor position and covers every monitor.
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

 protected:
  // The screen rectangle the window covers once prepared: every monitor.
  static ScreenRect CoveredRect();

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void PostClose();

  LRESULT OnMouseMove(WPARAM, LPARAM lParam);
  LRESULT OnButtonDown(WPARAM, LPARAM);
  LRESULT OnActivate(WPARAM wParam, LPARAM);
  LRESULT OnActivateApp(WPARAM wParam, LPARAM);
  LRESULT OnKeyDown(WPARAM wParam, LPARAM);
  LRESULT OnSysKeyDown(WPARAM, LPARAM);
  LRESULT OnSysCommand(WPARAM wParam, LPARAM);
  LRESULT OnQueryEndSession(WPARAM, LPARAM);
  LRESULT OnEndSession(WPARAM wParam, LPARAM);
  static const TMessageRow<TScrnSavWindow> messageTable[];

  std::uint32_t lastKey = 0;
  MousePosition lastMousePos{0, 0};  // screen coordinates
  ScreenRect placed{0, 0, 0, 0};     // the virtual screen PrepareWindow covered
};
