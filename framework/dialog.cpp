#include "framework/dialog.h"

#include <commctrl.h>

#include "framework/controls.h"
#include "framework/fault_injection.h"

namespace {

// Trackbars and the other bar classes exist only once the common controls
// have been initialised; once per process is enough.
void InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX init{};
    init.dwSize = sizeof init;
    init.dwICC = ICC_BAR_CLASSES;
    return InitCommonControlsEx(&init) != FALSE;
  }();
  (void)done;
}

}  // namespace

TDialog::TDialog(TWindow* parentWindow, const char* name, HINSTANCE instance)
    : TWindow(parentWindow, nullptr, instance), templateName(name != nullptr ? name : "") {}

TDialog::~TDialog() = default;

INT_PTR TDialog::Execute() {
  InitCommonControlsOnce();
  HWND owner = Parent() != nullptr ? Parent()->Handle() : nullptr;
  const INT_PTR result =
      FaultInjected(FaultPoint::kDialog)
          ? -1  // what DialogBoxParamA returns when it cannot make the dialog
          : DialogBoxParamA(Module(), templateName.c_str(), owner, &TDialog::DialogProcedure,
                            reinterpret_cast<LPARAM>(this));
  RethrowPending();
  return result;
}

void TDialog::EndModal(int code) {
  if (Handle() != nullptr) EndDialog(Handle(), code);
}

void TDialog::PrepareWindow() {
  TWindow::PrepareWindow();
  for (TControl* control : controls) control->Bind(Handle());
}

void TDialog::AcceptControls(int code) { EndModal(code); }

bool TDialog::HandleNotification(UINT, int, int) { return false; }

// ---- messages

const TMessageRow<TDialog> TDialog::messageTable[] = {
    {WM_INITDIALOG, &TDialog::OnInitDialog},
    {WM_COMMAND, &TDialog::OnCommand},
    {WM_HSCROLL, &TDialog::OnHScroll},
    {WM_CLOSE, &TDialog::OnClose},
    {WM_DESTROY, &TDialog::OnDestroy},
};

LRESULT TDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    LRESULT result = FALSE;
    if (DispatchTable(*this, messageTable, message, wParam, lParam, result)) return result;
    return TWindow::HandleMessage(message, wParam, lParam);
  } catch (...) {
    // Dispatch keeps the exception for Execute, which rethrows it once the
    // dialog has gone.
    EndModal(-1);
    throw;
  }
}

LRESULT TDialog::DefaultProcessing() { return FALSE; }

LRESULT TDialog::OnInitDialog(WPARAM, LPARAM) {
  PrepareWindow();
  return TRUE;  // the dialog manager focuses the first tab stop
}

LRESULT TDialog::OnCommand(WPARAM wParam, LPARAM) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (HandleNotification(WM_COMMAND, id, code)) return TRUE;
  // Enter reaches here as IDOK, Escape as IDCANCEL.
  if (id == IDOK) {
    AcceptControls(IDOK);
    return TRUE;
  }
  if (id == IDCANCEL) {
    EndModal(IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

LRESULT TDialog::OnHScroll(WPARAM wParam, LPARAM lParam) {
  // From a slider: the low word is the scroll code, lParam the control.
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control == nullptr) return FALSE;
  return HandleNotification(WM_HSCROLL, GetDlgCtrlID(control), LOWORD(wParam)) ? TRUE : FALSE;
}

LRESULT TDialog::OnClose(WPARAM, LPARAM) {
  EndModal(IDCANCEL);
  return TRUE;
}

LRESULT TDialog::OnDestroy(WPARAM, LPARAM) {
  for (TControl* control : controls) control->Unbind();
  return FALSE;
}

INT_PTR CALLBACK TDialog::DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  TWindow* object = FromHandle(window);
  if (object == nullptr && message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<TDialog*>(lParam);
    if (dialog != nullptr) {
      // DialogBoxParamA destroys the window itself; the object never does.
      dialog->Attach(window, false);
      object = dialog;
    }
  }
  // WM_SETFONT and the like arrive before WM_INITDIALOG.
  if (object == nullptr) return FALSE;
  return Dispatch(*object, message, wParam, lParam, FALSE);
}
