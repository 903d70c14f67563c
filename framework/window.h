#pragma once
#include <windows.h>

#include <cstddef>
#include <exception>
#include <string>

class TApplication;

// The thin window layer of the program: one C++ object per window, messages
// dispatched through static tables, behaviour attached by overriding a few
// plain virtual hooks. Nothing here knows about the saver.
//
// Message tables. Each class that handles messages declares one static table
// of rows {message, handler} and overrides HandleMessage with four lines:
//
//   const TMessageRow<TMyWindow> TMyWindow::messageTable[] = {
//       {WM_KEYDOWN, &TMyWindow::OnKeyDown},
//       {WM_SYSCOMMAND, &TMyWindow::OnSysCommand},
//   };
//   LRESULT TMyWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
//     LRESULT result = 0;
//     if (DispatchTable(*this, messageTable, message, wParam, lParam, result)) return result;
//     return TBase::HandleMessage(message, wParam, lParam);
//   }
//
// A message without a row goes to the base class's table, and at the end of
// the chain to DefaultProcessing (DefWindowProc for ordinary windows). Every
// handler has the one signature LRESULT (WPARAM, LPARAM); the message number
// it was reached with is CurrentMessage(), and a handler that wants the
// default behaviour after all returns DefaultProcessing().
//
// Dialogs (TDialog, control wrappers) hook in the same way:
// - A dialog derives from TWindow, runs DialogBoxParamA with its own dialog
//   procedure and `this` as the creation parameter. On WM_INITDIALOG that
//   procedure calls Attach(handle) and then PrepareWindow(); it sends every
//   message through Dispatch(), which catches exceptions at the boundary, and
//   calls RethrowPending() once DialogBoxParamA has returned.
// - It overrides DefaultProcessing to say "not handled" (a dialog procedure
//   returns FALSE for those) instead of calling DefWindowProc, and keeps its
//   own WM_CLOSE row ahead of TWindow's (EndDialog, not DestroyWindow).
// - A parent that is a foreign window (the host's settings window) is a
//   TWindow made with TWindow(HWND): it wraps the handle without owning it.
// - A control wrapper is a TWindow bound with Attach(GetDlgItem(...)) in the
//   dialog's PrepareWindow; it never owns the control (the dialog does).
template <class T>
struct TMessageRow {
  UINT message;
  LRESULT (T::*handler)(WPARAM, LPARAM);
};

// Creation attributes; a derived class sets them in its constructor.
struct TWindowAttr {
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD exStyle = 0;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  int width = CW_USEDEFAULT;
  int height = CW_USEDEFAULT;
};

class TWindow {
 public:
  // A window object whose window does not exist yet; Create makes it.
  // A null module means the program's own (GetModuleHandle(nullptr)).
  TWindow(TWindow* parent, const char* title, HINSTANCE module);
  // Wraps a window that someone else owns. Deleting the wrapper leaves the
  // window alone; the wrapper dispatches nothing for it.
  explicit TWindow(HWND foreign);
  virtual ~TWindow();

  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // Registers the class on first use, creates the window (WM_CREATE runs
  // PrepareWindow) and returns whether the handle exists. An exception thrown
  // by a hook or handler during creation is rethrown from here.
  bool Create();
  // Destroys the window if this object owns it and it still exists.
  void Destroy();

  HWND Handle() const { return handle; }
  TWindow* Parent() const { return parent; }
  void SetParent(TWindow* newParent) { parent = newParent; }
  HINSTANCE Module() const { return module; }
  const std::string& Title() const { return title; }
  bool OwnsHandle() const { return owning; }
  TApplication* GetApplication() const;

  // The window object of a handle created or attached by this layer, or null.
  static TWindow* FromHandle(HWND window);

  // Hooks: the overridables of every window, called by this layer.
  // PrepareWindow: once the handle exists, before the window is first shown.
  virtual void PrepareWindow();
  // ConfirmClose: asked on WM_CLOSE; true lets the window be destroyed.
  virtual bool ConfirmClose();
  // WindowClassName: the name the window class is registered under.
  virtual const char* WindowClassName();
  // FillWindowClass: the registration record. The defaults: CS_DBLCLKS, the
  // arrow cursor, the module's instance, no extra bytes, this layer's
  // window procedure, the class name, the window-colour background.
  virtual void FillWindowClass(WNDCLASSA& windowClass);

 protected:
  // Messages: the whole chain of tables ends here (WM_CREATE, WM_CLOSE,
  // WM_DESTROY), then in DefaultProcessing.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // What happens to a message no table handles: DefWindowProc here.
  virtual LRESULT DefaultProcessing();

  // The message being dispatched (valid inside a handler).
  UINT CurrentMessage() const { return current.message; }

  // Looks message up in table and runs its handler on self; false when no
  // row matches. Tables are short, so a linear scan is the plain choice.
  template <class T, std::size_t N>
  static bool DispatchTable(T& self, const TMessageRow<T> (&table)[N], UINT message,
                            WPARAM wParam, LPARAM lParam, LRESULT& result) {
    for (const TMessageRow<T>& row : table) {
      if (row.message == message) {
        result = (self.*row.handler)(wParam, lParam);
        return true;
      }
    }
    return false;
  }

  // Runs one message through window.HandleMessage with exceptions caught:
  // a caught exception is kept for RethrowPending and onException returned.
  static LRESULT Dispatch(TWindow& window, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT onException);

 public:
  // Rethrows an exception that a window procedure of this thread caught, if
  // any, outside every window procedure (the message loop, Create, modal
  // dialogs call it).
  static void RethrowPending();

  // Binds this object to an existing handle (dialogs and their controls).
  // owns: whether Destroy and the destructor may destroy the window.
  void Attach(HWND window, bool owns);
  // Unbinds the handle; the window itself is left as it is.
  void Detach();

 protected:
  TWindowAttr attributes;

 private:
  struct CurrentMessageState {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam);
  bool RegisterWindowClass();

  LRESULT OnCreate(WPARAM, LPARAM);
  LRESULT OnClose(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnNcDestroy(WPARAM, LPARAM);
  static const TMessageRow<TWindow> messageTable[];

  HWND handle = nullptr;
  TWindow* parent = nullptr;
  HINSTANCE module = nullptr;
  std::string title;
  bool owning = true;
  CurrentMessageState current;
};

// A top-level window of the program. Its creation style is the attributes'
// style (WS_OVERLAPPEDWINDOW unless a derived class replaces it); the main
// window of the application is a TFrameWindow, and its destruction ends the
// message loop.
class TFrameWindow : public TWindow {
 public:
  TFrameWindow(TWindow* parent, const char* title, HINSTANCE module = nullptr);
  ~TFrameWindow() override;

  // Hooks
  void PrepareWindow() override;
};
