// libFuzzer target: the settings as the saver window takes them up. An
// in-memory key holds whatever the input says (any value name the store
// reads or a near miss, any type, any length, missing, oversized, repeated);
// the settings are loaded from it, the geometry is computed from a screen
// size of the input, the world is set up in buffers allocated as the window
// allocates its bitmaps, and one generation is stepped and drawn. Every
// loaded field must end in its row's range, and what is saved into an empty
// key must load back the same over a record unlike it in every field. Any
// breach aborts.
//
// Input layout (missing bytes read as 0):
//   0      bit 0: the key cannot be opened
//          bit 1: the screen sizes below are taken 8 times (past the clamp)
//   1-2    screen width, 3-4 screen height (signed 16-bit, little-endian)
//   5-     values: name index, type, length, then length bytes of data
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <array>
#include <cstring>
#include <vector>

#include "engine/frame_layout.h"
#include "engine/life_settings.h"
#include "engine/simulation_loop.h"
#include "engine/world_geometry.h"
#include "engine/world_setup.h"
#include "store/settings_store.h"
#include "support/memory_registry.h"

namespace {

// Every stored name, then names the key may hold that no field reads.
constexpr std::size_t kNameCount = kSettingFieldCount + 5;
const auto kNames = [] {
  std::array<const char*, kNameCount> names{};
  for (int i = 0; i < kSettingFieldCount; ++i) names[static_cast<std::size_t>(i)] = kSettingFields[i].name;
  const char* const others[] = {"LastRate", "worldsize", "PIXELCOLOR", "Seed", ""};
  for (std::size_t i = 0; i < 5; ++i) names[kSettingFieldCount + i] = others[i];
  return names;
}();

// The window gives up on a world this large (its bitmaps would not be
// allocated); the fuzzer shrinks the screen instead, to stay fast.
constexpr std::int64_t kMaxWorldBytes = std::int64_t{256} << 10;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t At(std::size_t i) const { return i < size ? data[i] : 0; }
  std::int32_t Int16(std::size_t i) const {
    return static_cast<std::int16_t>(At(i) | At(i + 1) << 8);
  }
};

// Names the breached condition in the fuzzer's log before aborting.
#define Check(condition)                                               \
  do {                                                                 \
    if (!(condition)) {                                                \
      std::fprintf(stderr, "settings_fuzz: %s fails\n", #condition); \
      std::abort();                                                    \
    }                                                                  \
  } while (false)

// Every stored field within its row's range, and the record normalised.
void CheckRanges(const LifeSettings& s) {
  for (const SettingField& field : kSettingFields) {
    Check(field.get(s) >= field.min && field.get(s) <= field.max);
  }
  Check(s.ZoomFactor <= s.WorldSize);
  Check(s.ZoomFactor != s.WorldSize || s.IsTiled == 0);
}

// A record whose every stored field holds another value of its range than
// the one in s, so that a value that is not saved cannot load back as s's.
LifeSettings Unlike(const LifeSettings& s) {
  LifeSettings other = s;
  for (const SettingField& field : kSettingFields) {
    field.set(other, field.get(s) == field.min ? field.max : field.min);
  }
  return other;
}

void CheckGeometry(const WorldGeometry& g, std::int32_t screenWidth, std::int32_t screenHeight,
                   const LifeSettings& s) {
  const std::int32_t zoom = s.ZoomFactor;
  Check(g.displayWidth > 0 && g.displayWidth % (32 << zoom) == 0);
  Check(g.displayHeight > 0 && g.displayHeight % (2 << zoom) == 0);
  Check(g.displayWidth >= std::min(screenWidth, kMaxScreenSize));
  Check(g.displayHeight >= std::min(screenHeight, kMaxScreenSize));
  Check(g.worldCols > 0 && g.worldCols % 32 == 0 && g.worldCols <= 65535);
  Check(g.worldRows > 0 && g.worldRows % 2 == 0 && g.worldRows <= 65535);
  Check(WorldBytes(g) > 0 && DisplayBytes(g) > 0);
}

// Stops the loop from inside its first frame, as a close arriving then
// would, and checks that the frame lands inside the drawing area.
class OneFrame final : public FrameRenderer {
 public:
  explicit OneFrame(LifeWorld& w) : world(w) {}
  void BeginDrawing(const DrawingStart&) override {}
  void RenderFrame(const FrameTransfer& t) override {
    Check(t.source != TransferSource::kNone && t.bits != nullptr);
    Check(t.left >= 0 && t.top >= 0 && t.left < t.right && t.top < t.bottom);
    Check(t.right <= world.displayWidth && t.bottom <= world.displayHeight);
    world.stopFlag.store(-1);
    ++frames;
  }
  void EndDrawing() override {}
  int frames = 0;

 private:
  LifeWorld& world;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in{data, size};
  MemoryRegistry registry;
  for (std::size_t i = 5; i < size;) {
    const char* name = kNames[in.At(i) % kNameCount];
    const std::uint32_t type = in.At(i + 1);
    const std::size_t length = in.At(i + 2);
    i = std::min(size, i + 3);
    const std::size_t end = std::min(size, i + length);
    registry.Set(name, type, std::vector<std::uint8_t>(data + i, data + end));
    i = end;
  }
  const bool keyFails = (in.At(0) & 1) != 0;
  registry.FailOpen(keyFails);
  RegistryBackend* previous = SetRegistryBackend(&registry);

  LifeSettings settings;
  LoadSettings(settings);
  CheckRanges(settings);

  // What the dialog and the end of a run save loads back unchanged.
  if (!keyFails) {
    registry.Clear();
    SaveSettings(settings);
    SaveSeeds(settings);
    LifeSettings again = Unlike(settings);
    LoadSettings(again);
    for (const SettingField& field : kSettingFields) {
      if (field.group != SettingGroup::kLoadedOnly) Check(field.get(again) == field.get(settings));
    }
  }
  SetRegistryBackend(previous);

  const std::int32_t scale = (in.At(0) & 2) != 0 ? 8 : 1;
  std::int32_t width = in.Int16(1) * scale;
  std::int32_t height = in.Int16(3) * scale;
  WorldGeometry geometry = ComputeWorldGeometry(width, height, settings);
  CheckGeometry(geometry, width, height, settings);
  const bool display = NeedsDisplayBuffer(settings);
  auto bytes = [&] {
    return 2 * std::int64_t{WorldBytes(geometry)} + (display ? DisplayBytes(geometry) : 0);
  };
  if (bytes() > kMaxWorldBytes) {
    width %= 512;
    height %= 512;
    geometry = ComputeWorldGeometry(width, height, settings);
    CheckGeometry(geometry, width, height, settings);
  }

  // The window's bitmaps: two worlds and, magnified or tiled, the display.
  WorldBufferVectors buffers;
  LifeWorld world;
  world.generator.Seed(settings.Seed1, settings.Seed2);
  BuildWorld(world, width, height, settings, buffers);
  PrepareSimulationStart(world);

  OneFrame renderer(world);
  RunSimulation(world, settings, renderer);
  Check(renderer.frames == 1 && world.generationCount == 1 && world.stopFlag.load() == 1);
  CheckRanges(settings);
  return 0;
}
