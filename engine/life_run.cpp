#include "engine/life_run.h"

#include <algorithm>
#include <system_error>

#include "engine/simulation_loop.h"

LifeRun::LifeRun(LifeWorld& lifeWorld, LifeSettings& settingsInUse)
    : world(lifeWorld), settings(settingsInUse) {
  world.stopFlag.store(1);
  world.generationCount = 0;
}

void LifeRun::SeedFromStored(std::uint32_t extra1, std::uint32_t extra2) {
  world.generator.Seed(static_cast<std::int32_t>(static_cast<std::uint32_t>(settings.Seed1) ^ extra1),
                       static_cast<std::int32_t>(static_cast<std::uint32_t>(settings.Seed2) ^ extra2));
}

bool LifeRun::Start(FrameRenderer& renderer) {
  if (Running()) return false;
  PrepareSimulationStart(world);
  startedAt = Clock::now();
  try {
    thread = std::thread([this, &renderer] {
      RunSimulation(world, settings, renderer, leastInterval);
    });
  } catch (const std::system_error&) {
    world.stopFlag.store(1);  // nothing to wait for
    return false;
  }
  return true;
}

void LifeRun::Stop() {
  if (!Running()) return;
  RequestStop(world);
  // The thread's acknowledgement is its last access to the world; joining
  // waits for that without spinning, however long a drawing call holds it.
  thread.join();
  if (!paused) runningTime += Clock::now() - startedAt;
}

void LifeRun::Pause() {
  if (paused) return;
  world.pauseFlag.store(1);
  if (Running()) runningTime += Clock::now() - startedAt;
  paused = true;
}

void LifeRun::Resume() {
  if (!paused) return;
  paused = false;
  startedAt = Clock::now();
  world.pauseFlag.store(0);
}

WorldGeometry LifeRun::Rebuild(std::int32_t width, std::int32_t height,
                               WorldBufferAllocator& allocator) {
  try {
    return BuildWorld(world, width, height, settings, allocator);
  } catch (...) {
    world.worldBitsA = world.worldBitsB = nullptr;
    world.currentBits = world.nextBits = world.displayBits = nullptr;
    world.worldCols = world.worldRows = 0;
    throw;
  }
}

LifeRun::Clock::duration LifeRun::RunningTime() const {
  return Running() && !paused ? runningTime + (Clock::now() - startedAt) : runningTime;
}

std::int64_t LifeRun::RunningSeconds() const {
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(RunningTime());
  if (milliseconds.count() <= 0) return 0;
  // A run that ran at all counts at least one second, so that a saver closed
  // within half a second (by an upgrade, say) still stores a rate.
  return std::max<std::int64_t>(1, (milliseconds.count() + 500) / 1000);
}
