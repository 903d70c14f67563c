#pragma once
#include <cstdint>

#include "saver/monitor_geometry.h"

// The decisions of the saver window's input handling, free of the platform:
// how a message's parameters decode, and whether the message closes the
// saver.

struct MousePosition {
  std::int32_t x;
  std::int32_t y;
};

// The position of a mouse message: x and y from the low and high 16 bits of
// the second message parameter, each sign-extended.
MousePosition MousePositionFromParam(std::intptr_t lParam);

// A jump of more than 20 pixels on both axes from the last reported position
// closes the saver; anything less is remembered instead, so slow movement
// never closes it however far it goes. Updates last only when it does not close.
bool MouseMoveCloses(MousePosition& last, MousePosition now);

// WM_ACTIVATE: the state in the low 16 bits of the first parameter;
// WA_INACTIVE (0) closes.
bool ActivateCloses(std::uintptr_t wParam);

// WM_ACTIVATEAPP: the application losing activation (first parameter 0) closes.
bool ActivateAppCloses(std::uintptr_t wParam);

// WM_SYSCOMMAND: a request to start a screen saver (SC_SCREENSAVE, 0xF140,
// whatever the low four bits) is swallowed while this one runs.
bool IsScreenSaveCommand(std::uintptr_t wParam);

// WM_KEYDOWN records its whole first parameter as the last key; WM_SYSKEYDOWN
// records nothing.
std::uint32_t RecordedKey(std::uintptr_t wParam);

// A mouse message's client position in screen coordinates, for a window
// placed at window: jumps are measured there, where the remembered cursor
// position lives, on whichever monitor the pointer is.
MousePosition ScreenPositionOf(MousePosition client, ScreenRect window);
