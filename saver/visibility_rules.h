#pragma once
#include <cstdint>

// Whether anyone can see the saver: its display is on (or dimmed) and its
// session is on a screen. A saver no one can see should cost nothing.
//
// The display state is the value of a display-status power notification:
// 0 off, 1 on, 2 dimmed. Session changes are the codes of the session
// notification: a console or remote disconnect (the console switched to
// another user, a remote session closed without logging off) takes the
// session off every screen, a connect brings it back; other codes (log-on,
// lock and the like) change nothing.
class SaverVisibility {
 public:
  static constexpr std::uint32_t kDisplayOff = 0;
  static constexpr std::uint32_t kConsoleConnect = 1;
  static constexpr std::uint32_t kConsoleDisconnect = 2;
  static constexpr std::uint32_t kRemoteConnect = 3;
  static constexpr std::uint32_t kRemoteDisconnect = 4;

  // Each returns whether Visible() changed.
  bool DisplayState(std::uint32_t state);
  bool SessionChange(std::uint32_t code);

  bool Visible() const { return displayOn && connected; }

 private:
  bool Set(bool& field, bool value);

  bool displayOn = true;
  bool connected = true;
};
