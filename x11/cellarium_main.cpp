// cellarium: Conway's Life as an xscreensaver module. The portable core does
// everything but the window: this file picks the window, follows its size,
// and runs the core's simulation loop on a thread of its own with an X11
// renderer, the way the Windows saver runs it behind its saver window.
//
// Two connections to the server: the main thread's watches the window
// (resizes, its destruction, the window manager's close) and the signal
// pipe; the simulation thread draws through the renderer's. A resize or a
// signal stops the loop with the core's handshake; a resize then builds a
// new world for the new size.
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
#include <system_error>
#include <thread>

#include "engine/life_world.h"
#include "engine/simulation_loop.h"
#include "engine/tick_clock.h"
#include "engine/world_setup.h"
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

// The stop handshake's wait: sleeps between looks, since the simulation
// thread may be held inside Xlib for a long time by a server that does not
// answer.
void PauseWhileStopping() {
  const timespec pause{0, 1'000'000};
  nanosleep(&pause, nullptr);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  return 1;
}

// Once the window is known, X errors (a window destroyed under us while a
// frame is on its way) are not worth ending a screen saver for.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

bool windowMissing = false;
int NoteMissingWindow(Display*, XErrorEvent*) {
  windowMissing = true;
  return 0;
}

unsigned long AllocatePixel(Display* display, Colormap colormap, std::uint32_t colorRef,
                            unsigned long fallback) {
  XColor color{};
  color.red = static_cast<unsigned short>((colorRef & 0xFFu) * 0x101u);
  color.green = static_cast<unsigned short>((colorRef >> 8 & 0xFFu) * 0x101u);
  color.blue = static_cast<unsigned short>((colorRef >> 16 & 0xFFu) * 0x101u);
  color.flags = DoRed | DoGreen | DoBlue;
  return XAllocColor(display, colormap, &color) ? color.pixel : fallback;
}

// One world for one window size, and its run on the simulation thread.
class Session {
 public:
  Session(const ModuleOptions& options, LifeSettings& settingsInUse)
      : settings(settingsInUse),
        renderer(world, settingsInUse,
                 {options.delayMicroseconds, options.showRate, options.useShm}) {}

  ~Session() { Stop(); }

  // Builds the world for a drawing area of width x height and starts the
  // loop. A world or image that cannot be had leaves the window as it is.
  void Start(Display* drawing, Window window, int width, int height, unsigned long black,
             unsigned long live) {
    try {
      BuildWorld(world, width, height, settings, buffers);
    } catch (const std::bad_alloc&) {
      return;
    }
    if (!renderer.Prepare(drawing, window, black, live)) return;
    usesShm = renderer.UsesShm();

    PrepareSimulationStart(world, std::time(nullptr));
    startTick = TickCount();
    try {
      thread = std::thread([this] { RunSimulation(world, settings, renderer); });
    } catch (const std::system_error&) {
      world.stopFlag.store(1);
    }
  }

  void Stop() {
    RequestStopAndWait(world, &PauseWhileStopping);
    if (thread.joinable()) {
      thread.join();
      elapsed = TickCount() - startTick;
    }
    renderer.Release();
  }

  void SeedWith(std::int32_t seed1, std::int32_t seed2) { world.generator.Seed(seed1, seed2); }
  // Carries the generator on into the next world, as one run.
  void SeedFrom(Session& previous) { world.generator = previous.world.generator; }

  std::int64_t Generations() const { return world.generationCount; }
  std::uint32_t Milliseconds() const { return elapsed; }  // of the run, once stopped
  bool UsesShm() const { return usesShm; }

 private:
  LifeWorld world;
  LifeSettings& settings;
  X11FrameRenderer renderer;
  WorldBufferVectors buffers;
  std::thread thread;
  std::uint32_t startTick = 0;
  std::uint32_t elapsed = 0;
  bool usesShm = false;
};

// Seeds from the wall clock and the tick counter; the run then mixes in the
// timing of its own generations. xscreensaver modules keep no state, so
// nothing is carried from one run to the next.
void SeedFromClock(Session& session, const LifeSettings& settings) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto nanoseconds = static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  const auto seed1 = static_cast<std::uint32_t>(nanoseconds) ^ static_cast<std::uint32_t>(settings.Seed1);
  const auto seed2 = static_cast<std::uint32_t>(nanoseconds >> 32) ^ TickCount() ^
                     static_cast<std::uint32_t>(settings.Seed2) ^
                     static_cast<std::uint32_t>(getpid()) << 16;
  session.SeedWith(static_cast<std::int32_t>(seed1), static_cast<std::int32_t>(seed2));
}

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
  const unsigned long black = AllocatePixel(events, colormap, 0, BlackPixel(events, screen));
  const unsigned long live =
      AllocatePixel(events, colormap, options.settings.PixelColor, WhitePixel(events, screen));

  LifeSettings& settings = options.settings;
  int width = attributes.width;
  int height = attributes.height;
  std::int64_t generations = 0;
  std::uint64_t milliseconds = 0;
  bool shm = false;
  std::unique_ptr<Session> session;
  bool running = true;
  while (running) {
    auto next = std::make_unique<Session>(options, settings);
    if (session) {
      next->SeedFrom(*session);
    } else {
      SeedFromClock(*next, settings);
    }
    session = std::move(next);
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
    generations += session->Generations();
    milliseconds += session->Milliseconds();
    shm = session->UsesShm();
  }

  if (options.showRate) {
    std::fprintf(stderr, "%s: %lld generations in %.2f s: %.1f generations/s (%s)\n", kProgram,
                 static_cast<long long>(generations), static_cast<double>(milliseconds) / 1000.0,
                 milliseconds > 0 ? static_cast<double>(generations) * 1000.0 /
                                        static_cast<double>(milliseconds)
                                  : 0.0,
                 shm ? "MIT-SHM" : "XPutImage");
  }
  session.reset();
  if (ownWindow) XDestroyWindow(events, window);
  XCloseDisplay(drawing);
  XCloseDisplay(events);
  return 0;
}
