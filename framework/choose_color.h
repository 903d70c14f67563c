#pragma once
#include <windows.h>

#include <commdlg.h>

class TWindow;

// The platform's colour chooser (ChooseColorA), run modally over a parent
// window with a caption of our own.
class TChooseColorDialog {
 public:
  // What the chooser starts from and what it hands back; the caller keeps it
  // between openings, so the last accepted colour and the custom colours
  // carry over. CustColors points at 16 colours the chooser may change.
  struct TData {
    DWORD Flags = CC_RGBINIT | CC_FULLOPEN;  // start on Color, custom section open
    DWORD Error = 0;                         // CommDlgExtendedError of the last run
    COLORREF Color = 0;
    COLORREF* CustColors = nullptr;
  };

  // parent may be null; title is the chooser's caption and must outlive the
  // object.
  TChooseColorDialog(TWindow* parent, TData& data, const char* title);

  TChooseColorDialog(const TChooseColorDialog&) = delete;
  TChooseColorDialog& operator=(const TChooseColorDialog&) = delete;

  // IDOK with the chosen colour in the data's Color; IDCANCEL when the user
  // cancelled or the chooser failed (the data's Error tells which), Color
  // then unchanged.
  int Execute();

 private:
  static UINT_PTR CALLBACK Hook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  TWindow* parent;
  TData& data;
  const char* title;
};
