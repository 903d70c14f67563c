#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/life_settings.h"
#include "store/memory_registry.h"
#include "store/settings_store.h"

namespace support {

// A value as a hand edit or another program may leave it: the low bytes of
// value, as many as its field's form takes.
struct StoredValue {
  const char* name;
  std::uint32_t value;
};

// A fresh record loaded from a key holding exactly these values: what the
// engine and the dialog are handed, out-of-range values included.
inline LifeSettings LoadedFrom(std::initializer_list<StoredValue> stored) {
  MemoryRegistry registry;
  for (const StoredValue& v : stored) {
    const SettingForm form = SettingNamed(v.name).form;
    const int width = form == SettingForm::kFlag ? 1 : form == SettingForm::kColour ? 3 : 4;
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(v.value >> (8 * i)));
    registry.Set(v.name, form == SettingForm::kWord ? kRegDword : kRegBinary, bytes);
  }
  RegistryBackend* previous = SetRegistryBackend(&registry);
  LifeSettings settings;
  LoadSettings(settings);
  SetRegistryBackend(previous);
  return settings;
}

}  // namespace support
