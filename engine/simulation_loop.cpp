#include "engine/simulation_loop.h"

#include "engine/frame_layout.h"
#include "engine/mutation_policy.h"
#include "engine/tick_clock.h"
#include "engine/world_setup.h"

void PrepareSimulationStart(LifeWorld& world) { world.stopFlag.store(0); }

LoopState StartLoopState(const LifeSettings& settings) {
  return {PrepareRule(settings.RuleTable), TimingSampler(TickCount())};
}

void RunGeneration(LifeWorld& world, const LifeSettings& settings, LoopState& state,
                   FrameRenderer& renderer) {
  const std::int32_t bit = state.sampler.NextGeneration();
  if (bit >= 0) FeedTimingBit(world, static_cast<std::uint32_t>(bit));

  ++world.generationCount;
  const std::int32_t changes = StepGeneration(world.currentBits, world.nextBits, world.worldCols,
                                              world.worldRows, state.rule);

  // A stalled world gives way to a fresh soup, drawn in this frame; no flip
  // touches it, as none touches the first soup.
  const bool renewed = settings.RenewWhenStalled != 0 && world.stallDetector.Observe(changes);
  if (renewed) RenewWorld(world, settings);

  const MutationAction mutation =
      renewed ? MutationAction::kNone : DecideMutation(world.mutationCountdown, changes, settings);
  if (mutation == MutationAction::kFlipBeforeFrame) FlipRandomCell(world);
  FrameTransfer frame = RenderIntoDisplay(world, settings);
  frame.generation = world.generationCount;
  frame.recentRate = state.sampler.RecentRate();
  renderer.RenderFrame(frame);
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

void RunSimulation(LifeWorld& world, LifeSettings& settings, FrameRenderer& renderer,
                   GenerationPacer::Clock::duration leastInterval) {
  settings.NormalizeSettings();
  const bool missingBuffer = world.worldBitsA == nullptr || world.worldBitsB == nullptr ||
                             world.currentBits == nullptr || world.nextBits == nullptr ||
                             (NeedsDisplayBuffer(settings) && world.displayBits == nullptr) ||
                             (TrailsShown(settings) && (world.trailShades == nullptr ||
                                                        world.shadeDisplayBits == nullptr));
  if (missingBuffer) {
    world.stopFlag.store(1);
    return;
  }
  renderer.BeginDrawing(DrawingStartFor(world, settings));
  LoopState state = StartLoopState(settings);
  GenerationPacer pacer(settings.GenerationRate, leastInterval, GenerationPacer::Clock::now());
  while (world.stopFlag.load() == 0) {
    if (world.pauseFlag.load() != 0) {
      WaitWhilePaused(world.pauseFlag, world.stopFlag);
      state.sampler.Restart(TickCount());
      pacer.Restart(GenerationPacer::Clock::now());
      continue;
    }
    RunGeneration(world, settings, state, renderer);
    if (!pacer.Limited()) continue;
    WaitUntilDue(pacer.NextDue(GenerationPacer::Clock::now()), world.stopFlag);
  }
  // Drawing ends while the window is certain to exist; the 1 that lets the
  // message thread destroy it comes last.
  renderer.EndDrawing();
  world.stopFlag.store(1);
}

void RequestStop(LifeWorld& world) {
  std::int32_t running = 0;
  world.stopFlag.compare_exchange_strong(running, -1);
}

void RequestStopAndWait(LifeWorld& world, YieldFunction yield) {
  RequestStop(world);
  while (world.stopFlag.load() != 1) {
    if (yield != nullptr) yield();
  }
}
