// Drives the options dialog, the About box and the colour chooser of a
// running cellarium.scr from another process, as a user would: dragging a
// slider's thumb, pressing keys, clicking buttons, typing into the chooser.
// Each step prints one line, so the end-to-end checks read what happened.
//
//   dialog_driver.exe find "Options for Cellarium" state drag 102 2 state
//
// Steps (run in order; the first failing one ends the run with status 1):
//   find TITLE        wait up to 40 s for a dialog with this caption and
//                     make it the current one; prints "found TITLE"
//   gone TITLE        wait up to 40 s until no such dialog is left
//   state             the options dialog's controls: slider positions and
//                     "checked/enabled" of the check boxes
//   drag ID POS       drag slider ID's thumb to POS, one notch at a time
//   key ID KEY        press KEY on slider ID (no thumb drag): left, right,
//                     home or end
//   click ID          click button ID (BM_CLICK, posted: the button may open
//                     a modal dialog, which the following steps wait for)
//   toggle ID         click check box ID and wait until it has toggled
//   press KEY         press escape or enter where the dialog's focus is
//   close             click the close box (WM_SYSCOMMAND SC_CLOSE)
//   rgb R G B         type the colour into the chooser's red, green and
//                     blue fields
//   texts             every child's text, one line "text ID TEXT" each
//   icon ID           "icon ID yes|no L T R B": whether static ID holds an
//                     icon, and its rectangle on screen
//   rect              the dialog's rectangle on screen, "rect L T R B"
//   crect ID          control ID's rectangle on screen, "crect ID L T R B"
//   layout            the client area on screen, "client L T R B", then each
//                     child, "control ID GROUPBOX L T R B" (GROUPBOX 1 for a
//                     group box, else 0)
//   owner             "owner TITLE" of the window that owns the dialog, or
//                     "owner none"
//   host [TITLE]      stand in for the host's settings window: a window of
//                     the dialog class titled TITLE (default "Desktop"), kept
//                     open for 120 s or until it is closed; prints
//                     "host ready HANDLE", the handle in decimal
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ui/dialog_ids.h"

namespace {

constexpr DWORD kWaitMs = 40000;
constexpr const char* kDialogClass = "#32770";

// The colour chooser's red, green and blue edit fields.
constexpr int kChooserRed = 706;
constexpr int kChooserGreen = 707;
constexpr int kChooserBlue = 708;

HWND current = nullptr;

HWND WaitForDialog(const char* title, bool present) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND found = FindWindowA(kDialogClass, title);
    if (found != nullptr && !IsWindowVisible(found)) found = nullptr;
    if ((found != nullptr) == present) return found;
    if (GetTickCount() - start > kWaitMs) return present ? nullptr : found;
    Sleep(50);
  }
}

HWND Control(int id) { return GetDlgItem(current, id); }

// Sends with a time limit, so a hung dialog fails the step instead of the
// whole run.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

int Position(int id) { return static_cast<int>(SendTo(Control(id), TBM_GETPOS, 0, 0)); }

void PrintBox(const char* name, int id) {
  HWND box = Control(id);
  const bool checked = SendTo(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  std::printf(" %s=%d/%d", name, checked ? 1 : 0, IsWindowEnabled(box) ? 1 : 0);
}

void State() {
  std::printf("state world=%d zoom=%d init=%d rate=%d speed=%d trails=%d",
              Position(IDC_WORLD_SIZE), Position(IDC_ZOOM_FACTOR), Position(IDC_INIT_SIZE),
              Position(IDC_MUTATION_RATE), Position(IDC_GENERATION_RATE),
              Position(IDC_TRAIL_LENGTH));
  PrintBox("tile", IDC_TILE_WORLD);
  PrintBox("steady", IDC_STEADY_STATE);
  PrintBox("show", IDC_SHOW_MUTATIONS);
  PrintBox("monitors", IDC_ALL_MONITORS);
  PrintBox("renew", IDC_RENEW_WHEN_STALLED);
  std::printf("\n");
}

// A thumb dragged across the channel: the trackbar moves to each position
// the pointer passes and tells its parent TB_THUMBTRACK each time; letting
// go gives TB_THUMBPOSITION and TB_ENDTRACK.
void Drag(int id, int target) {
  HWND slider = Control(id);
  int position = Position(id);
  auto notify = [&](int code) {
    SendTo(current, WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(slider));
  };
  while (position != target) {
    position += target > position ? 1 : -1;
    SendTo(slider, TBM_SETPOS, TRUE, position);
    notify(TB_THUMBTRACK);
  }
  notify(TB_THUMBPOSITION);
  notify(TB_ENDTRACK);
}

void PostKey(HWND window, WPARAM key) {
  PostMessageA(window, WM_KEYDOWN, key, 1);
  PostMessageA(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));  // as 32 bits
}

HWND FocusOf(HWND dialog) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr) return info.hwndFocus;
  return dialog;
}

