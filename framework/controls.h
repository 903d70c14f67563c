#pragma once
#include <windows.h>

#include <commctrl.h>

#include <cassert>

#include "framework/window.h"

class TDialog;

// A control of a dialog template, seen through a member object of the
// dialog. It is bound while the dialog's window exists; the control window
// itself always belongs to the dialog. Every operation requires a bound
// control: debug builds assert it, so a wiring fault (a wrong id, a control
// missing from the template, a call outside the dialog's life) stops at the
// call; a release build's unbound operation does nothing and reads 0.
class TControl : public TWindow {
 public:
  TControl(TDialog* dialog, int controlId);
  ~TControl() override;

  int Id() const { return id; }
  void Bind(HWND dialogWindow);
  void Unbind();

  void Enable(bool enable) {
    assert(Handle() != nullptr && "control not bound");
    EnableWindow(Handle(), enable ? TRUE : FALSE);
  }

 protected:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    assert(Handle() != nullptr && "control not bound");
    return SendMessageA(Handle(), message, wParam, lParam);
  }

 private:
  int id;
};

// A horizontal slider over a native trackbar. Positions are whole numbers;
// the trackbar clamps a position it is given into its range.
class THSlider : public TControl {
 public:
  using TControl::TControl;

  void SetRange(int lo, int hi) { Send(TBM_SETRANGE, TRUE, MAKELPARAM(lo, hi)); }  // TBM_SETRANGE
  void SetTicFrequency(int n) { Send(TBM_SETTICFREQ, WPARAM(n), 0); }  // TBM_SETTICFREQ
  void SetPosition(int position) { Send(TBM_SETPOS, TRUE, position); }  // TBM_SETPOS
  int GetPosition() const { return static_cast<int>(Send(TBM_GETPOS, 0, 0)); }  // TBM_GETPOS
};

// A check box; only BST_CHECKED counts as checked.
class TCheckBox : public TControl {
 public:
  using TControl::TControl;

  void Check() { Send(BM_SETCHECK, BST_CHECKED, 0); }  // BM_SETCHECK
  bool IsChecked() const { return Send(BM_GETCHECK, 0, 0) == BST_CHECKED; }  // BM_GETCHECK
};

// A static label, here one that shows an icon.
class TStatic : public TControl {
 public:
  using TControl::TControl;

  void SetIcon(HICON icon) { Send(STM_SETICON, reinterpret_cast<WPARAM>(icon), 0); }  // STM_SETICON
};
