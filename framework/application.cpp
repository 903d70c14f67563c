#include "framework/application.h"

#include "framework/window.h"

namespace {
TApplication* currentApplication = nullptr;
}  // namespace

TApplication::TApplication(const char* applicationName, HINSTANCE instance)
    : name(applicationName != nullptr ? applicationName : ""),
      module(instance != nullptr ? instance : GetModuleHandleA(nullptr)) {
  currentApplication = this;
}

TApplication::~TApplication() {
  if (mainWindow) {
    mainWindow->Destroy();
    mainWindow.reset();
  }
  if (currentApplication == this) currentApplication = nullptr;
}

TApplication* TApplication::Current() { return currentApplication; }

void TApplication::SetMainWindow(TFrameWindow* window) { mainWindow.reset(window); }

int TApplication::HostShowState() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  if ((startup.dwFlags & STARTF_USESHOWWINDOW) != 0) return startup.wShowWindow;
  return SW_SHOWDEFAULT;
}

int TApplication::Run() {
  if (!mainWindow) CreateMainWindow();
  if (!mainWindow || !mainWindow->Create()) return kStartupFailed;
  ShowWindow(mainWindow->Handle(), HostShowState());
  UpdateWindow(mainWindow->Handle());
  return MessageLoop();
}

void TApplication::CreateMainWindow() {}

bool TApplication::HandleIdle(long) { return false; }

int TApplication::MessageLoop() {
  MSG message{};
  long idleCount = 0;
  for (;;) {
    while (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!HandleIdle(idleCount++)) WaitMessage();
    }
    if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
    idleCount = 0;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    TWindow::RethrowPending();
  }
}

int RunProgram(int (*body)()) {
  try {
    return body();
  } catch (...) {
    return kExitFailure;
  }
}
