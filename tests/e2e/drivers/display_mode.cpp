// display_mode.exe WIDTH HEIGHT: switches the primary display to that mode
// with ChangeDisplaySettingsEx, as a user, a game or a docking station does,
// so that every window is sent WM_DISPLAYCHANGE. Prints one line:
//   display_mode: 1024x768 -> 1280x1024
// The change is not stored in the registry. Exits 1 with the list of modes
// the display offers when the mode is refused, 2 on bad arguments.
// display_mode.exe with no arguments prints the current mode and the list.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

DEVMODEW CurrentMode() {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) {
    mode.dmPelsWidth = 0;
    mode.dmPelsHeight = 0;
  }
  return mode;
}

// The sizes offered at the current colour depth, each once (a size repeats
// for each refresh rate), in the order the display lists them.
void PrintModes(std::FILE* to, DWORD bitsPerPixel) {
  std::fprintf(to, "modes offered at %lu bits a pixel:", static_cast<unsigned long>(bitsPerPixel));
  DWORD lastWidth = 0, lastHeight = 0;
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
    if (mode.dmBitsPerPel != bitsPerPixel ||
        (mode.dmPelsWidth == lastWidth && mode.dmPelsHeight == lastHeight)) {
      continue;
    }
    lastWidth = mode.dmPelsWidth;
    lastHeight = mode.dmPelsHeight;
    std::fprintf(to, " %lux%lu", static_cast<unsigned long>(lastWidth),
                 static_cast<unsigned long>(lastHeight));
  }
  std::fprintf(to, "\n");
}

const char* ChangeResultName(LONG result) {
  switch (result) {
    case DISP_CHANGE_BADMODE: return "DISP_CHANGE_BADMODE";
    case DISP_CHANGE_FAILED: return "DISP_CHANGE_FAILED";
    case DISP_CHANGE_BADPARAM: return "DISP_CHANGE_BADPARAM";
    case DISP_CHANGE_BADFLAGS: return "DISP_CHANGE_BADFLAGS";
    case DISP_CHANGE_NOTUPDATED: return "DISP_CHANGE_NOTUPDATED";
    case DISP_CHANGE_RESTART: return "DISP_CHANGE_RESTART";
    default: return "an unknown code";
  }
}

bool ParseSize(const char* text, DWORD& value) {
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || parsed == 0 || parsed > 65535) return false;
  value = static_cast<DWORD>(parsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const DEVMODEW before = CurrentMode();
  if (argc == 1) {
    std::printf("display_mode: %lux%lu\n", static_cast<unsigned long>(before.dmPelsWidth),
                static_cast<unsigned long>(before.dmPelsHeight));
    PrintModes(stdout, before.dmBitsPerPel);
    return 0;
  }
  DWORD width = 0, height = 0;
  if (argc != 3 || !ParseSize(argv[1], width) || !ParseSize(argv[2], height)) {
    std::fprintf(stderr, "usage: display_mode [WIDTH HEIGHT]\n");
    return 2;
  }
  DEVMODEW wanted{};
  wanted.dmSize = sizeof wanted;
  wanted.dmPelsWidth = width;
  wanted.dmPelsHeight = height;
  wanted.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  const LONG result = ChangeDisplaySettingsExW(nullptr, &wanted, nullptr, 0, nullptr);
  if (result != DISP_CHANGE_SUCCESSFUL) {
    std::fprintf(stderr, "error: the display refused %lux%lu (%s, %ld)\n",
                 static_cast<unsigned long>(width), static_cast<unsigned long>(height),
                 ChangeResultName(result), static_cast<long>(result));
    PrintModes(stderr, before.dmBitsPerPel);
    return 1;
  }
  const DEVMODEW after = CurrentMode();
  std::printf("display_mode: %lux%lu -> %lux%lu\n", static_cast<unsigned long>(before.dmPelsWidth),
              static_cast<unsigned long>(before.dmPelsHeight),
              static_cast<unsigned long>(after.dmPelsWidth),
              static_cast<unsigned long>(after.dmPelsHeight));
  if (after.dmPelsWidth != width || after.dmPelsHeight != height) {
    std::fprintf(stderr, "error: the change was accepted but the display is now %lux%lu\n",
                 static_cast<unsigned long>(after.dmPelsWidth),
                 static_cast<unsigned long>(after.dmPelsHeight));
    return 1;
  }
  return 0;
}
