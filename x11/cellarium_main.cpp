// cellarium: Conway's Life as an xscreensaver module. The portable core does
// everything but the window: this file picks the window, follows its size,
// and runs the core's simulation loop on a thread of its own with an X11
// renderer, the way the Windows saver runs it behind its saver window.
//
// Two connections to the server: the main thread's watches the window
// (resizes, its destruction, the window manager's close) and the signal
// pipe; the simulation thread draws through the renderer's. A resize or a
// signal stops the run; a resize then builds a new world for the new size
// and starts the same run on it, the generator carrying on.
//
// SIGTERM and SIGINT are blocked in every thread from the first line of
// main and taken by a thread of their own, so that one arriving at any
// moment, even while the display is being opened, ends the program with
// status 0.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "engine/frame_layout.h"
#include "engine/life_run.h"
#include "engine/life_world.h"
#include "engine/tick_clock.h"
#include "engine/world_setup.h"
#include "x11/colour_pixels.h"
#include "x11/module_options.h"
#include "x11/x11_frame_renderer.h"

namespace {

const char* const kProgram = "cellarium";

// How long a stop signal leaves the main thread to end the run in order.
constexpr long kStopGraceNanoseconds = 200'000'000;

// SIGTERM and SIGINT, blocked in every thread.
sigset_t stopSignals;
// Written by the signal thread, read by the main thread's poll.
int signalPipe[2] = {-1, -1};

// The signal thread: waits for SIGTERM or SIGINT, tells the main thread,
// then gives it the grace to stop the simulation and close the display.
// Either can wait inside Xlib for as long as the server does not answer (a
// grab held by another client, a stopped server); the module has nothing
// to save, so past the grace the process ends here, with status 0.
extern "C" void* AwaitStopSignal(void*) {
  int received = 0;
  sigwait(&stopSignals, &received);  // fails only for a bad set
  const char byte = 1;
  const ssize_t ignored = write(signalPipe[1], &byte, 1);
  (void)ignored;
  timespec left{0, kStopGraceNanoseconds};
  while (nanosleep(&left, &left) != 0) {
  }
  _exit(0);
}

// Owns the signal thread. It is cancelled (sigwait and nanosleep are
// cancellation points) and joined when main returns, so that an orderly
// end leaves no thread behind.
class SignalThread {
 public:
  SignalThread() = default;
  SignalThread(const SignalThread&) = delete;
  SignalThread& operator=(const SignalThread&) = delete;
  ~SignalThread() {
    if (!started) return;
    pthread_cancel(id);
    pthread_join(id, nullptr);
  }
  bool Start() {
    started = pthread_create(&id, nullptr, &AwaitStopSignal, nullptr) == 0;
    return started;
  }

 private:
  pthread_t id{};
  bool started = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return 1;
}

// Once the window is known, X errors (a window destroyed under us while a
// frame is on its way) are not worth ending a screen saver for.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The server is gone (killed, or the connection broken). Xlib's own handler
// would exit() and run the process's destructors while the simulation thread
// may still be inside Xlib on its own connection; nothing is left to save,
// so the process ends here at once, touching Xlib no more from any thread.
int LeaveOnLostServer(Display*) {
  static const char message[] = "cellarium: lost the connection to the X server\n";
  const ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
  (void)ignored;
  _exit(1);
}

bool windowMissing = false;
int NoteMissingWindow(Display*, XErrorEvent*) {
  windowMissing = true;
  return 0;
}

// The module's one run, on a world built for the window's size, again for
// each new size.
class Session {
 public:
  Session(const ModuleOptions& options, LifeSettings& settingsInUse)
      : settings(settingsInUse), run(world, settingsInUse), renderer({options.showRate, options.useShm}) {
    run.SetLeastInterval(std::chrono::microseconds(options.delayMicroseconds));
    SeedFromClock();
  }

  ~Session() { Stop(); }

  // Builds the world for a drawing area of width x height and starts the
  // run on it. A world or image that cannot be had leaves the window as it is.
  void Start(Display* drawing, Window window, int width, int height, unsigned long black,
             unsigned long live) {
    try {
      BuildWorld(world, width, height, settings, buffers);
    } catch (const std::bad_alloc&) {
      return;
    }
    const BitmapSize image = TransferredBitmapSize(world, settings);
    const X11FrameRenderer::FrameFormat format{image.width, image.height,
                                               TrailsShown(settings) ? settings.TrailLength : 0,
                                               settings.PixelColor};
    if (!renderer.Prepare(drawing, window, black, live, format)) return;
    usesShm = renderer.UsesShm();
    run.Start(renderer);
  }

  void Stop() {
    run.Stop();
    renderer.Release();
  }

  std::int64_t Generations() const { return run.Generations(); }
  double Seconds() const { return std::chrono::duration<double>(run.RunningTime()).count(); }
  bool UsesShm() const { return usesShm; }

