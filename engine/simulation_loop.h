#pragma once
#include <cstdint>
#include <ctime>

#include "engine/life_settings.h"
#include "engine/frame_renderer.h"
#include "engine/life_world.h"
#include "engine/timing_sampler.h"

// The simulation thread and its stop handshake, free of any platform call:
// the Win32 window starts a thread that calls RunSimulation with its world,
// the global settings and itself as the renderer.
//
// stopFlag: 0 running, -1 stop requested (message thread), 1 stopped
// (simulation thread, on leaving; or never started).

// Message thread, just before the thread is started: stopFlag 0, startTime
// now, generationCount 0. If the thread then cannot be started, set stopFlag
// to 1 so that closing does not wait.
void PrepareSimulationStart(LifeWorld& world, std::time_t now);

// The thread body. Normalises the settings; gives up at once (stopFlag 1,
// nothing drawn) when the layout needs a display buffer that is missing or
// the world has no buffers; otherwise BeginDrawing, generations while
// stopFlag is 0, EndDrawing. stopFlag = 1 is its very last access to the
// world or the renderer: once the message thread sees it, the window may be
// destroyed, so nothing of it may be touched after. Allocates nothing.
void RunSimulation(LifeWorld& world, LifeSettings& settings, FrameRenderer& renderer);

// One generation of the loop, in order: timing sample, count, step into
// nextBits, mutation decision (a shown flip), RenderFrame, a hidden flip,
// swap of the two buffers.
void RunGeneration(LifeWorld& world, const LifeSettings& settings, FrameRenderer& renderer,
                   TimingSampler& sampler);

// Message thread: the stop handshake. Turns 0 into -1 in one atomic
// compare-and-exchange (a thread that has already stopped keeps its 1), then
// calls yield until the thread has acknowledged with 1. Returns at once when
// the thread never ran or has stopped already.
using YieldFunction = void (*)();
void RequestStopAndWait(LifeWorld& world, YieldFunction yield);
