#pragma once
#include <cstdint>

#include "engine/life_settings.h"

// The saver's settings in its registry key (store/registry_key.h). Every
// operation opens the key itself and keeps nothing; every failure is silent.
//
// How the Windows program calls these (after InstallWindowsStore()):
//   saver window construction: LoadSettings(lifeSettings);
//   options dialog set-up:     LoadSettings(dialogSettings);
//   options dialog OK:         SaveSettings(dialogSettings);
//   saver window teardown:     draw the new seeds into lifeSettings, then
//                              SaveSeeds(lifeSettings);
//                              SaveRunRate(generationCount, now - startTime);

// Reads every stored value over the record's fields, then keeps the shifts
// in range and normalises. A missing, unreadable or too long value keeps its
// field; WorldSize, ZoomFactor and InitSize end up in 0..2, a negative
// WorldMutationRate becomes 0 (never mutate) and any non-zero flag byte 1.
// Runs the clamping and NormalizeSettings even when the key cannot be opened.
void LoadSettings(LifeSettings& settings);

// Writes the options the dialog edits; never the seeds or RuleMutations.
void SaveSettings(const LifeSettings& settings);

// Writes Seed1 and Seed2.
void SaveSeeds(const LifeSettings& settings);

// Writes LastRate as the text "<rate with two decimals> updates/sec" and its
// NUL. A rate that is not a finite number is not written.
void SaveRate(double rate);

// The rate of a run of generationCount generations over elapsedSeconds
// whole seconds of the calendar clock. A run shorter than one second (or a
// clock that went backwards) has no rate: LastRate then keeps its old value.
void SaveRunRate(std::int64_t generationCount, std::int64_t elapsedSeconds);
