#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/mutation_policy.h"
#include "engine/generation_pacer.h"
#include "engine/life_run.h"
#include "engine/simulation_loop.h"
#include "engine/tick_clock.h"
#include "support/life_model.h"

namespace {

const std::uint8_t* LifeRule() {
  static const LifeSettings settings;
  return settings.RuleTable;
}

// A clock that returns the listed readings in turn, then stays on the last.
std::vector<std::uint32_t> tickReadings;
size_t tickIndex = 0;
std::uint32_t ListedTicks() {
  const std::uint32_t now = tickReadings.empty() ? 0 : tickReadings[std::min(tickIndex, tickReadings.size() - 1)];
  ++tickIndex;
  return now;
}
struct ListedClock {
  explicit ListedClock(std::vector<std::uint32_t> readings) {
    tickReadings = std::move(readings);
    tickIndex = 0;
  }
  TickSource previous = SetTickSource(&ListedTicks);
  ~ListedClock() { SetTickSource(previous); }
};

// The world's two buffers, the first holding the start pattern.
struct TestWorld {
  model::World a, b;
  LifeWorld world;
  explicit TestWorld(const model::World& start) : a(start), b(start.width, start.height) {
    world.worldCols = start.width;
    world.worldRows = start.height;
    world.displayWidth = start.width;
    world.displayHeight = start.height;
    world.worldBitsA = world.currentBits = a.bits.data();
    world.worldBitsB = world.nextBits = b.bits.data();
    world.generator.Seed(12345, 67890);
    PrepareSimulationStart(world);
  }
  model::World View(const std::uint8_t* bits) const {
    model::World w(a.width, a.height);
    std::copy(bits, bits + w.bits.size(), w.bits.begin());
    return w;
  }
};

// Records each frame and the generation it was stepped from; asks for the
// stop from inside the frame after stopAfter frames (never when 0).
class RecordingRenderer final : public FrameRenderer {
 public:
  RecordingRenderer(TestWorld& t, int stopAfterFrames) : test(t), stopAfter(stopAfterFrames) {}
  void BeginDrawing(const DrawingStart&) override { ++begins; }
  void RenderFrame(const FrameTransfer& frame) override {
    rendered.push_back(test.View(frame.bits));
    generations.push_back(frame.generation);
    steppedFrom.push_back(test.View(test.world.currentBits));
    if (++frames == stopAfter) test.world.stopFlag.store(-1);
  }
  void EndDrawing() override {
    ++ends;
    flagAtEnd = test.world.stopFlag.load();
  }

  TestWorld& test;
  int stopAfter;
  int begins = 0;
  std::atomic<int> frames{0};
  std::atomic<int> ends{0};
  std::int32_t flagAtEnd = 0;
  std::vector<model::World> rendered, steppedFrom;
  std::vector<std::int64_t> generations;
};

model::World Glider() {
  model::World w(64, 32);
  for (auto [r, c] : {std::pair{10, 11}, {9, 12}, {8, 10}, {8, 11}, {8, 12}}) w.Set(r, c, true);
  return w;
}

LifeSettings DirectSettings(std::int32_t rate, int steadyOnly, int show) {
  LifeSettings s;
  s.ZoomFactor = 0;
  s.WorldSize = 0;
  s.WorldMutationRate = rate;
  s.MutateAtSteadyState = static_cast<std::uint8_t>(steadyOnly);
  s.ShowMutations = static_cast<std::uint8_t>(show);
  return s;
}

}  // namespace

