#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "framework/window.h"

class TControl;

// One row of a dialog's child-notification table: a WM_COMMAND or WM_HSCROLL
// that one control sends with one code (BN_CLICKED, or a scroll code such as
// TB_THUMBTRACK) or with any code (kAnyNotifyCode), and the handler it runs.
inline constexpr int kAnyNotifyCode = -1;
template <class T>
struct TNotifyRow {
  UINT message;
  int controlId;
  int code;
  void (T::*handler)();
};

// A modal dialog built from a dialog template in the program's resources.
//
//   TMyDialog dialog(parent);   // parent: a TWindow, a wrapped foreign
//   dialog.Execute();           // window, or null for an unowned dialog
//
// Control objects (THSlider, TCheckBox, TStatic) are members of the derived
// dialog, constructed with the dialog and a control id; PrepareWindow binds
// them to the controls the template made. OK runs the AcceptControls hook
// with IDOK; Cancel, Escape and the close box end the dialog with IDCANCEL
// without it.
//
// Child notifications: a derived class declares one static table of
// TNotifyRow and overrides HandleNotification with one line:
//
//   bool TMyDialog::HandleNotification(UINT message, int id, int code) {
//     return DispatchNotification(*this, notifyTable, message, id, code);
//   }
//
// An exception thrown while the dialog runs ends it with -1 and is rethrown
// from Execute once the dialog is gone.
class TDialog : public TWindow {
 public:
  // A null module means the application's (the program's own).
  TDialog(TWindow* parent, const char* templateName, HINSTANCE module = nullptr);
  ~TDialog() override;

  // Runs the dialog modally, its parent disabled meanwhile, and returns the
  // code it ended with: IDOK, IDCANCEL, or -1 when the dialog could not be
  // made. Initialises the common controls first.
  INT_PTR Execute();

  // Ends the modal dialog with code.
  void EndModal(int code);

  // Hooks
  // PrepareWindow: at WM_INITDIALOG, once the template's controls exist.
  // Binds the control objects; a derived dialog calls it first.
  void PrepareWindow() override;
  // AcceptControls: the close step OK runs. The default ends the dialog with
  // code; a derived dialog reads its controls and then calls it.
  virtual void AcceptControls(int code);

 protected:
  // Child notifications; true when a row handled it.
  virtual bool HandleNotification(UINT message, int controlId, int code);

  template <class T, std::size_t N>
  static bool DispatchNotification(T& self, const TNotifyRow<T> (&table)[N], UINT message,
                                   int controlId, int code) {
    for (const TNotifyRow<T>& row : table) {
      if (row.message == message && row.controlId == controlId &&
          (row.code == code || row.code == kAnyNotifyCode)) {
        (self.*row.handler)();
        return true;
      }
    }
    return false;
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // A message no table handles goes to the dialog manager: FALSE.
  LRESULT DefaultProcessing() override;

 private:
  friend class TControl;
  void Register(TControl* control) { controls.push_back(control); }

  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam);

  LRESULT OnInitDialog(WPARAM, LPARAM);
  LRESULT OnCommand(WPARAM, LPARAM);
  LRESULT OnHScroll(WPARAM, LPARAM);
  LRESULT OnClose(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  static const TMessageRow<TDialog> messageTable[];

  std::string templateName;
  std::vector<TControl*> controls;  // members of the derived dialog, not owned
};
