#include "engine/simulation_loop.h"

#include "engine/frame_layout.h"
#include "engine/generation_pacer.h"
#include "engine/mutation_policy.h"
#include "engine/step/step_generation.h"
#include "engine/tick_clock.h"
#include "engine/world_setup.h"

void PrepareSimulationStart(LifeWorld& world, std::time_t now) {
  world.startTime = now;
  world.generationCount = 0;
  world.stopFlag.store(0);
}

void RunGeneration(LifeWorld& world, const LifeSettings& settings, FrameRenderer& renderer,
                   TimingSampler& sampler) {
  const std::int32_t bit = sampler.NextGeneration();
  if (bit >= 0) FeedTimingBit(world, static_cast<std::uint32_t>(bit));

  ++world.generationCount;
  const std::int32_t changes = StepGeneration(world.currentBits, world.nextBits, world.worldCols,
                                              world.worldRows, settings.RuleTable);

  // A stalled world gives way to a fresh soup, drawn in this frame; no flip
  // touches it, as none touches the first soup.
  const bool renewed = settings.RenewWhenStalled != 0 && world.stallDetector.Observe(changes);
  if (renewed) RenewWorld(world, settings);

  const MutationAction mutation =
      renewed ? MutationAction::kNone : DecideMutation(world.mutationCountdown, changes, settings);
  if (mutation == MutationAction::kFlipBeforeFrame) FlipRandomCell(world);
  renderer.RenderFrame();
  if (mutation == MutationAction::kFlipAfterFrame) FlipRandomCell(world);

  // The buffers trade roles; nextBits then holds the generation before
  // currentBits, which the next step's change count compares against.
  if (world.bitsSwapped == 0) {
    world.currentBits = world.worldBitsB;
    world.nextBits = world.worldBitsA;
  } else {
    world.currentBits = world.worldBitsA;
    world.nextBits = world.worldBitsB;
  }
  world.bitsSwapped = 1 - world.bitsSwapped;
}

void RunSimulation(LifeWorld& world, LifeSettings& settings, FrameRenderer& renderer) {
  settings.NormalizeSettings();
  const bool missingBuffer = world.worldBitsA == nullptr || world.worldBitsB == nullptr ||
                             world.currentBits == nullptr || world.nextBits == nullptr ||
                             (NeedsDisplayBuffer(settings) && world.displayBits == nullptr);
  if (missingBuffer) {
    world.stopFlag.store(1);
    return;
  }
  renderer.BeginDrawing();
  TimingSampler sampler(TickCount());
  GenerationPacer pacer(settings.GenerationRate, GenerationPacer::Clock::now());
  while (world.stopFlag.load() == 0) {
    RunGeneration(world, settings, renderer, sampler);
    if (!pacer.Limited()) continue;
    WaitUntilDue(pacer.NextDue(GenerationPacer::Clock::now()), world.stopFlag);
  }
  // Drawing ends while the window is certain to exist; the 1 that lets the
  // message thread destroy it comes last.
  renderer.EndDrawing();
  world.stopFlag.store(1);
}

void RequestStopAndWait(LifeWorld& world, YieldFunction yield) {
  std::int32_t running = 0;
  world.stopFlag.compare_exchange_strong(running, -1);
  while (world.stopFlag.load() != 1) {
    if (yield != nullptr) yield();
  }
}
