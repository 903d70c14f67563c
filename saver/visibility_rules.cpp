#include "saver/visibility_rules.h"

bool SaverVisibility::Set(bool& field, bool value) {
  const bool before = Visible();
  field = value;
  return Visible() != before;
}

bool SaverVisibility::DisplayState(std::uint32_t state) {
  return Set(displayOn, state != kDisplayOff);
}

bool SaverVisibility::SessionChange(std::uint32_t code) {
  switch (code) {
    case kConsoleConnect:
    case kRemoteConnect:
      return Set(connected, true);
    case kConsoleDisconnect:
    case kRemoteDisconnect:
      return Set(connected, false);
    default:
      return false;
  }
}
