#include "framework/controls.h"

#include "framework/dialog.h"

TControl::TControl(TDialog* dialog, int controlId)
    : TWindow(dialog, nullptr, nullptr), id(controlId) {
  if (dialog != nullptr) dialog->Register(this);
}

TControl::~TControl() { Unbind(); }

void TControl::Bind(HWND dialogWindow) {
  HWND control = GetDlgItem(dialogWindow, id);
  if (control != nullptr) Attach(control, false);
}

void TControl::Unbind() { Detach(); }
