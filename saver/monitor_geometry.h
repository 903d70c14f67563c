#pragma once
#include <cstdint>

// Where the saver's window and drawing lie among the monitors, free of the
// platform. Screen coordinates put the primary monitor's top-left corner at
// (0, 0); other monitors may lie at negative coordinates.

struct ScreenRect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// A point in a window's client area: where the drawing's (0, 0) goes.
struct ClientOffset {
  std::int32_t x;
  std::int32_t y;
};

// The saver window covers the virtual screen, every monitor; when that is
// unknown (an empty rectangle) it covers the desktop window's rectangle.
ScreenRect SaverWindowRect(ScreenRect virtualScreen, ScreenRect desktop);

// The area the world is laid out for and drawn into: the primary monitor,
// or with allMonitors the rectangle the window covers (the bounding box of
// every monitor; what no monitor shows of it is simply not seen). An empty
// covered rectangle falls back to the primary monitor.
ScreenRect WorldArea(bool allMonitors, ScreenRect primary, ScreenRect covered);

// Where area's top-left corner lies in the client area of a window placed
// at window: the drawing's origin.
ClientOffset AreaOriginIn(ScreenRect area, ScreenRect window);
