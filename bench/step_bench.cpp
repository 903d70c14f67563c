// Generation step throughput, in cells per second, of the table kernel and of
// every bit-sliced kernel this CPU can run, side by side on the same worlds:
// dense random soups and settled worlds (mostly still lifes and blinkers, what
// the saver shows between mutations). One thread. In the console format a
// summary follows the usual output, with each kernel's rate and its ratio to
// the table kernel (the median over repetitions when --benchmark_repetitions
// is given); --benchmark_format=json or csv prints only the library's output.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/life_settings.h"
#include "engine/step/step_generation.h"
#include "engine/step/step_kernels.h"

namespace {

const LifeSettings settings;

struct World {
  int width = 0, height = 0;
  std::vector<std::uint8_t> current, previous;  // source and destination of the next step
};

World Soup(int width, int height) {
  World w{width, height, std::vector<std::uint8_t>(static_cast<size_t>(width / 8 * height)), {}};
  std::mt19937 rng(12345);
  for (auto& byte : w.current) byte = static_cast<std::uint8_t>(rng());
  w.previous = w.current;
  return w;
}

// A soup run until fewer than 1 cell in 200 differs from two generations
// back (or 6000 generations at most): still lifes, blinkers, a few gliders.
World Settled(int width, int height) {
  World w = Soup(width, height);
  const double cells = static_cast<double>(width) * height;
  for (int g = 0; g < 6000; ++g) {
    const int changes = StepGeneration(w.current.data(), w.previous.data(), width, height,
                                       settings.RuleTable);
    std::swap(w.current, w.previous);
    if (g >= 200 && changes < cells / 200) break;
  }
  return w;
}

enum class Kind { Soup, Settled };
const char* KindName(Kind kind) { return kind == Kind::Soup ? "soup" : "settled"; }

// Each world is made once and copied into every benchmark that steps it.
const World& CachedWorld(Kind kind, int width, int height) {
  static std::map<std::tuple<Kind, int, int>, World> worlds;
  auto key = std::make_tuple(kind, width, height);
  auto it = worlds.find(key);
  if (it == worlds.end())
    it = worlds.emplace(key, kind == Kind::Soup ? Soup(width, height) : Settled(width, height)).first;
  return it->second;
}

void StepWith(benchmark::State& state, StepFunction step, Kind kind, int width, int height) {
  World w = CachedWorld(kind, width, height);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        step(w.current.data(), w.previous.data(), width, height, settings.RuleTable));
    std::swap(w.current, w.previous);
  }
  state.counters["cells/s"] = benchmark::Counter(static_cast<double>(width) * height,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

const std::pair<int, int> kSizes[] = {{512, 384}, {1024, 768}, {2048, 2048}, {4096, 4096}};

// Prints the usual console output, and at the end one line per world with
// each kernel's cells per second and its ratio to the table kernel.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool wanted = run.repetitions > 1
                              ? run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"
                              : run.run_type == Run::RT_Iteration;
      if (!wanted || run.error_occurred) continue;
      auto counter = run.counters.find("cells/s");
      if (counter == run.counters.end()) continue;
      // Names are "<kernel>/<kind>/<width>x<height>".
      const std::string name = run.run_name.function_name;
      const auto slash = name.find('/');
      rates_[name.substr(slash + 1)][name.substr(0, slash)] = counter->second.value;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::FILE* out = stdout;
    std::fflush(out);
    std::fprintf(out, "\n%-22s", "world (Gcells/s, x)");
    for (StepKernel kernel : AvailableStepKernels())
      std::fprintf(out, " %18s", StepKernelName(kernel));
    std::fprintf(out, "\n");
    for (Kind kind : {Kind::Soup, Kind::Settled})
      for (auto [width, height] : kSizes) {
        const std::string world = std::string(KindName(kind)) + "/" + std::to_string(width) +
                                  "x" + std::to_string(height);
        auto row = rates_.find(world);
        if (row == rates_.end()) continue;
        std::fprintf(out, "%-22s", world.c_str());
        const double table = row->second.count("table") ? row->second["table"] : 0.0;
        for (StepKernel kernel : AvailableStepKernels()) {
          auto rate = row->second.find(StepKernelName(kernel));
          if (rate == row->second.end()) {
            std::fprintf(out, " %18s", "-");
          } else if (table > 0) {
            std::fprintf(out, " %9.3f (%5.1fx)", rate->second / 1e9, rate->second / table);
          } else {
            std::fprintf(out, " %9.3f        ", rate->second / 1e9);
          }
        }
        std::fprintf(out, "\n");
      }
  }

 private:
  std::map<std::string, std::map<std::string, double>> rates_;  // world -> kernel -> rate
};

}  // namespace

int main(int argc, char** argv) {
  for (StepKernel kernel : AvailableStepKernels())
    for (Kind kind : {Kind::Soup, Kind::Settled})
      for (auto [width, height] : kSizes) {
        const std::string name = std::string(StepKernelName(kernel)) + "/" + KindName(kind) +
                                 "/" + std::to_string(width) + "x" + std::to_string(height);
        benchmark::RegisterBenchmark(name.c_str(), StepWith, StepKernelFunction(kernel), kind,
                                     width, height)
            ->Unit(benchmark::kMicrosecond);
      }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The summary belongs to the console format; json and csv stay the
  // library's own, machine-readable output.
  if (dynamic_cast<benchmark::ConsoleReporter*>(benchmark::CreateDefaultDisplayReporter()) !=
      nullptr) {
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  return 0;
}
