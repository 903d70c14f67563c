#include "saver/monitor_geometry.h"

namespace {

bool IsEmpty(const ScreenRect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

ScreenRect SaverWindowRect(ScreenRect virtualScreen, ScreenRect desktop) {
  return IsEmpty(virtualScreen) ? desktop : virtualScreen;
}

ScreenRect WorldArea(bool allMonitors, ScreenRect primary, ScreenRect covered) {
  return allMonitors && !IsEmpty(covered) ? covered : primary;
}

ClientOffset AreaOriginIn(ScreenRect area, ScreenRect window) {
  return {area.left - window.left, area.top - window.top};
}
