// Per-frame drawing cost at 1024x768 with the default layout (a 512 x 384
// world zoomed 2x into the display): the 1-bit compose, and with trails of 16
// generations the shade update, the 8-bit and the 32-bit compose, and the
// update with the 32-bit compose (what the Windows saver does). The
// frames cycle through consecutive generations of a soup that has run for a
// while, so the shades change as they do on screen. One thread.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "engine/frame_layout.h"
#include "engine/life_settings.h"
#include "engine/step/step_generation.h"
#include "engine/trail_shades.h"

namespace {

constexpr int kDisplayWidth = 1024, kDisplayHeight = 768;
constexpr int kCols = 512, kRows = 384;
constexpr int kTrailLength = 16;
constexpr int kFrames = 32;  // generations cycled through

const LifeSettings& DefaultSettings() {
  static const LifeSettings settings;  // ZoomFactor 1, WorldSize 1, not tiled
  return settings;
}

// kFrames consecutive generations, after 500 from a random soup.
const std::vector<std::vector<std::uint8_t>>& Generations() {
  static const std::vector<std::vector<std::uint8_t>> generations = [] {
    std::vector<std::uint8_t> current(kCols / 8 * kRows), previous;
    std::mt19937 rng(12345);
    for (auto& byte : current) byte = static_cast<std::uint8_t>(rng());
    previous = current;
    std::vector<std::vector<std::uint8_t>> out;
    for (int g = 0; g < 500 + kFrames; ++g) {
      StepGeneration(current.data(), previous.data(), kCols, kRows, DefaultSettings().RuleTable);
      std::swap(current, previous);
      if (g >= 500) out.push_back(current);
    }
    return out;
  }();
  return generations;
}

// The geometry of the default layout; the buffers are set by each benchmark.
void SetGeometry(LifeWorld& world) {
  world.worldCols = kCols;
  world.worldRows = kRows;
  world.displayWidth = kDisplayWidth;
  world.displayHeight = kDisplayHeight;
}

void OneBitCompose(benchmark::State& state) {
  auto generations = Generations();  // a copy: the world's pointers are not const
  std::vector<std::uint8_t> display(kDisplayWidth / 8 * kDisplayHeight, 0);
  LifeWorld world;
  SetGeometry(world);
  world.displayBits = display.data();
  std::size_t frame = 0;
  for (auto _ : state) {
    world.nextBits = generations[frame++ % kFrames].data();
    benchmark::DoNotOptimize(RenderIntoDisplay(world, DefaultSettings()));
    benchmark::ClobberMemory();
  }
}

enum class Part { kUpdate, kCompose, kComposePixels, kBoth };

void Trails(benchmark::State& state, Part part) {
  const auto& generations = Generations();
  std::vector<std::uint8_t> display(ShadePixelDisplayBytes(kDisplayWidth, kDisplayHeight), 0);
  std::uint32_t pixels[kShadePixelCount];
  TrailPixelTable(0x00FFFF30, kTrailLength, pixels);
  std::vector<std::uint8_t> shades(TrailShadeBytes(kCols, kRows), 0);
  LifeWorld world;
  SetGeometry(world);
  for (const auto& bits : generations)  // trails already under way
    UpdateTrailShades(shades.data(), bits.data(), kCols, kRows, kTrailLength);
  std::size_t frame = 0;
  for (auto _ : state) {
    const std::uint8_t* bits = generations[frame++ % kFrames].data();
    if (part != Part::kCompose)
      UpdateTrailShades(shades.data(), bits, kCols, kRows, kTrailLength);
    if (part == Part::kCompose)
      ComposeTrailShades(display.data(), shades.data(), world, DefaultSettings());
    if (part == Part::kComposePixels || part == Part::kBoth)
      ComposeTrailPixels(display.data(), shades.data(), pixels, world, DefaultSettings());
    benchmark::DoNotOptimize(display.data());
    benchmark::DoNotOptimize(shades.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(OneBitCompose)->Name("compose/1bit/1024x768")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Trails, update, Part::kUpdate)
    ->Name("trails16/update/512x384")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Trails, compose, Part::kCompose)
    ->Name("trails16/compose/1024x768")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Trails, compose32, Part::kComposePixels)
    ->Name("trails16/compose32/1024x768")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Trails, both, Part::kBoth)
    ->Name("trails16/update+compose32/1024x768")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
