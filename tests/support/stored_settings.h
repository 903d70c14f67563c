#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/life_settings.h"
#include "store/registry_key.h"

// The stored settings as the tests see them, all built from kSettingFields
// (engine/life_settings.h): how a value lies in the key, the rows of a
// group, the options in the order OK writes them, and a record whose every
// field is unlike its default. A test that iterates these covers a new row
// without being edited.
namespace support {

using Bytes = std::vector<std::uint8_t>;

// The registry type a field is written with: a word REG_DWORD, a flag and
// a colour REG_BINARY.
constexpr std::uint32_t RegistryTypeOf(SettingForm form) {
  return form == SettingForm::kWord ? kRegDword : kRegBinary;
}

// The bytes a value is written as: 4 for a word, 1 for a flag, 3 (red,
// green, blue) for a colour.
constexpr std::size_t StoredWidth(SettingForm form) {
  return form == SettingForm::kWord ? 4 : form == SettingForm::kFlag ? 1 : 3;
}

// A field's value as the key holds it: its low StoredWidth bytes,
// little-endian.
inline Bytes Encoded(SettingForm form, std::int64_t value) {
  Bytes bytes;
  const auto word = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < StoredWidth(form); ++i) {
    bytes.push_back(static_cast<std::uint8_t>(word >> (8 * i)));
  }
  return bytes;
}

// The rows of one group, in table order (the order loading reads them).
inline std::vector<const SettingField*> RowsOf(SettingGroup group) {
  std::vector<const SettingField*> rows;
  for (const SettingField& field : kSettingFields) {
    if (field.group == group) rows.push_back(&field);
  }
  return rows;
}

// The option rows in the order OK writes them.
inline std::vector<const SettingField*> OptionsInSaveOrder() {
  std::vector<const SettingField*> rows = RowsOf(SettingGroup::kOption);
  std::sort(rows.begin(), rows.end(), [](const SettingField* a, const SettingField* b) {
    return a->optionStep < b->optionStep;
  });
  return rows;
}

// A value within the field's range and unlike its default, so that a field
// that a load leaves alone or a save skips shows. Picked by hand for the
// words the tests name: zoom 0 below world size 2, so that tiling survives
// normalising, and opaque words whose four bytes all differ. Any other field
// (a flag, a new row) takes the end of its range farthest from its default.
inline std::int64_t MarkedValue(const SettingField& field) {
  struct Mark {
    std::string_view name;
    std::int64_t value;
  };
  constexpr Mark kMarks[] = {
      {"WorldSize", 2},       {"InitSize", 1},          {"ZoomFactor", 0},
      {"WorldMutationRate", 16}, {"RuleMutations", 0x5A5A5A5A}, {"Seed1", 0x11223344},
      {"Seed2", 0x55667788},  {"PixelColor", 0x00332211}, {"GenerationRate", 60},
  };
  for (const Mark& mark : kMarks) {
    if (mark.name == field.name) return mark.value;
  }
  return field.defaultValue - field.min > field.max - field.defaultValue ? field.min : field.max;
}

// A record holding MarkedValue in every stored field.
inline LifeSettings Marked() {
  LifeSettings settings;
  for (const SettingField& field : kSettingFields) field.set(settings, MarkedValue(field));
  return settings;
}

}  // namespace support
