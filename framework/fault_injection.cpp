#include "framework/fault_injection.h"

namespace {

FaultHook installedHook = nullptr;

}  // namespace

FaultHook SetFaultHook(FaultHook hook) {
  const FaultHook previous = installedHook;
  installedHook = hook;
  return previous;
}

bool FaultInjected(FaultPoint point) { return installedHook != nullptr && installedHook(point); }
