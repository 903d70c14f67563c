#include <gtest/gtest.h>

#include <array>

#include "saver/input_rules.h"
#include "saver/monitor_geometry.h"

namespace {

std::array<std::int32_t, 4> Corners(const ScreenRect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

// The window covers every monitor; the world is laid out for the primary
// monitor, or for all of them, and drawn from that area's corner.
TEST(MonitorGeometry, TheWindowCoversEveryMonitorAndTheWorldItsArea) {
  struct Case {
    ScreenRect virtualScreen;
    ScreenRect window;        // what the saver covers
    ClientOffset primary;     // the primary's corner in the client area
  };
  const ScreenRect desktop{0, 0, 1024, 768};
  const Case cases[] = {
      {{0, 0, 1024, 768}, {0, 0, 1024, 768}, {0, 0}},               // one monitor: as ever
      {{0, 0, 1824, 768}, {0, 0, 1824, 768}, {0, 0}},               // a second on the right
      {{-800, -100, 1024, 768}, {-800, -100, 1024, 768}, {800, 100}},  // left of and above it
      {{0, 0, 0, 0}, desktop, {0, 0}},                               // unknown: the desktop
  };
  for (const Case& c : cases) {
    const ScreenRect w = SaverWindowRect(c.virtualScreen, desktop);
    EXPECT_EQ(Corners(w), Corners(c.window));
    const ClientOffset origin = AreaOriginIn(WorldArea(false, desktop, w), w);
    EXPECT_EQ(origin.x, c.primary.x);
    EXPECT_EQ(origin.y, c.primary.y);
    // Spanning every monitor: the world fills the window from its corner.
    const ScreenRect spanned = WorldArea(true, desktop, w);
    EXPECT_EQ(Corners(spanned), Corners(c.window));
    EXPECT_EQ(AreaOriginIn(spanned, w).x, 0);
    EXPECT_EQ(AreaOriginIn(spanned, w).y, 0);
    // The cursor as GetCursorPos gives it, over the window's top-left
    // monitor; a message from the same spot must not close, a jump must.
    MousePosition last{w.left + 10, w.top + 10};
    EXPECT_FALSE(MouseMoveCloses(last, ScreenPositionOf({10, 10}, w)));
    EXPECT_TRUE(MouseMoveCloses(last, ScreenPositionOf({31, 31}, w)));
  }
  // An unknown covered area spans nothing: the primary monitor it is.
  EXPECT_EQ(Corners(WorldArea(true, desktop, {0, 0, 0, 0})), Corners(desktop));
}
