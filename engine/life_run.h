#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

#include "engine/frame_renderer.h"
#include "engine/life_settings.h"
#include "engine/life_world.h"
#include "engine/world_setup.h"

// One run of the saver on a world, the same for every front end: the
// generator seeded from the stored seeds, the simulation thread started and
// stopped with the stop handshake, the generations and the running time
// that give the run's rate, and the pacing. A run may be stopped and started
// again (its world rebuilt in between, for a new screen size) and paused
// while no one can see it; the generation count and the running time carry
// on across its starts, and paused time is not running time. The front end keeps only what is
// its own: windows, bitmaps, the renderer, events.
//
// Threads: every member is called from one thread, the front end's. Between
// Start and Stop the simulation thread owns the world, the settings and the
// renderer; outside that time the caller does.
class LifeRun {
 public:
  using Clock = std::chrono::steady_clock;

  // The run's world and settings, which must outlive it. A new run has
  // counted nothing and has no thread to wait for.
  LifeRun(LifeWorld& world, LifeSettings& settings);
  ~LifeRun() { Stop(); }
  LifeRun(const LifeRun&) = delete;
  LifeRun& operator=(const LifeRun&) = delete;

  // Seeds the world's generator from the settings' stored seeds, each mixed
  // (exclusive or) with entropy of the front end's: a tick count, a clock.
  void SeedFromStored(std::uint32_t extra1, std::uint32_t extra2);

  // A shortest spacing of the generations beside GenerationRate, the longer
  // counting; 0, the default, is none. Takes effect at the next Start.
  void SetLeastInterval(Clock::duration interval) { leastInterval = interval; }

  // Starts the simulation thread drawing through renderer, which must stay
  // until Stop. False, with the run stopped, when no thread can be had. Only
  // when no thread runs.
  bool Start(FrameRenderer& renderer);

  // The stop handshake, then the thread's end: once it returns the caller
  // owns the world again. At once when no thread runs.
  void Stop();

  bool Running() const { return thread.joinable(); }

  // While paused the thread steps and draws nothing and waits, waking at
  // most 20 times a second; Resume carries on with the same world. Either
  // may come at any time, before Start too (the first generation then waits).
  void Pause();
  void Resume();
  bool Paused() const { return paused; }

  // A new world for a drawing area of width x height (BuildWorld): the
  // generator carries on, nothing is seeded again. Only when no thread runs.
  // Throws what the allocator throws; the world then has no buffers (a
  // Start gives up at once) rather than some of the old ones.
  WorldGeometry Rebuild(std::int32_t width, std::int32_t height,
                        WorldBufferAllocator& allocator);

  // The run's totals so far; exact once stopped.
  std::int64_t Generations() const { return world.generationCount; }
  Clock::duration RunningTime() const;
  // The running time in whole seconds, rounded to the nearest but at least
  // 1 once the thread has run at all (0 when it never ran): the divisor of
  // the stored rate.
  std::int64_t RunningSeconds() const;

 private:
  LifeWorld& world;
  LifeSettings& settings;
  Clock::duration leastInterval{0};
  Clock::duration runningTime{0};  // of the earlier starts
  Clock::time_point startedAt;     // of the current stretch, while running and not paused
  bool paused = false;
  std::thread thread;
};
