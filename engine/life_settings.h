#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>
#include <type_traits>

// Every user option of the saver, the two generator seeds handed on from one
// run to the next, and the 512-entry next-state table. Field names are the
// registry value names; kSettingFields below describes each stored field
// once. Loading (store/settings_store.h) leaves every field within its row's
// range and the record normalised. The engine relies on the ranges without
// checking them; the simulation thread normalises once more at its start,
// which changes nothing in a record loading produced.
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
  std::int32_t GenerationRate;  // most generations a second; 0: as fast as it goes
  std::uint8_t AllMonitors;     // lay the world out across every monitor
  std::uint8_t RenewWhenStalled;  // a fresh soup once the world has stalled
  std::int32_t TrailLength;     // generations a dead cell takes to fade out; 0: no trails

  // Every stored field from its row's default, in table order; the rule
  // table is built between the defaults read before it (Seed1's tick count
  // among them) and the tick-count reading taken after it (Seed2).
  LifeSettings();

  // Life: born with three live neighbours, survives with two or three.
  void BuildRuleTable();

  // KeepZoomWithinWorld on the record's own fields.
  void NormalizeSettings();
};

// The magnified world never exceeds the display: the zoom is brought down to
// the world size. Tiling needs a magnified world smaller than the display,
// so it is cleared when the two are equal.
constexpr std::int32_t ZoomWithinWorld(std::int32_t zoom, std::int32_t worldSize) {
  return zoom > worldSize ? worldSize : zoom;
}
constexpr bool TilingPossible(std::int32_t zoom, std::int32_t worldSize) {
  return zoom < worldSize;
}
template <typename Flag>
constexpr void KeepZoomWithinWorld(std::int32_t& zoom, std::int32_t worldSize, Flag& tiled) {
  zoom = ZoomWithinWorld(zoom, worldSize);
  if (!TilingPossible(zoom, worldSize)) tiled = Flag{};
}

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
  std::int8_t optionStep;  // position among the options' writes; -1 if none
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
                           std::int64_t max, int optionStep) {
  return {name,
          form,
          group,
          source,
          defaultValue,
          min,
          max,
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

// Rows in the order loading reads the values. Saving the options writes
// them in another order, kept from the first versions (WorldMutationRate
// before the two mutation flags), hence the option step column. Defaults are
// taken in row order; only the two tick-count readings of the seeds have an
// order that shows, and their source column fixes it around the rule table.
// A new option is a field above and a row here, at the end of the writes.
// clang-format off
inline constexpr SettingField kRows[] = {
  //                 name                   form     group        default (source, value)      min   max         option step
  Row<&S::WorldSize>("WorldSize",           kWord,   kOption,     kValue, 1,                   0,    2,           0),
  Row<&S::InitSize>("InitSize",             kWord,   kOption,     kValue, 2,                   0,    2,           1),
  Row<&S::ZoomFactor>("ZoomFactor",         kWord,   kOption,     kValue, 1,                   0,    2,           2),
  Row<&S::IsTiled>("IsTiled",               kFlag,   kOption,     kValue, 0,                   0,    1,           3),
  Row<&S::MutateAtSteadyState>("MutateAtSteadyState",
                                            kFlag,   kOption,     kValue, 1,                   0,    1,           5),
  Row<&S::ShowMutations>("ShowMutations",   kFlag,   kOption,     kValue, 0,                   0,    1,           6),
  Row<&S::WorldMutationRate>("WorldMutationRate",
                                            kWord,   kOption,     kValue, 4,                   0,    kMax,        4),
  Row<&S::RuleMutations>("RuleMutations",   kWord,   kLoadedOnly, kValue, 0,                   kMin, kMax,       -1),
  Row<&S::Seed1>("Seed1",                   kWord,   kSeed,       kTicks, 0,                   kMin, kMax,       -1),
  Row<&S::Seed2>("Seed2",                   kWord,   kSeed,       kTicksAfterRuleTable, 0,     kMin, kMax,      -1),
  Row<&S::PixelColor>("PixelColor",         kColour, kOption,     kValue, kDefaultPixelColor,  0,    0x00FFFFFF,  7),
  Row<&S::GenerationRate>("GenerationRate", kWord,   kOption,     kValue, 0,                   0,    kMax,        8),
  Row<&S::AllMonitors>("AllMonitors",       kFlag,   kOption,     kValue, 0,                   0,    1,           9),
  Row<&S::RenewWhenStalled>("RenewWhenStalled",
                                            kFlag,   kOption,     kValue, 0,                   0,    1,           10),
  Row<&S::TrailLength>("TrailLength",       kWord,   kOption,     kValue, 0,                   0,    64,          11),
};
// clang-format on

}  // namespace setting_access

// The stored fields, in the order loading reads them. Shifts (WorldSize,
// InitSize, ZoomFactor) are powers of two 0..2; flags 0 or 1; a mutation rate
// of 0 means never, a generation rate of 0 no limit; the seeds and
// RuleMutations are opaque words. The options are written by option step.
inline constexpr const auto& kSettingFields = setting_access::kRows;
inline constexpr int kSettingFieldCount = static_cast<int>(std::size(kSettingFields));

// What every row must satisfy, checked when this header compiles: a row
// that breaks a rule does not build.
namespace setting_rules {

constexpr bool NamesAreUnique() {
  for (std::size_t i = 0; i < std::size(kSettingFields); ++i) {
    for (std::size_t j = i + 1; j < std::size(kSettingFields); ++j) {
      if (std::string_view(kSettingFields[i].name) == kSettingFields[j].name) return false;
    }
  }
  return true;
}

// The n option rows hold the steps 0..n-1, each once; no other row has one.
constexpr bool OptionStepsAreDense() {
  int options = 0;
  for (const SettingField& field : kSettingFields) {
    if ((field.group == SettingGroup::kOption) != (field.optionStep >= 0)) return false;
    if (field.group == SettingGroup::kOption) ++options;
  }
  for (int step = 0; step < options; ++step) {
    int holders = 0;
    for (const SettingField& field : kSettingFields) holders += field.optionStep == step;
    if (holders != 1) return false;
  }
  return true;
}

constexpr bool FlagsRangeZeroToOne() {
  for (const SettingField& field : kSettingFields) {
    if (field.form == SettingForm::kFlag && (field.min != 0 || field.max != 1)) return false;
  }
  return true;
}

constexpr bool DefaultsLieInTheirRanges() {
  for (const SettingField& field : kSettingFields) {
    if (field.min > field.max) return false;
    if (field.source == SettingDefault::kValue &&
        (field.defaultValue < field.min || field.defaultValue > field.max)) {
      return false;
    }
  }
  return true;
}

static_assert(NamesAreUnique(), "two stored rows share a name");
static_assert(OptionStepsAreDense(),
              "every option row needs its own save step, the steps 0..n-1 each once, "
              "and only option rows have one");
static_assert(FlagsRangeZeroToOne(), "a flag row's range is 0..1");
static_assert(DefaultsLieInTheirRanges(), "a row's default lies outside its range");

}  // namespace setting_rules

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
