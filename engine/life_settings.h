#pragma once
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

// Every user option of the saver, the two generator seeds handed on from one
// run to the next, and the 512-entry next-state table. Field names are the
// registry value names; kSettingFields below describes each stored field
// once. Past loading (store/settings_store.h) every field lies within its
// row's range and the record is normalised; the engine relies on that and
// checks none of it again.
struct LifeSettings {
  std::int32_t ZoomFactor;
  std::int32_t WorldSize;
  std::uint8_t IsTiled;
  std::uint32_t PixelColor;  // COLORREF layout 0x00BBGGRR
  std::int32_t WorldMutationRate;
  std::int32_t RuleMutations;  // loaded, never acted on
  // Next state indexed by the 3x3 neighbourhood: bit 4 is the cell itself,
  // bits 8..6 the row above (left to right), 5 and 3 the left and right
  // neighbours, 2..0 the row below.
  std::uint8_t RuleTable[512];
  std::int32_t Seed1;
  std::int32_t Seed2;
  std::uint8_t MutateAtSteadyState;
  std::uint8_t ShowMutations;
  std::int32_t InitSize;

  // Every stored field from its row's default, in the rows' default order;
  // the rule table is built between the last default taken before it and
  // the tick-count reading taken after it (Seed2).
  LifeSettings();

  // Life: born with three live neighbours, survives with two or three.
  void BuildRuleTable();

  // ZoomFactor never above WorldSize; no tiling when they are equal.
  void NormalizeSettings();
};

// How a value is held in the registry key.
enum class SettingForm : std::uint8_t {
  kWord,    // REG_DWORD, 4 bytes little-endian
  kFlag,    // REG_BINARY, 1 byte
  kColour,  // REG_BINARY, 3 bytes red, green, blue
};

// Which save writes a value.
enum class SettingGroup : std::uint8_t {
  kOption,      // the options dialog's OK, in optionStep order
  kSeed,        // the end of a saver run
  kLoadedOnly,  // never written
};

// Where a field's value comes from when a record is constructed.
enum class SettingDefault : std::uint8_t {
  kValue,                // defaultValue
  kTicks,                // a tick-count reading, before the rule table is built
  kTicksAfterRuleTable,  // a tick-count reading, after it
};

// One stored field. Values travel as 64-bit integers: get gives the field's
// value exactly, set stores one modulo the field's width. min and max bound
// what loading leaves in the field.
struct SettingField {
  const char* name;  // registry value name and field name
  SettingForm form;
  SettingGroup group;
  SettingDefault source;
  std::int64_t defaultValue;
  std::int64_t min;
  std::int64_t max;
  std::int8_t defaultStep;  // position in the constructor's order
  std::int8_t optionStep;   // position among the options' writes; -1 if none
  std::int64_t (*get)(const LifeSettings&);
  void (*set)(LifeSettings&, std::int64_t);
};

// The live-cell colour until one is stored: a light cyan.
inline constexpr std::uint32_t kDefaultPixelColor = 0x00FFFF30u;

namespace setting_access {

template <auto Member>
std::int64_t Get(const LifeSettings& s) {
  return static_cast<std::int64_t>(s.*Member);
}

template <auto Member>
void Set(LifeSettings& s, std::int64_t value) {
  s.*Member = static_cast<std::remove_reference_t<decltype(s.*Member)>>(value);
}

template <auto Member>
constexpr SettingField Row(const char* name, SettingForm form, SettingGroup group,
                           SettingDefault source, std::int64_t defaultValue, std::int64_t min,
                           std::int64_t max, int defaultStep, int optionStep) {
  return {name,
          form,
          group,
          source,
          defaultValue,
          min,
          max,
          static_cast<std::int8_t>(defaultStep),
          static_cast<std::int8_t>(optionStep),
          &Get<Member>,
          &Set<Member>};
}

using enum SettingForm;
using enum SettingGroup;
using enum SettingDefault;
using S = LifeSettings;
inline constexpr std::int64_t kMin = INT32_MIN;
inline constexpr std::int64_t kMax = INT32_MAX;

// clang-format off
inline constexpr SettingField kRows[] = {
  //                 name                   form     group        default (source, value)      min   max         step: default, option
  Row<&S::WorldSize>("WorldSize",           kWord,   kOption,     kValue, 1,                   0,    2,          2,  0),
  Row<&S::InitSize>("InitSize",             kWord,   kOption,     kValue, 2,                   0,    2,          4,  1),
  Row<&S::ZoomFactor>("ZoomFactor",         kWord,   kOption,     kValue, 1,                   0,    2,          1,  2),
  Row<&S::IsTiled>("IsTiled",               kFlag,   kOption,     kValue, 0,                   0,    1,          3,  3),
  Row<&S::MutateAtSteadyState>("MutateAtSteadyState",
                                            kFlag,   kOption,     kValue, 1,                   0,    1,          6,  5),
  Row<&S::ShowMutations>("ShowMutations",   kFlag,   kOption,     kValue, 0,                   0,    1,          7,  6),
  Row<&S::WorldMutationRate>("WorldMutationRate",
                                            kWord,   kOption,     kValue, 4,                   0,    kMax,       5,  4),
  Row<&S::RuleMutations>("RuleMutations",   kWord,   kLoadedOnly, kValue, 0,                   kMin, kMax,       9, -1),
  Row<&S::Seed1>("Seed1",                   kWord,   kSeed,       kTicks, 0,                   kMin, kMax,       0, -1),
  Row<&S::Seed2>("Seed2",                   kWord,   kSeed,       kTicksAfterRuleTable, 0,     kMin, kMax,      10, -1),
  Row<&S::PixelColor>("PixelColor",         kColour, kOption,     kValue, kDefaultPixelColor,  0,    0x00FFFFFF, 8,  7),
};
// clang-format on

}  // namespace setting_access

// The stored fields, in the order loading reads them. Shifts (WorldSize,
// InitSize, ZoomFactor) are powers of two 0..2; flags 0 or 1; a mutation rate
// of 0 means never; the seeds and RuleMutations are opaque words. The constructor takes the defaults by default
// step, the options are written by option step.
inline constexpr const auto& kSettingFields = setting_access::kRows;
inline constexpr int kSettingFieldCount = static_cast<int>(std::size(kSettingFields));

// The row of the field with this name; a name without a row does not compile
// where the lookup is constant.
constexpr const SettingField& SettingNamed(std::string_view name) {
  for (const SettingField& field : kSettingFields) {
    if (std::string_view(field.name) == name) return field;
  }
  throw "no stored field of that name";
}

// The process's one settings record, read by the whole engine.
extern LifeSettings lifeSettings;
