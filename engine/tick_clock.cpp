#include "engine/tick_clock.h"

#include <chrono>

#if defined(_WIN32)
// The one kernel32 function the core needs, declared here so that the core
// never includes <windows.h>.
extern "C" __declspec(dllimport) unsigned long __stdcall GetTickCount(void);
#endif

namespace {

std::uint32_t PlatformTickCount() {
#if defined(_WIN32)
  return static_cast<std::uint32_t>(GetTickCount());
#else
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}

// Constant-initialised, so it is valid before any static constructor runs
// (the global settings read the clock during static initialisation).
TickSource currentSource = &PlatformTickCount;

}  // namespace

std::uint32_t TickCount() { return currentSource(); }

TickSource SetTickSource(TickSource source) {
  TickSource previous = currentSource;
  currentSource = source != nullptr ? source : &PlatformTickCount;
  return previous;
}
