#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "engine/simulation_loop.h"
#include "engine/tick_clock.h"
#include "engine/trail_shades.h"

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

// Takes every composed frame and stops after a number of them.
class CountingRenderer final : public FrameRenderer {
 public:
  CountingRenderer(LifeWorld& w, int n) : world(w), stopAfter(n) {}
  void BeginDrawing(const DrawingStart&) override {}
  void RenderFrame(const FrameTransfer&) override {
    if (++frames == stopAfter / 2) world.pauseFlag.store(1);  // resumed by the test
    if (frames == stopAfter) world.stopFlag.store(-1);
  }
  void EndDrawing() override {}
  LifeWorld& world;
  int stopAfter;
  int frames = 0;
};

std::uint32_t clockNow = 0;
std::uint32_t AdvancingClock() { return clockNow += 520; }  // every sample yields a bit

}  // namespace

TEST(NoAllocation, LoopStepMutationSamplingDrawingAndPause) {
  const long probe = allocations.load();
  ::operator delete(::operator new(16));
  ASSERT_EQ(allocations.load(), probe + 1);  // the counter sees allocations
  const std::vector<std::uint32_t> pixelTable(kShadePixelCount, 0x00FFFF30);
  // direct, zoomed, tiled, zoomed with 8-bit trails, direct with 32-bit trails
  for (int layout = 0; layout < 5; ++layout) {
    LifeSettings settings;
    settings.ZoomFactor = layout == 1 || layout == 3 ? 1 : 0;
    settings.WorldSize = layout == 0 ? 0 : 2;
    settings.IsTiled = layout == 2 ? 1 : 0;
    settings.WorldMutationRate = 1;
    settings.MutateAtSteadyState = 0;
    settings.ShowMutations = static_cast<std::uint8_t>(layout & 1);
    settings.TrailLength = layout >= 3 ? 16 : 0;
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
    std::vector<std::uint8_t> shades(worldBytes * 8), shadeDisplay(4 * 1024 * 768);
    world.trailShades = shades.data();
    world.shadeDisplayBits = shadeDisplay.data();
    if (layout == 4) world.shadePixels = pixelTable.data();
    world.generator.Seed(3, 4);
    world.mutationCountdown = 1;
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    std::fputc('x', log);  // the stream's buffer exists before the run
    world.randBitsFile = log;
    PrepareSimulationStart(world);
    CountingRenderer renderer(world, 300);
    const TickSource previous = SetTickSource(&AdvancingClock);
    // Resumes the pause halfway through the run; started before counting.
    std::thread resumer([&world] {
      while (world.pauseFlag.load() == 0) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(120));
      world.pauseFlag.store(0);
    });
    const long before = allocations.load();
    RunSimulation(world, settings, renderer);
    const long during = allocations.load() - before;
    resumer.join();
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
  PrepareSimulationStart(world);
  CountingRenderer renderer(world, 6);  // its pause at 3 is resumed below
  std::thread resumer([&world] {
    while (world.pauseFlag.load() == 0) std::this_thread::yield();
    world.pauseFlag.store(0);
  });
  const long before = allocations.load();
  RunSimulation(world, settings, renderer);
  EXPECT_EQ(allocations.load() - before, 0);
  resumer.join();
  EXPECT_EQ(renderer.frames, 6);
  EXPECT_NE(std::count(a.begin(), a.end(), 0) + std::count(b.begin(), b.end(), 0),
            static_cast<long>(2 * a.size()));  // renewed
}
#endif  // !CELLARIUM_TSAN