TEST(SimulationLoop, DrawsEveryGenerationUntilTheStopThenEndsDrawingBeforeAcknowledging) {
  ListedClock clock({0});
  std::mt19937 rng(7);
  TestWorld t(model::Soup(64, 32, 0.4, rng));
  t.world.mutationCountdown = 0;
  LifeSettings settings = DirectSettings(0, 1, 0);
  RecordingRenderer renderer(t, 5);
  RunSimulation(t.world, settings, renderer);
  EXPECT_EQ(renderer.begins, 1);
  EXPECT_EQ(renderer.frames, 5);
  EXPECT_EQ(renderer.ends, 1);
  EXPECT_EQ(renderer.flagAtEnd, -1);  // the window still exists while drawing ends
  EXPECT_EQ(t.world.stopFlag.load(), 1);
  EXPECT_EQ(t.world.generationCount, 5);
  EXPECT_EQ(renderer.generations, (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(t.world.bitsSwapped, 1);
  EXPECT_EQ(t.world.currentBits, t.world.worldBitsB);
  model::World expected = renderer.steppedFrom[0];
  model::World scratch(64, 32);
  for (int g = 0; g < 5; ++g) {
    model::Step(expected, scratch, LifeRule());
    std::swap(expected, scratch);
    EXPECT_EQ(renderer.rendered[static_cast<size_t>(g)].bits, expected.bits) << g;
  }
  EXPECT_EQ(t.View(t.world.currentBits).bits, expected.bits);
}

TEST(SimulationLoop, CountsGenerationsPastTwoToTheThirtyTwo) {
  // A day of a small direct world: the count carries on past 2^31 and 2^32.
  ListedClock clock({0, 520, 1040, 1560, 2080});
  TestWorld t(Glider());
  LifeSettings settings = DirectSettings(0, 1, 0);
  for (const std::int64_t start : {std::int64_t{0x7FFFFFFE}, std::int64_t{0xFFFFFFFE}}) {
    t.world.generationCount = start;
    t.world.stopFlag.store(0);
    RecordingRenderer renderer(t, 5);
    RunSimulation(t.world, settings, renderer);
    EXPECT_EQ(t.world.generationCount, start + 5);
  }
}

TEST(SimulationLoop, GivesUpBeforeDrawingWhenTheDisplayBufferIsMissing) {
  TestWorld t(Glider());
  LifeSettings settings;  // zoomed: needs the display buffer
  RecordingRenderer renderer(t, 1);
  RunSimulation(t.world, settings, renderer);
  EXPECT_EQ(renderer.begins + renderer.frames + renderer.ends, 0);
  EXPECT_EQ(t.world.stopFlag.load(), 1);
  EXPECT_EQ(t.world.generationCount, 0);
}

TEST(SimulationLoop, NormalisesTheSettingsBeforeDrawing) {
  ListedClock clock({0});
  TestWorld t(Glider());
  std::vector<std::uint8_t> display(64 * 32 / 8);
  t.world.displayBits = display.data();
  LifeSettings settings;
  settings.ZoomFactor = 2;
  settings.WorldSize = 1;
  settings.IsTiled = 1;
  RecordingRenderer renderer(t, 1);
  RunSimulation(t.world, settings, renderer);
  EXPECT_EQ(settings.ZoomFactor, 1);
  EXPECT_EQ(settings.IsTiled, 0);
  EXPECT_EQ(renderer.frames, 1);
}

// An empty world is steady; a flipped cell dies in the next generation, and
// the generation after that differs from two back, so it does not count.
// Hence rate 4 flips on generations 4, 9, 14. The cell is the one the
// generator's next 4 bytes pick; shown, it is in that frame, hidden, only in
// the generation the next step starts from.
TEST(SimulationLoop, MutationsAtSteadyStateShownInTheFrameOrAfterIt) {
  for (int show : {1, 0}) {
    SCOPED_TRACE(show ? "shown" : "hidden");
    ListedClock clock({0});  // samples see no time pass: no entropy is mixed in
    TestWorld t(model::World(64, 32));
    CombinedLCG reference = t.world.generator;
    LifeSettings settings = DirectSettings(4, 1, show);
    t.world.mutationCountdown = 4;
    RecordingRenderer renderer(t, 16);
    RunSimulation(t.world, settings, renderer);
    for (int g = 1; g <= 15; ++g) {
      const bool flipped = g == 4 || g == 9 || g == 14;
      const model::World& frame = renderer.rendered[static_cast<size_t>(g - 1)];
      const model::World& nextStart = renderer.steppedFrom[static_cast<size_t>(g)];
      EXPECT_EQ(frame.Population(), flipped && show ? 1 : 0) << g;
      EXPECT_EQ(nextStart.Population(), flipped ? 1 : 0) << g;
      if (!flipped) continue;
      std::uint8_t r[4];
      reference.FillBytes(r, 4);
      const CellFlip cell = MutationTarget(
          std::uint32_t{r[0]} | std::uint32_t{r[1]} << 8 | std::uint32_t{r[2]} << 16 | std::uint32_t{r[3]} << 24,
          64, 32);
      EXPECT_EQ(nextStart.bits[static_cast<size_t>(cell.byteOffset)], cell.mask) << g;
    }
  }
}

TEST(SimulationLoop, GliderIsNeverMutatedAtSteadyStateButIsOnACount) {
  struct Case {
    std::int32_t rate;
    int steadyOnly;
    std::set<int> flips;
  };
  for (const Case& c : {Case{1, 1, {}}, Case{64, 0, {64, 128, 192}}}) {
    SCOPED_TRACE(c.rate);
    ListedClock clock({0});
    TestWorld t(Glider());
    LifeSettings settings = DirectSettings(c.rate, c.steadyOnly, 0);
    t.world.mutationCountdown = c.rate;
    RecordingRenderer renderer(t, 200);
    RunSimulation(t.world, settings, renderer);
    std::set<int> flips;
    for (int g = 1; g < 200; ++g) {
      const auto& frame = renderer.rendered[static_cast<size_t>(g - 1)].bits;
      const auto& start = renderer.steppedFrom[static_cast<size_t>(g)].bits;
      if (frame != start) flips.insert(g);
    }
    EXPECT_EQ(flips, c.flips);
    if (c.flips.empty()) {
      EXPECT_EQ(t.world.mutationCountdown, c.rate);
    }
  }
}

TEST(SimulationLoop, TimingSamplesFeedTheGeneratorAndTheLog) {
  LifeSettings settings = DirectSettings(0, 1, 0);  // reads the clock itself
  ListedClock clock({1000, 1520, 2221});  // loop start, then samples 520 and 701 ms apart
  TestWorld t(Glider());
  CombinedLCG reference = t.world.generator;
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  t.world.randBitsFile = log;
  RecordingRenderer renderer(t, 22);
  RunSimulation(t.world, settings, renderer);
  for (std::uint8_t bit : {std::uint8_t{0}, std::uint8_t{1}}) reference.AddEntropy(&bit, 1);
  EXPECT_EQ(t.world.generator.State1(), reference.State1());
  EXPECT_EQ(t.world.generator.State2(), reference.State2());
  std::rewind(log);
  char text[8] = {};
  EXPECT_EQ(std::fread(text, 1, sizeof text, log), 2u);
  EXPECT_EQ(std::string(text), "01");
  std::fclose(log);
}

// Pausing a run: the thread steps and draws nothing while paused, paused
// time is not running time, and a resumed run carries on with the same world;
// a stop while paused still completes.
TEST(LifeRun, PausedRunsDrawNothingAndCarryOnWithTheSameWorld) {
  struct Case {
    const char* name;
    bool pauseBeforeStart, resume;
  } cases[] = {{"pause and resume", false, true},
               {"stop while paused", false, false},
               {"paused at the first generation", true, true}};
  using namespace std::chrono_literals;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestWorld t(Glider());
    LifeSettings settings = DirectSettings(0, 1, 0);
    settings.GenerationRate = 200;  // a few frames in each wait below
    RecordingRenderer renderer(t, 0);
    LifeRun run(t.world, settings);
    if (c.pauseBeforeStart) run.Pause();
    ASSERT_TRUE(run.Start(renderer));
    if (!c.pauseBeforeStart) {
      while (renderer.frames < 3) std::this_thread::sleep_for(1ms);
      run.Pause();
    }
    std::this_thread::sleep_for(60ms);  // a generation under way ends
    const int framesPaused = renderer.frames;
    const auto runningPaused = run.RunningTime();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(renderer.frames, framesPaused);
    EXPECT_EQ(run.RunningTime(), runningPaused);
    if (c.pauseBeforeStart) {
      EXPECT_EQ(framesPaused, 0);
    }
    if (c.resume) {
      run.Resume();
      while (renderer.frames < framesPaused + 3) std::this_thread::sleep_for(1ms);
    }
    run.Stop();
    EXPECT_EQ(t.world.stopFlag.load(), 1);
    EXPECT_EQ(renderer.ends, 1);
    EXPECT_EQ(run.Generations(), renderer.frames);
    // Every frame is the step of the one before: nothing was lost or redone.
    model::World scratch(64, 32);
    for (size_t g = 1; g < renderer.rendered.size(); ++g) {
      model::Step(renderer.rendered[g - 1], scratch, LifeRule());
      EXPECT_EQ(renderer.rendered[g].bits, scratch.bits) << g;
    }
  }
}

namespace {
std::atomic<std::int32_t>* flagToAcknowledge = nullptr;
std::atomic<int> yields{0};
void AcknowledgeOnThirdYield() {
  EXPECT_EQ(flagToAcknowledge->load(), -1);
  if (++yields == 3) flagToAcknowledge->store(1);
}
}  // namespace

TEST(GenerationPacer, KeepsOneScheduleAndStartsAgainAfterAStall) {
  using std::chrono::milliseconds;
  const GenerationPacer::Clock::time_point t0{};
  GenerationPacer pacer(50, t0);  // 20 ms apart
  ASSERT_TRUE(pacer.Limited());
  struct Step {
    int endedAt, due;  // ms after the start
  } steps[] = {
      {3, 20},   // early: wait for the schedule
      {25, 40},  // a wait that overran is made up by the next one
      {41, 60},
      {105, 105},  // more than one interval behind: no burst, a new schedule
      {106, 125},
      {150, 145},  // behind by less: due already, and the schedule holds
      {151, 165},
  };
  for (const Step& k : steps) {
    EXPECT_EQ(pacer.NextDue(t0 + milliseconds(k.endedAt)), t0 + milliseconds(k.due)) << k.endedAt;
  }
  EXPECT_FALSE(GenerationPacer(0, t0).Limited());
  EXPECT_FALSE(GenerationPacer(-5, t0).Limited());
  // A shortest spacing of its own (the module's -delay): the longer counts.
  for (auto [rate, least, due] : {std::tuple{0, 30, 30}, {50, 30, 30}, {50, 10, 20}}) {
    GenerationPacer spaced(rate, milliseconds(least), t0);
    EXPECT_TRUE(spaced.Limited());
    EXPECT_EQ(spaced.NextDue(t0), t0 + milliseconds(due)) << rate << " " << least;
  }
}

TEST(StopHandshake, RequestsOnlyARunningThreadAndWaitsForTheAcknowledgement) {
  LifeWorld world;  // never started: 1
  yields = 0;
  flagToAcknowledge = &world.stopFlag;
  RequestStopAndWait(world, &AcknowledgeOnThirdYield);
  EXPECT_EQ(world.stopFlag.load(), 1);  // a stopped thread's 1 is never overwritten
  EXPECT_EQ(yields, 0);
  PrepareSimulationStart(world);
  RequestStopAndWait(world, &AcknowledgeOnThirdYield);
  EXPECT_EQ(yields, 3);
  EXPECT_EQ(world.stopFlag.load(), 1);
  RequestStopAndWait(world, &AcknowledgeOnThirdYield);  // a second close answers at once
  EXPECT_EQ(yields, 3);
}

// A frame that takes long: the close returns only once it is drawn and the
// thread has left its loop.
TEST(StopHandshake, CloseDuringAGenerationWaitsForItsFrame) {
  TestWorld t(Glider());
  LifeSettings settings = DirectSettings(0, 1, 0);
  std::atomic<bool> inSecondFrame{false}, release{false}, closed{false};
  class SlowRenderer final : public FrameRenderer {
   public:
    SlowRenderer(std::atomic<bool>& in, std::atomic<bool>& go) : inSecond(in), mayGo(go) {}
    void BeginDrawing(const DrawingStart&) override {}
    void RenderFrame(const FrameTransfer&) override {
      if (++frames != 2) return;
      inSecond = true;
      while (!mayGo) std::this_thread::yield();
    }
    void EndDrawing() override { ++ends; }
    std::atomic<bool>& inSecond;
    std::atomic<bool>& mayGo;
    std::atomic<int> frames{0}, ends{0};
  } renderer(inSecondFrame, release);
  std::thread simulation([&] { RunSimulation(t.world, settings, renderer); });
  while (!inSecondFrame) std::this_thread::yield();
  std::thread closer([&] {
    RequestStopAndWait(t.world, [] { std::this_thread::yield(); });
    closed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(closed);
  EXPECT_EQ(t.world.stopFlag.load(), -1);
  release = true;
  closer.join();
  EXPECT_TRUE(closed);
  EXPECT_EQ(renderer.frames, 2);
  EXPECT_EQ(renderer.ends, 1);
  EXPECT_EQ(t.world.generationCount, 2);
  simulation.join();
}

// Thousands of runs (30,000 under ThreadSanitizer), each started and
// stopped by this thread through LifeRun at a moment drawn at random: before or as the thread starts, inside
// BeginDrawing, inside a frame, inside a timing sample (the simulation
// thread waits there until the request has arrived), or racing the hidden
// mutation, buffer swap and step that follow a frame. Every stop must
// complete with the thread's last generation drawn, and everything the
// thread wrote must be visible here after the handshake: under
// ThreadSanitizer that is the check of the stop word's memory orders.
// The test's own waits are spins with deadlines; a stop that never
// completes hangs in LifeRun's join, which the test's time limit catches.
namespace {

enum class StopMoment { kAnyTime, kBeginDrawing, kFrame, kSample, kAfterFrame, kCount };

using Clock = std::chrono::steady_clock;
constexpr auto kHangLimit = std::chrono::seconds(20);

struct StopRun {
  std::array<std::uint8_t, 8> a{}, b{};
  LifeWorld world;
  StopMoment moment = StopMoment::kAnyTime;
  int atFrame = 1;                      // for kFrame and kAfterFrame
  std::atomic<bool> reached{false};     // the thread is at the moment
  std::atomic<int> begins{0}, frames{0}, ends{0}, ticks{0};
  std::atomic<bool> hung{false};

  // Simulation thread: at the drawn moment, says so and waits for the
  // request when asked to.
  void At(StopMoment here, bool waitForRequest) {
    if (here != moment || reached.load()) return;
    reached = true;
    const auto deadline = Clock::now() + kHangLimit;
    while (waitForRequest && world.stopFlag.load() == 0) {
      if (Clock::now() > deadline) {
        hung = true;
        return;
      }
      std::this_thread::yield();
    }
  }
};

StopRun* currentRun = nullptr;

// Readings 400 ms apart: every sample yields a bit. The first reading is the
// loop's start, the second its first sample.
std::uint32_t SampledTicks() {
  const int call = ++currentRun->ticks;
  if (call == 2) currentRun->At(StopMoment::kSample, true);
  return static_cast<std::uint32_t>(call) * 400;
}

class StoppingRenderer final : public FrameRenderer {
 public:
  void BeginDrawing(const DrawingStart&) override {
    ++currentRun->begins;
    currentRun->At(StopMoment::kBeginDrawing, true);
  }
  void RenderFrame(const FrameTransfer&) override {
    const int frame = ++currentRun->frames;
    if (frame == currentRun->atFrame) {
      currentRun->At(StopMoment::kFrame, true);
      currentRun->At(StopMoment::kAfterFrame, false);
    }
  }
  void EndDrawing() override { ++currentRun->ends; }
};

}  // namespace

TEST(StopHandshake, RunsStoppedAtRandomMomentsAllComplete) {
  // The race detector's tree runs the most, 30,000 (some 6,000 for each
  // moment), the other native trees a third of that. Under Wine and qemu a
  // thread start costs milliseconds: a sample.
#if defined(CELLARIUM_TSAN)
  constexpr int kRuns = 30000;
#elif defined(_WIN32) || defined(__i386__)
  constexpr int kRuns = 2000;
#else
  constexpr int kRuns = 10000;
#endif
  std::mt19937 rng(20261207);
  LifeSettings settings = DirectSettings(1, 0, 0);  // a hidden flip every generation
  const TickSource previousClock = SetTickSource(&SampledTicks);
  StoppingRenderer renderer;
  std::array<int, static_cast<int>(StopMoment::kCount)> stopsAt{};
  int failures = 0;
  for (int i = 0; i < kRuns && failures < 10; ++i) {
    StopRun run;
    currentRun = &run;
    run.moment = static_cast<StopMoment>(rng() % static_cast<unsigned>(StopMoment::kCount));
    run.atFrame = 1 + static_cast<int>(rng() % 12);
    run.a[static_cast<size_t>(rng() % 8)] = static_cast<std::uint8_t>(rng());
    run.world.worldCols = 32;
    run.world.worldRows = 2;
    run.world.displayWidth = 32;
    run.world.displayHeight = 2;
    run.world.worldBitsA = run.world.currentBits = run.a.data();
    run.world.worldBitsB = run.world.nextBits = run.b.data();
    run.world.mutationCountdown = 1;
    run.world.generator.Seed(static_cast<std::int32_t>(rng() | 1), 7);
    // Now and then a run held to one generation a second, stopped in its
    // first generation or in the wait after it.
    settings.GenerationRate = i % 64 == 0 ? 1 : 0;
    if (settings.GenerationRate != 0) {
      run.moment = rng() % 2 != 0 ? StopMoment::kAnyTime : StopMoment::kAfterFrame;
      run.atFrame = 1;
    }
    LifeRun life(run.world, settings);
    life.Start(renderer);
    const auto deadline = Clock::now() + kHangLimit;
    if (run.moment == StopMoment::kAnyTime) {
      // A busy delay, not a yield: on a loaded machine each yield can cost a
      // whole time slice.
      std::atomic<unsigned> spins{static_cast<unsigned>(rng() % 4096)};
      while (spins.fetch_sub(1, std::memory_order_relaxed) > 0) {
      }
    } else {
      while (!run.reached.load() && Clock::now() < deadline) std::this_thread::yield();
    }
    life.Stop();
    // Plain reads of what the thread wrote, now this thread's again.
    const std::int64_t generations = life.Generations();
    const int changed = run.world.currentBits[0] | run.world.nextBits[7] | run.world.bitsSwapped;

    const bool complete = run.world.stopFlag.load() == 1 && !run.hung &&
                          (run.moment == StopMoment::kAnyTime || run.reached) &&
                          run.begins == 1 && run.ends == 1 && generations == run.frames &&
                          changed >= 0;
    if (!complete) {
      ++failures;
      ADD_FAILURE() << "run " << i << " stopped at moment " << static_cast<int>(run.moment)
                    << " frame " << run.atFrame << ": flag " << run.world.stopFlag.load()
                    << ", reached " << run.reached << ", hung " << run.hung << ", "
                    << run.begins << " begin, " << run.frames << " frames, " << generations
                    << " generations, " << run.ends << " end";
    }
    ++stopsAt[static_cast<size_t>(run.moment)];
  }
  currentRun = nullptr;
  SetTickSource(previousClock);
  for (int count : stopsAt) EXPECT_GT(count, kRuns / 10);
}
