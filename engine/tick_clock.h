#pragma once
#include <cstdint>

// The system's milliseconds-since-start counter (GetTickCount on Windows).
// Reached through one replaceable function so the core stays portable and
// tests can fix the clock.
using TickSource = std::uint32_t (*)();

std::uint32_t TickCount();

// Installs a tick source (null restores the platform's) and returns the old one.
TickSource SetTickSource(TickSource source);
