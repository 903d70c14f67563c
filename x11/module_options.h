#pragma once
#include <cstdint>
#include <string>

#include "engine/life_settings.h"

// The X11 module's command line, free of any X call: xscreensaver's
// conventions (-root, -window, -window-id, -delay, -fps) beside one option
// per setting of the Windows options dialog. Every option is written with
// one dash or two. Values are checked here, where they enter; the settings
// record that comes out is normalised and trusted afterwards.

// Where the frames go.
enum class TargetWindow {
  kOwnWindow,  // a new top-level window (-window, or nothing said)
  kRoot,       // the screen's root window (-root)
  kWindowId,   // an existing window: -window-id, or $XSCREENSAVER_WINDOW
};

struct ModuleOptions {
  LifeSettings settings;             // defaults, then the options over them
  std::uint32_t delayMicroseconds = 0;  // shortest spacing of generations
  bool showRate = false;             // -fps
  bool useShm = true;                // MIT-SHM when the server has it
  bool help = false;                 // -help: print ModuleHelp and exit 0
  TargetWindow target = TargetWindow::kOwnWindow;
  std::uint64_t windowId = 0;        // for kWindowId
  std::string displayName;           // -display; empty: $DISPLAY
  int windowWidth = 1024;            // -geometry, for the module's own window
  int windowHeight = 768;
};

inline constexpr std::uint32_t kMaxDelayMicroseconds = 10'000'000;

// Parses argv[1..argc-1] into options (which start at their defaults).
// screensaverWindow is the value of $XSCREENSAVER_WINDOW, or null: it is the
// target unless -window or -window-id says otherwise. Returns an empty
// string on success, else one line saying what is wrong (the options are
// then unspecified). The mutation interval comes from the rate name and the
// steady-state flag together, as the options dialog maps its slider.
std::string ParseModuleOptions(int argc, const char* const* argv, const char* screensaverWindow,
                               ModuleOptions& options);

// "#RRGGBB" (hex digits of either case) as a COLORREF, 0x00BBGGRR.
bool ParseColor(const std::string& text, std::uint32_t& colorRef);
// The same colour written back as "#RRGGBB".
std::string FormatColor(std::uint32_t colorRef);

// A window id as xscreensaver passes it: decimal or 0x-prefixed hex, non-zero.
bool ParseWindowId(const std::string& text, std::uint64_t& id);

// The -help text: usage line, then every option with its values and default.
std::string ModuleHelp(const char* programName);
