#pragma once
#include "framework/controls.h"
#include "framework/dialog.h"

// The About box: the program's icon, title, author, year and the notice that
// it may be passed on freely; one OK button. Modal; it holds no state from
// one Execute to the next.
class TAboutLifeDlg : public TDialog {
 public:
  explicit TAboutLifeDlg(TWindow* parent);
  ~TAboutLifeDlg() override;

  // Hooks
  void PrepareWindow() override;

 private:
  TStatic IconStatic;
};
