#include "x11/module_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/trail_shades.h"
#include "ui/options_rules.h"

namespace {

// A named value of an option that takes one of a few words.
struct Choice {
  const char* name;
  std::int32_t value;
};

// Shifts as the dialog's size sliders store them: 0 full, 1 half, 2 quarter.
constexpr Choice kSizeChoices[] = {{"full", 0}, {"half", 1}, {"quarter", 2}};
constexpr Choice kZoomChoices[] = {{"1", 0}, {"2", 1}, {"4", 2}};
// Positions of the dialog's mutation-rate slider.
constexpr Choice kRateChoices[] = {{"never", 0}, {"rarely", 1}, {"sometimes", 2}, {"often", 3}};

template <std::size_t N>
bool Lookup(const Choice (&choices)[N], const std::string& text, std::int32_t& value) {
  for (const Choice& c : choices) {
    if (text == c.name) {
      value = c.value;
      return true;
    }
  }
  return false;
}

template <std::size_t N>
const char* NameOf(const Choice (&choices)[N], std::int32_t value) {
  for (const Choice& c : choices) {
    if (c.value == value) return c.name;
  }
  return "?";
}

template <std::size_t N>
std::string Alternatives(const Choice (&choices)[N]) {
  std::string text;
  for (const Choice& c : choices) {
    if (!text.empty()) text += '|';
    text += c.name;
  }
  return text;
}

// What the options say that only makes sense once all are read.
struct ParseState {
  std::int32_t ratePosition;
  bool window = false;
  bool root = false;
  bool windowId = false;
};

using Handler = std::string (*)(ModuleOptions&, ParseState&, const std::string&);

// What -help adds to an option's line from the default settings: " (default
// X)" for a value, " (the default)" for the flag that is on by default, and
// nothing otherwise.
using DefaultText = std::string (*)(const LifeSettings&);

// One option: its name without the dash, the value it takes (null for a
// flag), the -help line, what it does, and its default's text (null for
// none).
struct OptionRow {
  const char* name;
  const char* value;
  const char* help;
  Handler apply;
  DefaultText defaultText = nullptr;
};

std::string DefaultIs(const std::string& text) { return " (default " + text + ")"; }
std::string TheDefaultWhen(bool on) { return on ? " (the default)" : ""; }

template <std::size_t N>
std::string Choose(const Choice (&choices)[N], const std::string& text, std::int32_t& field) {
  if (Lookup(choices, text, field)) return {};
  return "must be one of " + Alternatives(choices);
}

constexpr OptionRow kOptions[] = {
    // Where to draw.
    {"root", nullptr, "draw on the root window (or $XSCREENSAVER_WINDOW when set)",
     [](ModuleOptions&, ParseState& s, const std::string&) { s.root = true; return std::string(); }},
    {"window", nullptr, "draw in a window of its own (the default)",
     [](ModuleOptions&, ParseState& s, const std::string&) { s.window = true; return std::string(); }},
    {"window-id", "ID", "draw into an existing window (decimal or 0x hex)",
     [](ModuleOptions& o, ParseState& s, const std::string& v) {
       s.windowId = true;
       return ParseWindowId(v, o.windowId) ? std::string() : std::string("must be a window id");
     }},
    {"geometry", "WxH", "size of its own window (default 1024x768)",
     [](ModuleOptions& o, ParseState&, const std::string& v) {
       int w = 0, h = 0;
       char tail = 0;
       if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 ||
           w > 32768 || h > 32768) {
         return std::string("must be WIDTHxHEIGHT, each 1 to 32768");
       }
       o.windowWidth = w;
       o.windowHeight = h;
       return std::string();
     }},
    {"display", "NAME", "the X display to use (default $DISPLAY)",
     [](ModuleOptions& o, ParseState&, const std::string& v) { o.displayName = v; return std::string(); }},
    {"delay", "USEC", "least microseconds from one generation to the next (default 0: none)",
     [](ModuleOptions& o, ParseState&, const std::string& v) {
       errno = 0;
       char* end = nullptr;
       const long long n = std::strtoll(v.c_str(), &end, 10);
       if (v.empty() || *end != '\0' || errno != 0 || n < 0 || n > kMaxDelayMicroseconds) {
         return "must be a whole number from 0 to " + std::to_string(kMaxDelayMicroseconds);
       }
       o.delayMicroseconds = static_cast<std::uint32_t>(n);
       return std::string();
     }},
    {"fps", nullptr, "show the generation rate",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.showRate = true; return std::string(); }},
    {"no-fps", nullptr, "do not show it (the default)",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.showRate = false; return std::string(); }},
    // The settings of the options dialog.
    {"world-size", "full|half|quarter", "world size against the screen",
     [](ModuleOptions& o, ParseState&, const std::string& v) { return Choose(kSizeChoices, v, o.settings.WorldSize); },
     [](const LifeSettings& d) { return DefaultIs(NameOf(kSizeChoices, d.WorldSize)); }},
    {"zoom", "1|2|4", "pixels per cell side",
     [](ModuleOptions& o, ParseState&, const std::string& v) { return Choose(kZoomChoices, v, o.settings.ZoomFactor); },
     [](const LifeSettings& d) { return DefaultIs(NameOf(kZoomChoices, d.ZoomFactor)); }},
    {"tiled", nullptr, "repeat a smaller world across the screen",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.IsTiled = 1; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.IsTiled != 0); }},
    {"no-tiled", nullptr, "draw one copy, centred",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.IsTiled = 0; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.IsTiled == 0); }},
    {"soup-size", "full|half|quarter", "the random band the world starts with",
     [](ModuleOptions& o, ParseState&, const std::string& v) { return Choose(kSizeChoices, v, o.settings.InitSize); },
     [](const LifeSettings& d) { return DefaultIs(NameOf(kSizeChoices, d.InitSize)); }},
    {"mutation-rate", "never|rarely|sometimes|often", "how often a random cell flips",
     [](ModuleOptions&, ParseState& s, const std::string& v) { return Choose(kRateChoices, v, s.ratePosition); },
     [](const LifeSettings& d) {
       return DefaultIs(NameOf(kRateChoices, RatePositionFor(d.WorldMutationRate, d.MutateAtSteadyState != 0)));
     }},
    {"steady-state", nullptr, "count only generations that changed nothing",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.MutateAtSteadyState = 1; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.MutateAtSteadyState != 0); }},
    {"no-steady-state", nullptr, "count every generation toward a mutation",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.MutateAtSteadyState = 0; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.MutateAtSteadyState == 0); }},
    {"show-mutations", nullptr, "draw a flipped cell in the frame it flips",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.ShowMutations = 1; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.ShowMutations != 0); }},
    {"no-show-mutations", nullptr, "show it only through its effect",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.ShowMutations = 0; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.ShowMutations == 0); }},
    {"color", "#RRGGBB", "colour of live cells",
     [](ModuleOptions& o, ParseState&, const std::string& v) {
       return ParseColor(v, o.settings.PixelColor) ? std::string() : std::string("must be #RRGGBB");
     },
     [](const LifeSettings& d) { return DefaultIs(FormatColor(d.PixelColor)); }},
    {"renew", nullptr, "start a new soup once the world has stalled",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.RenewWhenStalled = 1; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.RenewWhenStalled != 0); }},
    {"no-renew", nullptr, "keep the stalled world",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.settings.RenewWhenStalled = 0; return std::string(); },
     [](const LifeSettings& d) { return TheDefaultWhen(d.RenewWhenStalled == 0); }},
    {"trails", "N", "generations a dead cell takes to fade out, 0 to 64; 0: no trails",
     [](ModuleOptions& o, ParseState&, const std::string& v) {
       errno = 0;
       char* end = nullptr;
       const long n = std::strtol(v.c_str(), &end, 10);
       if (v.empty() || *end != '\0' || errno != 0 || n < 0 || n > kMaxTrailLength) {
         return "must be a whole number from 0 to " + std::to_string(kMaxTrailLength);
       }
       o.settings.TrailLength = static_cast<std::int32_t>(n);
       return std::string();
     },
     [](const LifeSettings& d) { return DefaultIs(std::to_string(d.TrailLength)); }},
    // Diagnostics.
    {"no-shm", nullptr, "send frames without the shared-memory extension",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.useShm = false; return std::string(); }},
    {"help", nullptr, "print this and exit",
     [](ModuleOptions& o, ParseState&, const std::string&) { o.help = true; return std::string(); }},
};

