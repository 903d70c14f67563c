#include "engine/stall_detector.h"

void StallDetector::Reset() { *this = StallDetector(); }

bool StallDetector::Observe(std::int32_t changes) {
  std::int32_t& slot = counts[position];
  if (fed < kLag) {
    ++fed;  // nothing kLag generations back to compare with yet
  } else {
    const std::int32_t drift = changes > slot ? changes - slot : slot - changes;
    if (drift > kTolerance) {
      quietRun = 0;
    } else if (quietRun < kQuietSpan) {
      ++quietRun;
    }
  }
  slot = changes;
  position = position + 1 == kLag ? 0 : position + 1;
  return Stalled();
}
