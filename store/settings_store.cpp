#include "store/settings_store.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "store/registry_key.h"

namespace {

constexpr const char* kLastRateName = "LastRate";

// A word is read as up to 4 bytes, a flag as 1, a colour as 3 or 4 (the
// fourth ignored).
std::uint32_t ReadWidth(SettingForm form) { return form == SettingForm::kFlag ? 1 : 4; }

// The type a field is written with; a value of any other type is unreadable
// (REG_SZ "0" is not the number 0x30).
std::uint32_t StoredType(SettingForm form) {
  return form == SettingForm::kWord ? kRegDword : kRegBinary;
}

// Replaces the low `count` bytes of value, little-endian.
std::uint32_t MergeLeadingBytes(std::uint32_t value, const std::uint8_t* bytes,
                                std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t shift = 8 * i;
    value = (value & ~(0xFFu << shift)) | (std::uint32_t{bytes[i]} << shift);
  }
  return value;
}

void LoadField(RegistryKey& key, const SettingField& field, LifeSettings& settings) {
  // The platform leaves the buffer undefined when a read fails, so the
  // field is only ever touched from a read that succeeded.
  std::uint8_t buffer[4] = {};
  std::uint32_t size = 0;
  std::uint32_t type = kRegNone;
  const std::uint32_t width = ReadWidth(field.form);
  if (!key.Read(field.name, buffer, width, size, type) || size > width ||
      type != StoredType(field.form)) {
    return;
  }
  if (field.form == SettingForm::kColour) {
    // One or two bytes would leave components undefined: missing.
    if (size < 3) return;
    field.set(settings, MergeLeadingBytes(0, buffer, 3));
    return;
  }
  // A shorter value replaces the field's leading bytes.
  const auto held = static_cast<std::uint32_t>(field.get(settings));
  field.set(settings, MergeLeadingBytes(held, buffer, size));
}

void WriteField(RegistryKey& key, const SettingField& field, const LifeSettings& settings) {
  const auto value = static_cast<std::uint32_t>(field.get(settings));
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  switch (field.form) {
    case SettingForm::kWord:
      key.Write(field.name, kRegDword, bytes, 4);
      break;
    case SettingForm::kFlag:
      key.Write(field.name, kRegBinary, bytes, 1);
      break;
    case SettingForm::kColour:
      key.Write(field.name, kRegBinary, bytes, 3);  // red, green, blue
      break;
  }
}

// Values from outside are brought into the ranges the engine relies on.
void ClampLoaded(LifeSettings& settings) {
  for (const SettingField& field : kSettingFields) {
    field.set(settings, std::clamp(field.get(settings), field.min, field.max));
  }
}

std::unique_ptr<RegistryKey> OpenKey(KeyAccess access) {
  RegistryBackend* backend = CurrentRegistryBackend();
  return backend != nullptr ? backend->OpenSettingsKey(access) : nullptr;
}

}  // namespace

void LoadSettings(LifeSettings& settings) {
  if (const auto key = OpenKey(KeyAccess::kRead)) {
    for (const SettingField& field : kSettingFields) LoadField(*key, field, settings);
  }
  ClampLoaded(settings);
  settings.NormalizeSettings();
}

void SaveSettings(const LifeSettings& settings) {
  const auto key = OpenKey(KeyAccess::kWrite);
  if (!key) return;
  for (int step = 0; step < kSettingFieldCount; ++step) {
    for (const SettingField& field : kSettingFields) {
      if (field.group == SettingGroup::kOption && field.optionStep == step) {
        WriteField(*key, field, settings);
      }
    }
  }
}

void SaveSeeds(const LifeSettings& settings) {
  const auto key = OpenKey(KeyAccess::kWrite);
  if (!key) return;
  for (const SettingField& field : kSettingFields) {
    if (field.group == SettingGroup::kSeed) WriteField(*key, field, settings);
  }
}

void SaveRate(double rate) {
  if (!std::isfinite(rate)) return;
  char text[256];
  const int length = std::snprintf(text, sizeof text, "%.2f updates/sec", rate);
  if (length <= 0 || length >= static_cast<int>(sizeof text)) return;
  const auto key = OpenKey(KeyAccess::kWrite);
  if (!key) return;
  key->Write(kLastRateName, kRegSz, text, static_cast<std::uint32_t>(length) + 1);
}

void SaveRunRate(std::int64_t generationCount, std::int64_t elapsedSeconds) {
  if (elapsedSeconds < 1) return;
  SaveRate(static_cast<double>(generationCount) / static_cast<double>(elapsedSeconds));
}