const OptionRow* FindOption(const char* argument) {
  if (argument[0] != '-') return nullptr;
  const char* name = argument + (argument[1] == '-' ? 2 : 1);
  if (std::strcmp(name, "h") == 0) name = "help";
  for (const OptionRow& row : kOptions) {
    if (std::strcmp(row.name, name) == 0) return &row;
  }
  return nullptr;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseColor(const std::string& text, std::uint32_t& colorRef) {
  if (text.size() != 7 || text[0] != '#') return false;
  std::uint32_t rgb = 0;
  for (std::size_t i = 1; i < 7; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) return false;
    rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
  }
  colorRef = (rgb >> 16 & 0xFFu) | (rgb & 0xFF00u) | (rgb & 0xFFu) << 16;
  return true;
}

std::string FormatColor(std::uint32_t colorRef) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", colorRef & 0xFFu, colorRef >> 8 & 0xFFu,
                colorRef >> 16 & 0xFFu);
  return text;
}

bool ParseWindowId(const std::string& text, std::uint64_t& id) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || errno != 0 || value == 0 || value > 0xFFFFFFFFu) return false;
  id = value;
  return true;
}

std::string ParseModuleOptions(int argc, const char* const* argv, const char* screensaverWindow,
                               ModuleOptions& options) {
  ParseState state{RatePositionFor(options.settings.WorldMutationRate,
                                   options.settings.MutateAtSteadyState != 0)};
  for (int i = 1; i < argc; ++i) {
    const OptionRow* row = FindOption(argv[i]);
    if (row == nullptr) return std::string("unknown option ") + argv[i] + " (try -help)";
    std::string value;
    if (row->value != nullptr) {
      if (i + 1 >= argc) return std::string(argv[i]) + " needs a value: " + row->value;
      value = argv[++i];
    }
    const std::string problem = row->apply(options, state, value);
    if (!problem.empty()) return std::string(argv[i - (row->value ? 1 : 0)]) + " " + value + ": " + problem;
  }

  options.settings.WorldMutationRate =
      RateForPosition(state.ratePosition, options.settings.MutateAtSteadyState != 0);
  options.settings.NormalizeSettings();

  if (state.windowId) {
    options.target = TargetWindow::kWindowId;
  } else if (state.window) {
    options.target = TargetWindow::kOwnWindow;
  } else if (screensaverWindow != nullptr && screensaverWindow[0] != '\0') {
    if (!ParseWindowId(screensaverWindow, options.windowId)) {
      return std::string("XSCREENSAVER_WINDOW=") + screensaverWindow + " is not a window id";
    }
    options.target = TargetWindow::kWindowId;
  } else {
    options.target = state.root ? TargetWindow::kRoot : TargetWindow::kOwnWindow;
  }
  return {};
}

std::string ModuleHelp(const char* programName) {
  const LifeSettings defaults;
  std::string text = std::string("usage: ") + programName + " [options]\n" +
                     "Conway's Life as an xscreensaver module. Options (- or --):\n";
  for (const OptionRow& row : kOptions) {
    std::string left = std::string("  -") + row.name;
    if (row.value != nullptr) left += std::string(" ") + row.value;
    std::string line = left;
    line.resize(left.size() < 46 ? 46 : left.size() + 1, ' ');
    line += row.help;
    if (row.defaultText != nullptr) line += row.defaultText(defaults);
    text += line + '\n';
  }
  return text;
}
