// Generation step throughput, in cells per second, on random soups of the
// sizes the saver meets and on a settled world of still lifes and blinkers.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/life_settings.h"
#include "engine/step_generation.h"

namespace {

const LifeSettings settings;

struct World {
  int width, height;
  std::vector<std::uint8_t> a, b;
};

World Soup(int width, int height) {
  World w{width, height, std::vector<std::uint8_t>(static_cast<size_t>(width / 8 * height)), {}};
  std::mt19937 rng(12345);
  for (auto& byte : w.a) byte = static_cast<std::uint8_t>(rng());
  w.b = w.a;
  return w;
}

// A soup run until it is mostly still lifes and blinkers (what the saver
// shows between mutations); 600 generations is enough at these sizes.
World Settled(int width, int height) {
  World w = Soup(width, height);
  for (int g = 0; g < 600; ++g) {
    StepGeneration(w.a.data(), w.b.data(), width, height, settings.RuleTable);
    std::swap(w.a, w.b);
  }
  return w;
}

template <World (*Make)(int, int)>
void Step(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  World w = Make(width, height);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        StepGeneration(w.a.data(), w.b.data(), width, height, settings.RuleTable));
    std::swap(w.a, w.b);
  }
  state.counters["cells/s"] = benchmark::Counter(
      static_cast<double>(width) * height, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(Step<Soup>)->Name("StepGeneration/soup")->Args({512, 384})->Args({1024, 768})->Args({2048, 2048});
BENCHMARK(Step<Settled>)->Name("StepGeneration/settled")->Args({512, 384})->Args({1024, 768});

BENCHMARK_MAIN();
