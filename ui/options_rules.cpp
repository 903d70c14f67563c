#include "ui/options_rules.h"

#include <algorithm>
#include <cstddef>
#include <span>

namespace {

int Within(const SliderRange& slider, int position) {
  return std::clamp(position, slider.low, slider.high);
}

std::uint8_t Flag(bool set) { return set ? 1 : 0; }

// Index of the entry of `ascending` (positive, increasing) nearest to a
// positive value by ratio; halfway (the geometric mean) goes to the larger.
// value is nearer to a than to b (a < b) when value * value < a * b.
int NearestByRatio(std::span<const std::int32_t> ascending, std::int32_t value) {
  const std::int64_t v = value;
  int index = 0;
  for (std::size_t i = 1; i < ascending.size(); ++i) {
    if (v * v >= std::int64_t{ascending[i - 1]} * ascending[i]) index = static_cast<int>(i);
  }
  return index;
}

}  // namespace

int RatePositionFor(std::int32_t rate, bool steadyState) {
  // Thresholds sit halfway (in powers of two) between the values
  // RateForPosition produces, so any stored rate lands on the nearest one.
  const std::int32_t longest = steadyState ? 6 : 32;
  const std::int32_t middle = steadyState ? 2 : 8;
  if (rate > longest) return 1;
  if (rate > middle) return 2;
  if (rate > 0) return 3;
  return 0;
}

std::int32_t RateForPosition(int position, bool steadyState) {
  const int p = Within(kRateSlider, position);
  if (p == 0) return 0;
  const int steps = 4 - p;  // 3, 2, 1
  return std::int32_t{1} << (steadyState ? steps : 2 * steps);
}

int SpeedPositionFor(std::int32_t generationRate) {
  constexpr std::int32_t fastestLimited = kSpeedRates[kSpeedPositionMax - 1];
  if (generationRate <= 0 || generationRate > 2 * fastestLimited) return kSpeedPositionMax;
  const std::span<const std::int32_t> limited(kSpeedRates, kSpeedPositionMax);
  return NearestByRatio(limited, generationRate);
}

std::int32_t SpeedForPosition(int position) { return kSpeedRates[Within(kSpeedSlider, position)]; }

static_assert(kTrailLengths[kTrailPositionMax] == SettingNamed("TrailLength").max,
              "the longest trail is the longest the settings allow");

int TrailPositionFor(std::int32_t trailLength) {
  if (trailLength <= 0) return 0;
  return 1 + NearestByRatio(std::span<const std::int32_t>(kTrailLengths).subspan(1), trailLength);
}

std::int32_t TrailForPosition(int position) {
  return kTrailLengths[Within(kTrailSlider, position)];
}

OptionsControls ControlsFor(const LifeSettings& settings) {
  OptionsControls c;
  c.worldSize = settings.WorldSize;
  c.zoom = settings.ZoomFactor;
  c.initSize = settings.InitSize;
  const bool steady = settings.MutateAtSteadyState != 0;
  c.mutationRate = RatePositionFor(settings.WorldMutationRate, steady);
  c.tileChecked = settings.IsTiled != 0;
  c.tileEnabled = TilingPossible(c.zoom, c.worldSize);
  c.showMutationsChecked = settings.ShowMutations != 0;
  c.steadyStateChecked = steady;
  c.steadyStateEnabled = c.mutationRate != 0;
  c.showMutationsEnabled = c.mutationRate != 0;
  c.speed = SpeedPositionFor(settings.GenerationRate);
  c.allMonitorsChecked = settings.AllMonitors != 0;
  c.renewChecked = settings.RenewWhenStalled != 0;
  c.trails = TrailPositionFor(settings.TrailLength);
  return c;
}

void TrackWorldSize(OptionsControls& controls) {
  controls.zoom = ZoomWithinWorld(controls.zoom, controls.worldSize);
  controls.tileEnabled = TilingPossible(controls.zoom, controls.worldSize);
}

void TrackZoom(OptionsControls& controls) {
  // The zoom the user chose stays; the world grows to hold it.
  if (controls.zoom > controls.worldSize) controls.worldSize = controls.zoom;
  controls.tileEnabled = TilingPossible(controls.zoom, controls.worldSize);
}

void TrackMutationRate(OptionsControls& controls) {
  const bool enabled = controls.mutationRate != 0;
  controls.steadyStateEnabled = enabled;
  controls.showMutationsEnabled = enabled;
}

void AcceptControlStates(const OptionsControls& controls, LifeSettings& settings) {
  settings.WorldSize = Within(kWorldSizeSlider, controls.worldSize);
  settings.ZoomFactor = Within(kZoomSlider, controls.zoom);
  settings.IsTiled = Flag(controls.tileChecked);
  KeepZoomWithinWorld(settings.ZoomFactor, settings.WorldSize, settings.IsTiled);
  settings.InitSize = Within(kInitSizeSlider, controls.initSize);
  settings.MutateAtSteadyState = Flag(controls.steadyStateChecked);
  // The box as it is now, not as loaded, picks the table.
  settings.WorldMutationRate =
      RateForPosition(controls.mutationRate, settings.MutateAtSteadyState != 0);
  settings.ShowMutations = Flag(controls.showMutationsChecked);
  settings.GenerationRate = SpeedForPosition(controls.speed);
  settings.AllMonitors = Flag(controls.allMonitorsChecked);
  settings.RenewWhenStalled = Flag(controls.renewChecked);
  settings.TrailLength = TrailForPosition(controls.trails);
}
