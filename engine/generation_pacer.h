#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>

// Spaces the generations of a run to at most a given number a second.
// Due times follow one schedule from the start of the run, so a wait that
// ends a little late is made up by the next ones and the average is the rate
// asked for; a run that falls more than one interval behind (a slow machine,
// a stall) starts the schedule again from then rather than bursting to
// catch up. Plain arithmetic on the clock's time points, no waiting.
class GenerationPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // generationsPerSecond 0 (or less) is no limit; leastInterval (0: none)
  // is a shortest spacing of its own, the longer of the two counting.
  GenerationPacer(std::int32_t generationsPerSecond, Clock::time_point start)
      : GenerationPacer(generationsPerSecond, Clock::duration::zero(), start) {}
  GenerationPacer(std::int32_t generationsPerSecond, Clock::duration leastInterval,
                  Clock::time_point start);

  bool Limited() const { return interval.count() > 0; }

  // When the next generation is due, one generation having ended at now.
  // Only for a limited pacer.
  Clock::time_point NextDue(Clock::time_point now);

  // A new schedule from now, as after a stall: after a pause, say.
  void Restart(Clock::time_point now) { due = now; }

 private:
  Clock::duration interval{0};
  Clock::time_point due;
};

// The longest single sleep while waiting for a due time: a stop request is
// seen within about this long.
inline constexpr std::chrono::milliseconds kPaceSlice{5};

// Sleeps until due, in slices of at most kPaceSlice, and returns early as
// soon as stopFlag is no longer 0. Allocates nothing.
void WaitUntilDue(GenerationPacer::Clock::time_point due,
                  const std::atomic<std::int32_t>& stopFlag);

// The longest single sleep while paused: at most 20 wake-ups a second, and
// a stop request seen within about this long.
inline constexpr std::chrono::milliseconds kPauseSlice{50};

// Sleeps in slices of kPauseSlice while pauseFlag is nonzero and stopFlag 0.
// Allocates nothing.
void WaitWhilePaused(const std::atomic<std::int32_t>& pauseFlag,
                     const std::atomic<std::int32_t>& stopFlag);
