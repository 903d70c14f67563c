#include "framework/window.h"

#include "framework/application.h"

namespace {

// The window property that binds a handle to its window object. A property
// rather than GWLP_USERDATA, so dialogs and controls keep that slot free.
constexpr const char* kObjectProperty = "Cellarium.TWindow";

// An exception caught at a window procedure of this thread, waiting to be
// rethrown outside it. Only the first one is kept.
thread_local std::exception_ptr pendingException;

}  // namespace

TWindow::TWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : parent(parentWindow), title(windowTitle != nullptr ? windowTitle : "") {
  if (instance == nullptr) {
    TApplication* application = TApplication::Current();
    instance = application != nullptr ? application->Module() : GetModuleHandleA(nullptr);
  }
  module = instance;
}

TWindow::TWindow(HWND foreign) : handle(foreign), module(nullptr), owning(false) {}

TWindow::~TWindow() {
  if (handle == nullptr) return;
  HWND window = handle;
  const bool destroy = owning;
  Detach();  // no message reaches this half-destroyed object any more
  if (destroy) DestroyWindow(window);
}

TApplication* TWindow::GetApplication() const { return TApplication::Current(); }

TWindow* TWindow::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  return static_cast<TWindow*>(GetPropA(window, kObjectProperty));
}

bool TWindow::Create() {
  if (handle != nullptr) return true;
  if (!RegisterWindowClass()) return false;
  HWND parentHandle = parent != nullptr ? parent->Handle() : nullptr;
  HWND created = CreateWindowExA(attributes.exStyle, WindowClassName(), title.c_str(),
                                 attributes.style, attributes.x, attributes.y,
                                 attributes.width, attributes.height, parentHandle, nullptr,
                                 module, this);
  RethrowPending();
  return created != nullptr;
}

void TWindow::Destroy() {
  if (handle != nullptr && owning) DestroyWindow(handle);
}

bool TWindow::RegisterWindowClass() {
  WNDCLASSA existing{};
  if (GetClassInfoA(module, WindowClassName(), &existing)) return true;
  WNDCLASSA windowClass{};
  FillWindowClass(windowClass);
  return RegisterClassA(&windowClass) != 0;
}

// ---- hooks

void TWindow::PrepareWindow() {}

bool TWindow::ConfirmClose() { return true; }

const char* TWindow::WindowClassName() { return "Cellarium.Window"; }

void TWindow::FillWindowClass(WNDCLASSA& windowClass) {
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &TWindow::WindowProcedure;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = module;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = WindowClassName();
}

// ---- binding

void TWindow::Attach(HWND window, bool owns) {
  handle = window;
  owning = owns;
  SetPropA(window, kObjectProperty, this);
}

void TWindow::Detach() {
  if (handle != nullptr && FromHandle(handle) == this) RemovePropA(handle, kObjectProperty);
  handle = nullptr;
}

// ---- messages

const TMessageRow<TWindow> TWindow::messageTable[] = {
    {WM_CREATE, &TWindow::OnCreate},
    {WM_CLOSE, &TWindow::OnClose},
    {WM_DESTROY, &TWindow::OnDestroy},
    {WM_NCDESTROY, &TWindow::OnNcDestroy},
};

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (DispatchTable(*this, messageTable, message, wParam, lParam, result)) return result;
  return DefaultProcessing();
}

LRESULT TWindow::DefaultProcessing() {
  return DefWindowProcA(handle, current.message, current.wParam, current.lParam);
}

LRESULT TWindow::OnCreate(WPARAM, LPARAM) {
  PrepareWindow();  // an exception here makes WM_CREATE answer -1
  return 0;
}

LRESULT TWindow::OnClose(WPARAM, LPARAM) {
  if (ConfirmClose()) Destroy();
  return 0;
}

LRESULT TWindow::OnDestroy(WPARAM, LPARAM) {
  TApplication* application = GetApplication();
  if (application != nullptr && application->MainWindow() == this) PostQuitMessage(0);
  return 0;
}

LRESULT TWindow::OnNcDestroy(WPARAM, LPARAM) {
  const LRESULT result = DefaultProcessing();
  Detach();
  return result;
}

LRESULT TWindow::Dispatch(TWindow& window, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT onException) {
  const CurrentMessageState outer = window.current;  // messages nest (SendMessage)
  window.current = {message, wParam, lParam};
  LRESULT result = onException;
  try {
    result = window.HandleMessage(message, wParam, lParam);
  } catch (...) {
    if (!pendingException) pendingException = std::current_exception();
  }
  window.current = outer;
  return result;
}

void TWindow::RethrowPending() {
  if (!pendingException) return;
  std::exception_ptr caught = pendingException;
  pendingException = nullptr;
  std::rethrow_exception(caught);
}

LRESULT CALLBACK TWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  TWindow* object = FromHandle(window);
  if (object == nullptr && message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    object = static_cast<TWindow*>(creation->lpCreateParams);
    if (object != nullptr) object->Attach(window, true);
  }
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
  if (object == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const LRESULT onException = message == WM_CREATE ? -1 : message == WM_NCCREATE ? FALSE : 0;
  return Dispatch(*object, message, wParam, lParam, onException);
}

// ---- frame window

TFrameWindow::TFrameWindow(TWindow* parentWindow, const char* windowTitle, HINSTANCE instance)
    : TWindow(parentWindow, windowTitle, instance) {}

TFrameWindow::~TFrameWindow() = default;

void TFrameWindow::PrepareWindow() { TWindow::PrepareWindow(); }
