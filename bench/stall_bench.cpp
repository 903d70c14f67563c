// How lively a world stays with RenewWhenStalled set, over long runs of the
// saver's own generation loop, and what the stall detector costs.
//
//   stall_bench [generations [seed ...]]     (2,000,000 and seeds 1 to 5)
//
// Each seed: default settings with RenewWhenStalled, a 1024x768 screen (a
// 512x384 world), the generator seeded with (seed, seed * 7919 + 1) and a
// clock that stands still, so that no timing bit enters and a run repeats
// exactly. RunGeneration drives it with a renderer that draws nothing. For
// every window of 40,000 generations (the first from generation 1) it counts
// the cells that changed at least once between one generation and the next,
// renewals included. Printed per seed: the smallest such share among the
// windows, the number of renewals and the first renewal's generation. The
// run passes (exit 0) when every window of every seed reaches 5 % and no
// renewal comes within the first 20,000 generations.
//
// Then the detector's cost per generation beside the step's, both fed the
// same 512x384 world's history.
#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/frame_renderer.h"
#include "engine/simulation_loop.h"
#include "engine/stall_detector.h"
#include "engine/step/step_generation.h"
#include "engine/tick_clock.h"
#include "engine/timing_sampler.h"
#include "engine/world_setup.h"

namespace {

constexpr std::int64_t kWindow = 40000;
constexpr double kMinShare = 0.05;
constexpr std::int64_t kNoRenewalBefore = 20000;

std::uint32_t StillClock() { return 0; }

bool AllDead(const std::uint64_t* words, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (words[i] != 0) return false;
  }
  return true;
}

// Draws nothing; notes renewals. A renewal is the one frame stepped from an
// empty buffer that shows live cells: a step makes nothing from nothing, and
// with ShowMutations clear no flip reaches the frame.
class CountingRenderer final : public FrameRenderer {
 public:
  CountingRenderer(const LifeWorld& w, std::size_t words) : world(w), wordCount(words) {}
  void BeginDrawing(const DrawingStart&) override {}
  void RenderFrame(const FrameTransfer&) override {
    const auto* from = reinterpret_cast<const std::uint64_t*>(world.currentBits);
    const auto* shown = reinterpret_cast<const std::uint64_t*>(world.nextBits);
    renewed = AllDead(from, wordCount) && !AllDead(shown, wordCount);
  }
  void EndDrawing() override {}
  bool renewed = false;

 private:
  const LifeWorld& world;
  std::size_t wordCount;
};

struct SeedResult {
  double minShare = 1.0;
  std::int64_t minWindow = 0;  // 1-based
  std::int64_t renewals = 0;
  std::int64_t firstRenewal = 0;  // generation, 0 when none
  double seconds = 0;
};

