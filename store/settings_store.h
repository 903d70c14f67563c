#pragma once
#include <cstdint>

#include "engine/life_settings.h"

// The saver's settings in its registry key (store/registry_key.h), each
// value named, shaped and ranged by its row of kSettingFields
// (engine/life_settings.h). Every operation opens the key itself and keeps
// nothing; every failure is silent. With no registry back end installed the
// key counts as one that cannot be opened.

// Reads every stored value over the record's fields in the rows' order, then
// clamps every field into its row's range and normalises. A missing,
// unreadable or too long value, or one of another type than its row's form
// is written with, keeps its field; a shorter word replaces the field's
// leading bytes; a colour needs at least its 3 bytes. Clamping and
// NormalizeSettings run even when the key cannot be opened, so the record
// meets the engine's preconditions whatever the key holds.
void LoadSettings(LifeSettings& settings);

// Writes the option rows, in option-step order, as the record holds them;
// never the seeds or RuleMutations.
void SaveSettings(const LifeSettings& settings);

// Writes the seed rows (Seed1, Seed2).
void SaveSeeds(const LifeSettings& settings);

// Writes LastRate as the text "<rate with two decimals> updates/sec" and its
// NUL. A rate that is not a finite number is not written.
void SaveRate(double rate);

// The rate of a run of generationCount generations over elapsedSeconds
// whole seconds of the calendar clock. A run shorter than one second (or a
// clock that went backwards) has no rate: LastRate then keeps its old value.
void SaveRunRate(std::int64_t generationCount, std::int64_t elapsedSeconds);
