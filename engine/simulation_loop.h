#pragma once
#include <cstdint>

#include "engine/frame_renderer.h"
#include "engine/generation_pacer.h"
#include "engine/life_settings.h"
#include "engine/life_world.h"
#include "engine/step/step_generation.h"
#include "engine/timing_sampler.h"

// The simulation thread's body and its stop handshake, free of any platform
// call. Two threads share a world: the one that owns the window (and starts
// and stops the simulation) and the simulation thread. stopFlag is the only
// field both touch while both run:
//   0 running, -1 stop requested, 1 stopped (or never started).

// Readies the world for its simulation thread: stopFlag 0. The thread must
// not be running yet. Should it then fail to start, stopFlag must be set
// back to 1, or RequestStopAndWait waits for it for ever.
void PrepareSimulationStart(LifeWorld& world);

// The simulation thread's body. Normalises the settings; gives up at once
// (stopFlag 1, nothing drawn) when the layout needs a display buffer that is
// missing or the world has no buffers; otherwise BeginDrawing, generations
// while stopFlag is 0 (none while pauseFlag is set: the thread then waits,
// and afterwards the timing sample and the pacing start afresh) (spaced to at most GenerationRate a second when that
// is set, or leastInterval apart when that is longer, waiting in slices that
// a stop request cuts short), EndDrawing. The rule table is derived once, at
// the start. stopFlag = 1 is its very last access to the world or the
// renderer: once another thread sees it, both may be destroyed. Allocates
// nothing.
void RunSimulation(LifeWorld& world, LifeSettings& settings, FrameRenderer& renderer,
                   GenerationPacer::Clock::duration leastInterval = {});

// What the loop keeps from one generation to the next within one run.
struct LoopState {
  PreparedRule rule;  // the settings' table, derived at the run's start
  TimingSampler sampler;
};

// The loop state for a run of these settings starting now.
LoopState StartLoopState(const LifeSettings& settings);

// One generation of the loop, in order: timing sample, count, step into
// nextBits, with RenewWhenStalled the stall detector fed and a stalled world
// renewed (RenewWorld, and no mutation this generation), mutation decision
// (a shown flip), the frame composed and handed to RenderFrame, a hidden
// flip, swap of the two buffers.
void RunGeneration(LifeWorld& world, const LifeSettings& settings, LoopState& state,
                   FrameRenderer& renderer);

// The first half of the stop handshake: turns stopFlag's 0 into -1 in one
// atomic compare-and-exchange; a thread that has already stopped keeps its
// 1. Returns at once; the thread acknowledges with 1 when it has finished.
void RequestStop(LifeWorld& world);

// The whole stop handshake, from any thread but the simulation thread:
// RequestStop, then yield (if not null) until the simulation thread has
// acknowledged with 1. Returns at once when it never ran or has stopped
// already.
using YieldFunction = void (*)();
void RequestStopAndWait(LifeWorld& world, YieldFunction yield);