SeedResult RunSeed(std::int32_t seed, std::int64_t generations) {
  LifeSettings settings;
  settings.RenewWhenStalled = 1;
  LifeWorld world;
  world.generator.Seed(seed, seed * 7919 + 1);
  WorldBufferVectors buffers;
  BuildWorld(world, 1024, 768, settings, buffers);
  settings.NormalizeSettings();
  const std::size_t words =
      static_cast<std::size_t>(world.worldCols / 64) * static_cast<std::size_t>(world.worldRows);
  std::vector<std::uint64_t> previous(words), changed(words, 0);
  std::memcpy(previous.data(), world.currentBits, words * 8);

  CountingRenderer renderer(world, words);
  LoopState state = StartLoopState(settings);
  PrepareSimulationStart(world);
  SeedResult result;
  const auto start = std::chrono::steady_clock::now();
  std::int64_t windowStart = 1;
  for (std::int64_t g = 1; g <= generations; ++g) {
    RunGeneration(world, settings, state, renderer);
    if (renderer.renewed) {
      ++result.renewals;
      if (result.firstRenewal == 0) result.firstRenewal = g;
    }
    const auto* now = reinterpret_cast<const std::uint64_t*>(world.currentBits);
    for (std::size_t i = 0; i < words; ++i) {
      changed[i] |= now[i] ^ previous[i];
      previous[i] = now[i];
    }
    if (g - windowStart + 1 == kWindow) {
      std::int64_t cells = 0;
      for (std::uint64_t w : changed) cells += std::popcount(w);
      const double share = static_cast<double>(cells) / static_cast<double>(words * 64);
      if (share < result.minShare) {
        result.minShare = share;
        result.minWindow = (g + kWindow - 1) / kWindow;
      }
      std::fill(changed.begin(), changed.end(), 0);
      windowStart = g + 1;
    }
  }
  result.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

// Nanoseconds per generation of the step alone and of the detector alone,
// over the same history of a soup (the step's change counts recorded once).
void MeasureDetectorCost() {
  constexpr std::int64_t kGenerations = 200000;
  const LifeSettings settings;
  LifeWorld world;
  world.generator.Seed(1, 7920);
  WorldBufferVectors buffers;
  BuildWorld(world, 1024, 768, settings, buffers);
  std::vector<std::int32_t> counts(static_cast<std::size_t>(kGenerations));

  auto start = std::chrono::steady_clock::now();
  for (std::int32_t& count : counts) {
    count = StepGeneration(world.currentBits, world.nextBits, world.worldCols, world.worldRows,
                           settings.RuleTable);
    std::swap(world.currentBits, world.nextBits);
  }
  const double stepNs =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(kGenerations);

  constexpr int kRounds = 50;
  StallDetector detector;
  std::int64_t stalled = 0;
  start = std::chrono::steady_clock::now();
  for (int round = 0; round < kRounds; ++round) {
    for (std::int32_t count : counts) stalled += detector.Observe(count) ? 1 : 0;
  }
  const double detectorNs =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() /
      static_cast<double>(kGenerations * kRounds);
  std::printf("cost per generation, 512x384: step %.1f ns, detector %.2f ns (%.2f %% of the step; "
              "%lld stalled answers)\n",
              stepNs, detectorNs, 100.0 * detectorNs / stepNs, static_cast<long long>(stalled));
}

}  // namespace

int main(int argc, char** argv) {
  // A whole positive number, or the program says so and stops.
  auto number = [](const char* text, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value > 0;
  };
  long long requested = 2000000;
  if (argc > 1 && !number(argv[1], requested)) {
    std::fprintf(stderr, "stall_bench: %s: not a positive number of generations\n"
                         "usage: stall_bench [generations [seed ...]]\n", argv[1]);
    return 2;
  }
  const std::int64_t generations = requested;
  std::vector<std::int32_t> seeds;
  for (int i = 2; i < argc; ++i) {
    long long seed = 0;
    if (!number(argv[i], seed) || seed > INT32_MAX) {
      std::fprintf(stderr, "stall_bench: %s: not a positive seed\n", argv[i]);
      return 2;
    }
    seeds.push_back(static_cast<std::int32_t>(seed));
  }
  if (seeds.empty()) seeds = {1, 2, 3, 4, 5};
  SetTickSource(&StillClock);

  std::printf("RenewWhenStalled, 1024x768 defaults, %lld generations, windows of %lld\n",
              static_cast<long long>(generations), static_cast<long long>(kWindow));
  std::printf("%6s %12s %8s %10s %14s %10s\n", "seed", "min share", "window", "renewals",
              "first renewal", "gen/s");
  bool pass = true;
  for (std::int32_t seed : seeds) {
    const SeedResult r = RunSeed(seed, generations);
    const bool windowsOk = generations < kWindow || r.minShare >= kMinShare;
    const bool earlyOk = r.firstRenewal == 0 || r.firstRenewal > kNoRenewalBefore;
    pass = pass && windowsOk && earlyOk;
    std::printf("%6d %11.2f%% %8lld %10lld %14lld %10.0f%s\n", seed, 100.0 * r.minShare,
                static_cast<long long>(r.minWindow), static_cast<long long>(r.renewals),
                static_cast<long long>(r.firstRenewal),
                static_cast<double>(generations) / r.seconds,
                windowsOk && earlyOk ? "" : "  FAILS");
    std::fflush(stdout);
  }
  MeasureDetectorCost();
  std::printf("%s: every window >= %.0f %% changed, no renewal within the first %lld "
              "generations\n",
              pass ? "pass" : "FAIL", 100.0 * kMinShare, static_cast<long long>(kNoRenewalBefore));
  return pass ? 0 : 1;
}
