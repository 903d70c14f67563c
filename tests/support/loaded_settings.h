#pragma once
#include <cstdint>
#include <initializer_list>

#include "engine/life_settings.h"
#include "store/settings_store.h"
#include "support/memory_registry.h"
#include "support/stored_settings.h"

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
    registry.Set(v.name, RegistryTypeOf(form), Encoded(form, v.value));
  }
  RegistryBackend* previous = SetRegistryBackend(&registry);
  LifeSettings settings;
  LoadSettings(settings);
  SetRegistryBackend(previous);
  return settings;
}

}  // namespace support
