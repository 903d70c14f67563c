#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "engine/frame_layout.h"
#include "engine/simulation_loop.h"
#include "engine/tick_clock.h"

// Every allocation of the test program is counted; the simulation loop, the
// frame composition and the sampler must add none once the world exists.
// ThreadSanitizer's runtime defines operator new itself, so its tree leaves
// the counting to the others.
#if !defined(CELLARIUM_TSAN)
namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Composes every frame as the window does and stops after a number of them.
class ComposingRenderer final : public FrameRenderer {
 public:
  ComposingRenderer(LifeWorld& w, const LifeSettings& s, int n) : world(w), settings(s), stopAfter(n) {}
  void BeginDrawing() override {}
  void RenderFrame() override {
    RenderIntoDisplay(world, settings);
    if (++frames == stopAfter) world.stopFlag.store(-1);
  }
  void EndDrawing() override {}
  LifeWorld& world;
  const LifeSettings& settings;
  int stopAfter;
  int frames = 0;
};

std::uint32_t clockNow = 0;
std::uint32_t AdvancingClock() { return clockNow += 520; }  // every sample yields a bit

}  // namespace

TEST(NoAllocation, LoopStepMutationSamplingAndDrawing) {
  const long probe = allocations.load();
  ::operator delete(::operator new(16));
  ASSERT_EQ(allocations.load(), probe + 1);  // the counter sees allocations
  for (int layout = 0; layout < 3; ++layout) {
    LifeSettings settings;
    settings.ZoomFactor = layout == 1 ? 1 : 0;
    settings.WorldSize = layout == 0 ? 0 : 2;
    settings.IsTiled = layout == 2 ? 1 : 0;
    settings.WorldMutationRate = 1;
    settings.MutateAtSteadyState = 0;
    settings.ShowMutations = static_cast<std::uint8_t>(layout & 1);
    LifeWorld world;
    world.worldCols = layout == 0 ? 1024 : 256;
    world.worldRows = layout == 0 ? 768 / 4 : 192;  // a quarter of the height
    const size_t worldBytes = static_cast<size_t>(world.worldCols / 8 * world.worldRows);
    std::vector<std::uint8_t> a(worldBytes, 0x5A), b(worldBytes), display(1024 * 768 / 8);
    world.displayWidth = 1024;
    world.displayHeight = 768;
    world.worldBitsA = world.currentBits = a.data();
    world.worldBitsB = world.nextBits = b.data();
    world.displayBits = display.data();
    world.generator.Seed(3, 4);
    world.mutationCountdown = 1;
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    std::fputc('x', log);  // the stream's buffer exists before the run
    world.randBitsFile = log;
    PrepareSimulationStart(world, 0);
    ComposingRenderer renderer(world, settings, 300);
    const TickSource previous = SetTickSource(&AdvancingClock);
    const long before = allocations.load();
    RunSimulation(world, settings, renderer);
    const long during = allocations.load() - before;
    SetTickSource(previous);
    std::fclose(log);
    EXPECT_EQ(during, 0) << "layout " << layout;
    EXPECT_EQ(renderer.frames, 300);
  }
}

TEST(NoAllocation, RenewalOfAStalledWorld) {
  LifeSettings settings;
  settings.ZoomFactor = 0;
  settings.RenewWhenStalled = 1;
  LifeWorld world;
  std::vector<std::uint8_t> a(64 / 8 * 32), b(a.size());
  world.worldCols = world.displayWidth = 64;
  world.worldRows = world.displayHeight = 32;
  world.worldBitsA = world.currentBits = a.data();
  world.worldBitsB = world.nextBits = b.data();
  world.generator.Seed(3, 4);
  // An empty world one quiet generation short of stalled.
  for (int g = 1; g < StallDetector::kLag + StallDetector::kQuietSpan; ++g) {
    world.stallDetector.Observe(0);
  }
  PrepareSimulationStart(world, 0);
  ComposingRenderer renderer(world, settings, 3);
  const long before = allocations.load();
  RunSimulation(world, settings, renderer);
  EXPECT_EQ(allocations.load() - before, 0);
  EXPECT_EQ(renderer.frames, 3);
  EXPECT_NE(std::count(a.begin(), a.end(), 0) + std::count(b.begin(), b.end(), 0),
            static_cast<long>(2 * a.size()));  // renewed
}
#endif  // !CELLARIUM_TSAN
