#pragma once
#include <cstdint>

// The key that makes the Life saver dump its world on the way out: S (0x53),
// with or without Shift, as the saver window records the last key.
inline constexpr std::uint32_t kDumpKey = 0x53;
constexpr bool KeyWritesDump(std::uint32_t lastKey) { return lastKey == kDumpKey; }