 private:
  // Seeds from the wall clock and the tick counter; the run then mixes in
  // the timing of its own generations. xscreensaver modules keep no state,
  // so nothing is carried from one run to the next.
  void SeedFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto nanoseconds = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    run.SeedFromStored(static_cast<std::uint32_t>(nanoseconds),
                       static_cast<std::uint32_t>(nanoseconds >> 32) ^ TickCount() ^
                           static_cast<std::uint32_t>(getpid()) << 16);
  }

  LifeWorld world;
  LifeSettings& settings;
  LifeRun run;
  X11FrameRenderer renderer;
  WorldBufferVectors buffers;
  bool usesShm = false;
};

}  // namespace

int main(int argc, char** argv) {
  // Before anything else, so that no moment of the run ends by the signals'
  // default action. Threads started later inherit the blocked set.
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  if (pipe(signalPipe) != 0) return Fail("cannot create a pipe");
  fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
  SignalThread signalThread;
  if (!signalThread.Start()) return Fail("cannot start a thread");

  ModuleOptions options;
  const std::string problem =
      ParseModuleOptions(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), options);
  if (!problem.empty()) return Fail(problem);
  if (options.help) {
    std::fputs(ModuleHelp(kProgram).c_str(), stdout);
    return 0;
  }

  XInitThreads();
  XSetIOErrorHandler(&LeaveOnLostServer);
  const char* name = options.displayName.empty() ? nullptr : options.displayName.c_str();
  Display* events = XOpenDisplay(name);
  if (events == nullptr) return Fail(std::string("cannot open display ") + XDisplayName(name));
  Display* drawing = XOpenDisplay(name);
  if (drawing == nullptr) return Fail(std::string("cannot open a second connection to ") + XDisplayName(name));

  const int screen = DefaultScreen(events);
  Window window = RootWindow(events, screen);
  const bool ownWindow = options.target == TargetWindow::kOwnWindow;
  Atom deleteWindow = XInternAtom(events, "WM_DELETE_WINDOW", False);
  if (options.target == TargetWindow::kWindowId) {
    window = static_cast<Window>(options.windowId);
  } else if (ownWindow) {
    window = XCreateSimpleWindow(events, window, 0, 0, static_cast<unsigned>(options.windowWidth),
                                 static_cast<unsigned>(options.windowHeight), 0,
                                 BlackPixel(events, screen), BlackPixel(events, screen));
    XStoreName(events, window, "Cellarium");
    XClassHint hint{const_cast<char*>(kProgram), const_cast<char*>("Cellarium")};
    XSetClassHint(events, window, &hint);
    XSetWMProtocols(events, window, &deleteWindow, 1);
  }

  // Follow the window's size and notice its end; a window that is not there
  // is a clear error rather than Xlib's abort.
  XWindowAttributes attributes{};
  XSync(events, False);
  windowMissing = false;
  XSetErrorHandler(&NoteMissingWindow);
  XSelectInput(events, window, StructureNotifyMask);
  const Status known = XGetWindowAttributes(events, window, &attributes);
  XSync(events, False);
  if (!known || windowMissing) {
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(window));
    return Fail(std::string("no window ") + id + " on display " + DisplayString(events));
  }
  XSetErrorHandler(&IgnoreXError);
  if (ownWindow) {
    XMapRaised(events, window);
    XSync(events, False);
  }

  const Colormap colormap =
      attributes.colormap != None ? attributes.colormap : DefaultColormap(events, screen);
  unsigned long black = BlackPixel(events, screen);
  unsigned long live = WhitePixel(events, screen);
  AllocatePixel(events, colormap, 0, black);
  AllocatePixel(events, colormap, options.settings.PixelColor, live);

  LifeSettings& settings = options.settings;
  int width = attributes.width;
  int height = attributes.height;
  auto session = std::make_unique<Session>(options, settings);
  bool running = true;
  while (running) {
    session->Start(drawing, window, width, height, black, live);

    bool resized = false;
    while (running && !resized) {
      while (XPending(events) > 0) {
        XEvent event;
        XNextEvent(events, &event);
        if (event.type == ConfigureNotify && event.xconfigure.window == window &&
            (event.xconfigure.width != width || event.xconfigure.height != height)) {
          width = event.xconfigure.width;
          height = event.xconfigure.height;
          resized = true;
        } else if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
          running = false;
        } else if (event.type == ClientMessage &&
                   static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
          running = false;
        }
      }
      if (!running || resized) break;
      pollfd waits[2] = {{ConnectionNumber(events), POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
      if (poll(waits, 2, -1) > 0 && (waits[1].revents & POLLIN) != 0) running = false;
    }
    session->Stop();
  }

  if (options.showRate) {
    const double seconds = session->Seconds();
    const auto generations = session->Generations();
    std::fprintf(stderr, "%s: %lld generations in %.2f s: %.1f generations/s (%s)\n", kProgram,
                 static_cast<long long>(generations), seconds,
                 seconds > 0 ? static_cast<double>(generations) / seconds : 0.0,
                 session->UsesShm() ? "MIT-SHM" : "XPutImage");
  }
  session.reset();
  if (ownWindow) XDestroyWindow(events, window);
  XCloseDisplay(drawing);
  XCloseDisplay(events);
  return 0;
}
