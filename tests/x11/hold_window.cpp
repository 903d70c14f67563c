// A plain window for the module to draw into with -window-id, as
// xscreensaver's own window would be: WIDTHxHEIGHT at the top-left corner,
// white (so that any part the module leaves undrawn shows), its id printed
// in hex on the first line. Stays until it is killed or its window is
// destroyed. With "grab", it first takes a server grab and holds it, as a
// client that keeps the server from answering anyone else.
//
//   x11_hold_window WIDTH HEIGHT [grab]
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const bool grab = argc == 4 && std::strcmp(argv[3], "grab") == 0;
  const int width = argc == 3 || grab ? std::atoi(argv[1]) : 0;
  const int height = argc == 3 || grab ? std::atoi(argv[2]) : 0;
  if (width < 1 || height < 1) {
    std::fprintf(stderr, "usage: x11_hold_window WIDTH HEIGHT [grab]\n");
    return 1;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11_hold_window: cannot open display %s\n", XDisplayName(nullptr));
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(
      display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
      static_cast<unsigned>(height), 0, WhitePixel(display, screen), WhitePixel(display, screen));
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify) {
      if (grab) {
        XGrabServer(display);
        XSync(display, False);
      }
      std::printf("0x%lx\n", static_cast<unsigned long>(window));
      std::fflush(stdout);
    }
    if (event.type == DestroyNotify) return 0;
  }
}
