#include "ui/about_dialog.h"

#include "ui/dialog_ids.h"

TAboutLifeDlg::TAboutLifeDlg(TWindow* parentWindow)
    : TDialog(parentWindow, "IDD_ABOUT"), IconStatic(this, IDC_ABOUT_ICON) {}

TAboutLifeDlg::~TAboutLifeDlg() = default;

void TAboutLifeDlg::PrepareWindow() {
  TDialog::PrepareWindow();
  // A shared icon from our own module: it lives as long as the program, so
  // nothing here frees it. Without it the label simply stays empty.
  HICON icon = LoadIconA(Module(), MAKEINTRESOURCEA(IDI_PROGRAM));
  if (icon != nullptr) IconStatic.SetIcon(icon);
}
