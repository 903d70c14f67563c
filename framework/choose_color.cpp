#include "framework/choose_color.h"

#include <array>

#include "framework/fault_injection.h"
#include "framework/window.h"

TChooseColorDialog::TChooseColorDialog(TWindow* parentWindow, TData& chooserData,
                                       const char* caption)
    : parent(parentWindow), data(chooserData), title(caption) {}

int TChooseColorDialog::Execute() {
  // The chooser insists on a custom-colour array; without the caller's, one
  // that lasts this opening only.
  std::array<COLORREF, 16> scratch{};
  CHOOSECOLORA choice{};
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = parent != nullptr ? parent->Handle() : nullptr;
  choice.rgbResult = data.Color;
  choice.lpCustColors = data.CustColors != nullptr ? data.CustColors : scratch.data();
  choice.Flags = data.Flags;
  if (title != nullptr) {
    choice.Flags |= CC_ENABLEHOOK;
    choice.lpfnHook = &TChooseColorDialog::Hook;
    choice.lCustData = reinterpret_cast<LPARAM>(title);
  }
  if (!FaultInjected(FaultPoint::kColourChooser) && ChooseColorA(&choice) != FALSE) {
    data.Error = 0;
    data.Color = choice.rgbResult;
    return IDOK;
  }
  data.Error = CommDlgExtendedError();
  return IDCANCEL;
}

UINT_PTR CALLBACK TChooseColorDialog::Hook(HWND window, UINT message, WPARAM, LPARAM lParam) {
  // Only the caption is ours; everything else is the chooser's own.
  if (message == WM_INITDIALOG) {
    const auto* choice = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    if (choice != nullptr && choice->lCustData != 0)
      SetWindowTextA(window, reinterpret_cast<const char*>(choice->lCustData));
    return TRUE;  // let the chooser set the focus
  }
  return FALSE;
}
