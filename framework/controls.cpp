#include "framework/controls.h"

#include <cassert>

#include "framework/dialog.h"

TControl::TControl(TDialog* dialog, int controlId)
    : TWindow(dialog, nullptr, nullptr), id(controlId) {
  if (dialog != nullptr) dialog->Register(this);
}

TControl::~TControl() { Unbind(); }

void TControl::Bind(HWND dialogWindow) {
  HWND control = GetDlgItem(dialogWindow, id);
  assert(control != nullptr && "no control with this id in the dialog");
  if (control != nullptr) Attach(control, false);
}

void TControl::Unbind() { Detach(); }
