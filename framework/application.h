#pragma once
#include <windows.h>

#include <memory>
#include <string>

class TFrameWindow;

// The application object: its name, its module, its main window and the
// message loop. One exists per process while the program runs; windows reach
// it through TWindow::GetApplication.
class TApplication {
 public:
  // A null module means the program's own.
  explicit TApplication(const char* name, HINSTANCE module = nullptr);
  // Destroys the main window if it still exists, then deletes it.
  virtual ~TApplication();

  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The standard run: when there is no main window yet, CreateMainWindow;
  // then create the main window, show it with the show state the host gave
  // the process, and run the message loop. Returns the loop's exit status,
  // or kStartupFailed when no main window could be made or created.
  virtual int Run();

  const std::string& Name() const { return name; }
  HINSTANCE Module() const { return module; }
  TFrameWindow* MainWindow() const { return mainWindow.get(); }
  // Takes ownership of window; it is deleted with the application.
  void SetMainWindow(TFrameWindow* window);

  // The application of this process, or null.
  static TApplication* Current();

  // The show state the host passed to the process (STARTUPINFO), or
  // SW_SHOWDEFAULT when it passed none.
  static int HostShowState();

  static constexpr int kStartupFailed = 1;

 protected:
  // Hooks: the overridables of the application.
  // CreateMainWindow: makes the main window (SetMainWindow); called once by
  // the standard run before the main window is created and shown.
  virtual void CreateMainWindow();
  // HandleIdle: called by the message loop whenever the queue is empty, with
  // the number of idle passes since a message last arrived. True asks for
  // another pass at once; false lets the loop sleep in WaitMessage.
  virtual bool HandleIdle(long idleCount);

  // Runs until WM_QUIT and returns its exit status.
  int MessageLoop();

 private:
  std::string name;
  HINSTANCE module;
  std::unique_ptr<TFrameWindow> mainWindow;
};

// The process start: runs body (which makes the application, runs it and
// destroys it) and returns its status. An exception that escapes it, the
// out-of-memory exception of a window that could not be built above all,
// ends the program with kExitFailure instead of the runtime's abort: the
// application object has been destroyed by then, so every window's
// destructor has run.
inline constexpr int kExitFailure = 1;
int RunProgram(int (*body)());
