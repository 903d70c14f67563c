#pragma once
#include <cstdint>
#include <iterator>

#include "engine/life_settings.h"

// The options dialog's rules, free of any window: how loaded settings become
// control states, how dragging one slider moves the other, and how the
// control states become the settings that OK stores.

// A slider's positions, low..high inclusive.
struct SliderRange {
  int low;
  int high;
};

// Each size slider spans its field's range; a position is the stored shift.
constexpr SliderRange SliderFor(const SettingField& field) {
  return {static_cast<int>(field.min), static_cast<int>(field.max)};
}
inline constexpr SliderRange kWorldSizeSlider = SliderFor(SettingNamed("WorldSize"));
inline constexpr SliderRange kZoomSlider = SliderFor(SettingNamed("ZoomFactor"));
inline constexpr SliderRange kInitSizeSlider = SliderFor(SettingNamed("InitSize"));

// The rate slider's positions are RateForPosition's, 0..3, not stored values.
inline constexpr int kRatePositionMax = 3;
inline constexpr SliderRange kRateSlider = {0, kRatePositionMax};

// Rate slider position for a stored WorldMutationRate: 0 is "Never", 1 the
// longest interval, 3 the shortest. Every rate falls into some position;
// RateForPosition's values map back to their own position.
int RatePositionFor(std::int32_t rate, bool steadyState);

// Generations between mutations for a rate slider position: 0 for "Never";
// 8, 4, 2 counted steady generations, or 64, 16, 4 generations when every
// generation counts. Positions outside 0..3 are clamped first.
std::int32_t RateForPosition(int position, bool steadyState);

// The speed slider's positions, slow to fast: generations a second, the last
// (0) as fast as the machine goes.
inline constexpr std::int32_t kSpeedRates[] = {5, 10, 30, 60, 120, 0};
inline constexpr int kSpeedPositionMax = static_cast<int>(std::size(kSpeedRates)) - 1;
inline constexpr SliderRange kSpeedSlider = {0, kSpeedPositionMax};

// Speed slider position for a stored GenerationRate: the position whose rate
// is nearest by ratio; 0 (no limit), or more than twice the fastest limited
// rate, is the last position. A position's own rate maps back to it.
int SpeedPositionFor(std::int32_t generationRate);

// GenerationRate for a speed slider position; outside 0..max, the nearer end.
std::int32_t SpeedForPosition(int position);

// The trails slider's positions, "Off" to "Long": generations a dead cell
// takes to fade out, doubling from the first length on.
inline constexpr std::int32_t kTrailLengths[] = {0, 2, 4, 8, 16, 32, 64};
inline constexpr int kTrailPositionMax = static_cast<int>(std::size(kTrailLengths)) - 1;
inline constexpr SliderRange kTrailSlider = {0, kTrailPositionMax};

// Trails slider position for a stored TrailLength: only 0 (or less) is
// "Off"; any other length shows at the position whose length is nearest by
// ratio, past the longest at the last. A position's own length maps back to
// it.
int TrailPositionFor(std::int32_t trailLength);

// TrailLength for a trails slider position; outside 0..max, the nearer end.
std::int32_t TrailForPosition(int position);

// What the dialog's controls show: slider positions and the check boxes'
// check and enable states.
struct OptionsControls {
  int worldSize = 0;
  int zoom = 0;
  int initSize = 0;
  int mutationRate = 0;
  bool tileChecked = false;
  bool tileEnabled = true;
  bool steadyStateChecked = false;
  bool steadyStateEnabled = true;
  bool showMutationsChecked = false;
  bool showMutationsEnabled = true;
  int speed = 0;
  bool allMonitorsChecked = false;
  bool renewChecked = false;
  int trails = 0;
};

// Controls as set up from settings as loading leaves them (each shift within
// its slider, normalised): tiling is disabled when the world-size and zoom
// sliders show the same position; both mutation boxes are disabled at
// "Never".
OptionsControls ControlsFor(const LifeSettings& settings);

// Coupling whenever a slider moves. World size dragged below the zoom pulls
// the zoom down with it; zoom dragged above the world size pushes the world
// size up. Tiling is possible only while the two differ.
void TrackWorldSize(OptionsControls& controls);
void TrackZoom(OptionsControls& controls);
// The mutation boxes mean nothing at "Never"; their check marks stay.
void TrackMutationRate(OptionsControls& controls);

// OK: the control states written into the settings. A position outside its
// slider counts as the nearer end. Zoom is kept within the world size and
// tiling needs them to differ, whatever the sliders show. Disabled boxes
// count with the check they show. The speed and the trail length are their
// positions' values. The seeds, RuleMutations and the colour are untouched.
void AcceptControlStates(const OptionsControls& controls, LifeSettings& settings);