void Type(int id, int value) {
  HWND edit = Control(id);
  const std::string text = std::to_string(value);
  SendTo(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // What typing makes the field tell its dialog.
  SendTo(current, WM_COMMAND, MAKEWPARAM(id, EN_UPDATE), reinterpret_cast<LPARAM>(edit));
  SendTo(current, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
}

BOOL CALLBACK PrintText(HWND child, LPARAM) {
  // WM_GETTEXT, not GetWindowTextA: across processes that only reads the
  // caption stored with the window, which an edit field never updates.
  char text[512] = {};
  SendTo(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  text[sizeof text - 1] = '\0';
  std::printf("text %d %s\n", GetDlgCtrlID(child), text);
  return TRUE;
}

void Icon(int id) {
  HWND label = Control(id);
  const auto icon = reinterpret_cast<HICON>(SendTo(label, STM_GETICON, 0, 0));
  RECT r{};
  GetWindowRect(label, &r);
  std::printf("icon %d %s %ld %ld %ld %ld\n", id, icon != nullptr ? "yes" : "no", r.left, r.top,
              r.right, r.bottom);
}

void Rect() {
  RECT r{};
  GetWindowRect(current, &r);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
}

void ControlRect(int id) {
  RECT r{};
  GetWindowRect(Control(id), &r);
  std::printf("crect %d %ld %ld %ld %ld\n", id, r.left, r.top, r.right, r.bottom);
}

BOOL CALLBACK PrintControlRect(HWND child, LPARAM) {
  RECT r{};
  GetWindowRect(child, &r);
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
  char name[32] = {};
  GetClassNameA(child, name, sizeof name);
  const bool groupBox = lstrcmpiA(name, "Button") == 0 && (style & BS_TYPEMASK) == BS_GROUPBOX;
  std::printf("control %d %d %ld %ld %ld %ld\n", GetDlgCtrlID(child), groupBox ? 1 : 0, r.left,
              r.top, r.right, r.bottom);
  return TRUE;
}

void Layout() {
  RECT client{};
  GetClientRect(current, &client);
  POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
  MapWindowPoints(current, nullptr, corners, 2);
  std::printf("client %ld %ld %ld %ld\n", corners[0].x, corners[0].y, corners[1].x, corners[1].y);
  EnumChildWindows(current, &PrintControlRect, 0);
}

void Owner() {
  HWND owner = GetWindow(current, GW_OWNER);
  char text[256] = {};
  if (owner != nullptr) GetWindowTextA(owner, text, sizeof text);
  std::printf("owner %s\n", owner != nullptr ? text : "none");
}

// The predefined dialog class, the one the host's settings window has.
void Host(const char* title) {
  HWND host = CreateWindowExA(0, MAKEINTATOM(0x8002), *title != 0 ? title : "Desktop",
                              WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 400, 300, 200, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  if (host != nullptr) {
    const std::string handle = std::to_string(reinterpret_cast<UINT_PTR>(host));
    std::printf("host ready %s\n", handle.c_str());
  } else {
    std::printf("host failed\n");
  }
  std::fflush(stdout);
  if (host == nullptr) return;
  SetTimer(nullptr, 0, 120000, nullptr);
  MSG message{};
  while (IsWindow(host) && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == nullptr) break;
    DispatchMessageA(&message);
  }
}

bool Fail(const char* step, const char* why) {
  std::printf("error %s: %s\n", step, why);
  return false;
}

bool Run(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    auto arg = [&](int n) -> const char* { return i + n < argc ? argv[i + n] : ""; };
    auto number = [&](int n) { return std::atoi(arg(n)); };
    if (step == "find") {
      current = WaitForDialog(arg(1), true);
      if (current == nullptr) return Fail("find", arg(1));
      std::printf("found %s\n", arg(1));
      i += 1;
    } else if (step == "gone") {
      if (WaitForDialog(arg(1), false) != nullptr) return Fail("gone", arg(1));
      std::printf("gone %s\n", arg(1));
      i += 1;
    } else if (step == "host") {
      Host(arg(1));
      i += 1;
    } else if (current == nullptr || !IsWindow(current)) {
      return Fail(step.c_str(), "no dialog");
    } else if (step == "state") {
      State();
    } else if (step == "drag") {
      Drag(number(1), number(2));
      std::printf("dragged %d %d\n", number(1), number(2));
      i += 2;
    } else if (step == "key") {
      // Sent straight to the slider, as the dialog manager hands it arrow
      // keys, so the move is complete when the step returns.
      const std::string name = arg(2);
      const WPARAM key = name == "left"   ? VK_LEFT
                         : name == "home" ? VK_HOME
                         : name == "end"  ? VK_END
                                          : VK_RIGHT;
      SendTo(Control(number(1)), WM_KEYDOWN, key, 1);
      SendTo(Control(number(1)), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
      std::printf("key %d %s\n", number(1), arg(2));
      i += 2;
    } else if (step == "click") {
      PostMessageA(Control(number(1)), BM_CLICK, 0, 0);
      Sleep(100);
      std::printf("clicked %d\n", number(1));
      i += 1;
    } else if (step == "toggle") {
      SendTo(Control(number(1)), BM_CLICK, 0, 0);
      std::printf("toggled %d\n", number(1));
      i += 1;
    } else if (step == "press") {
      PostKey(FocusOf(current), std::strcmp(arg(1), "enter") == 0 ? VK_RETURN : VK_ESCAPE);
      Sleep(100);
      std::printf("pressed %s\n", arg(1));
      i += 1;
    } else if (step == "close") {
      PostMessageA(current, WM_SYSCOMMAND, SC_CLOSE, 0);
      Sleep(100);
      std::printf("closed\n");
    } else if (step == "rgb") {
      Type(kChooserRed, number(1));
      Type(kChooserGreen, number(2));
      Type(kChooserBlue, number(3));
      std::printf("rgb %d %d %d\n", number(1), number(2), number(3));
      i += 3;
    } else if (step == "texts") {
      EnumChildWindows(current, &PrintText, 0);
    } else if (step == "rect") {
      Rect();
    } else if (step == "crect") {
      ControlRect(number(1));
      i += 1;
    } else if (step == "layout") {
      Layout();
    } else if (step == "owner") {
      Owner();
    } else if (step == "icon") {
      Icon(number(1));
      i += 1;
    } else {
      return Fail(step.c_str(), "unknown step");
    }
    std::fflush(stdout);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv) ? 0 : 1; }
