#include "saver/input_rules.h"

namespace {

constexpr std::int64_t kJumpPixels = 20;

std::int64_t Distance(std::int32_t a, std::int32_t b) {
  const std::int64_t d = std::int64_t{a} - b;  // 64-bit: no overflow at any pair
  return d < 0 ? -d : d;
}

}  // namespace

MousePosition MousePositionFromParam(std::intptr_t lParam) {
  const auto bits = static_cast<std::uintptr_t>(lParam);
  return {static_cast<std::int16_t>(static_cast<std::uint16_t>(bits & 0xFFFFu)),
          static_cast<std::int16_t>(static_cast<std::uint16_t>((bits >> 16) & 0xFFFFu))};
}

bool MouseMoveCloses(MousePosition& last, MousePosition now) {
  if (Distance(now.x, last.x) > kJumpPixels && Distance(now.y, last.y) > kJumpPixels) return true;
  last = now;
  return false;
}

bool ActivateCloses(std::uintptr_t wParam) { return (wParam & 0xFFFFu) == 0; }

bool ActivateAppCloses(std::uintptr_t wParam) { return wParam == 0; }

bool IsScreenSaveCommand(std::uintptr_t wParam) { return (wParam & 0xFFF0u) == 0xF140u; }

std::uint32_t RecordedKey(std::uintptr_t wParam) { return static_cast<std::uint32_t>(wParam); }

MousePosition ScreenPositionOf(MousePosition client, ScreenRect window) {
  return {client.x + window.left, client.y + window.top};
}
