#include "engine/generation_pacer.h"

#include <algorithm>
#include <thread>

GenerationPacer::GenerationPacer(std::int32_t generationsPerSecond, Clock::duration leastInterval,
                                 Clock::time_point start)
    : due(start) {
  if (generationsPerSecond > 0) {
    interval = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) /
               generationsPerSecond;
  }
  interval = std::max(interval, leastInterval);
}

GenerationPacer::Clock::time_point GenerationPacer::NextDue(Clock::time_point now) {
  due += interval;
  if (now - due > interval) due = now;
  return due;
}

void WaitUntilDue(GenerationPacer::Clock::time_point due,
                  const std::atomic<std::int32_t>& stopFlag) {
  while (stopFlag.load() == 0) {
    const auto left = due - GenerationPacer::Clock::now();
    if (left <= GenerationPacer::Clock::duration::zero()) return;
    std::this_thread::sleep_for(
        std::min<GenerationPacer::Clock::duration>(left, kPaceSlice));
  }
}

void WaitWhilePaused(const std::atomic<std::int32_t>& pauseFlag,
                     const std::atomic<std::int32_t>& stopFlag) {
  while (pauseFlag.load() != 0 && stopFlag.load() == 0) std::this_thread::sleep_for(kPauseSlice);
}
