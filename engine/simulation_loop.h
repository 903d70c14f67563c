#pragma once
#include <cstdint>
#include <ctime>

#include "engine/life_settings.h"
#include "engine/frame_renderer.h"
#include "engine/life_world.h"
#include "engine/timing_sampler.h"

// The simulation thread's body and its stop handshake, free of any platform
// call. Two threads share a world: the one that owns the window (and starts
// and stops the simulation) and the simulation thread. stopFlag is the only
// field both touch while both run:
//   0 running, -1 stop requested, 1 stopped (or never started).

// Readies the world for a run: stopFlag 0, startTime now, generationCount 0.
// The simulation thread must not be running yet. Should it then fail to
// start, stopFlag must be set back to 1, or RequestStopAndWait waits for it
// for ever.
void PrepareSimulationStart(LifeWorld& world, std::time_t now);

// The simulation thread's body. Normalises the settings; gives up at once
// (stopFlag 1, nothing drawn) when the layout needs a display buffer that is
// missing or the world has no buffers; otherwise BeginDrawing, generations
// while stopFlag is 0 (spaced to at most GenerationRate a second when that
// is set, waiting in slices that a stop request cuts short), EndDrawing.
// stopFlag = 1 is its very last access to the world or the renderer: once
// another thread sees it, both may be destroyed. Allocates nothing.
void RunSimulation(LifeWorld& world, LifeSettings& settings, FrameRenderer& renderer);

// One generation of the loop, in order: timing sample, count, step into
// nextBits, with RenewWhenStalled the stall detector fed and a stalled world
// renewed (RenewWorld, and no mutation this generation), mutation decision
// (a shown flip), RenderFrame, a hidden flip, swap of the two buffers.
void RunGeneration(LifeWorld& world, const LifeSettings& settings, FrameRenderer& renderer,
                   TimingSampler& sampler);

// The stop handshake, from any thread but the simulation thread. Turns 0
// into -1 in one atomic compare-and-exchange (a thread that has already
// stopped keeps its 1), then calls yield (if not null) until the simulation
// thread has acknowledged with 1. Returns at once when it never ran or has
// stopped already.
using YieldFunction = void (*)();
void RequestStopAndWait(LifeWorld& world, YieldFunction yield);
