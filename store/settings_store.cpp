#include "store/settings_store.h"

#include <cmath>
#include <cstdio>
#include <type_traits>

#include "engine/world_geometry.h"
#include "store/registry_key.h"

namespace {

// How a field is held in the key.
enum class Form : std::uint8_t {
  kWord,    // REG_DWORD (or anything), 4 bytes little-endian; shorter values
            // replace the field's leading bytes
  kFlag,    // REG_BINARY, 1 byte
  kColour,  // REG_BINARY, 3 bytes red, green, blue; read as 3 or 4 bytes
};

enum class Writer : std::uint8_t { kOptions, kSeeds, kNever };

// One row per stored value, in the order LoadSettings reads them. The
// options are written in optionsOrder, which differs from the read order.
struct SettingRow {
  const char* name;
  Form form;
  Writer writer;
  std::int8_t optionsOrder;  // position among SaveSettings' writes; -1 if none
  std::uint32_t (*get)(const LifeSettings&);
  void (*set)(LifeSettings&, std::uint32_t);
};

template <auto Member>
std::uint32_t GetField(const LifeSettings& s) {
  return static_cast<std::uint32_t>(s.*Member);
}

// A 32-bit unsigned value converts to a signed field modulo 2^32.
template <auto Member>
void SetField(LifeSettings& s, std::uint32_t value) {
  s.*Member = static_cast<std::remove_reference_t<decltype(s.*Member)>>(value);
}

template <auto Member>
constexpr SettingRow Row(const char* name, Form form, Writer writer, int optionsOrder = -1) {
  return {name, form, writer, static_cast<std::int8_t>(optionsOrder), &GetField<Member>,
          &SetField<Member>};
}

constexpr SettingRow kRows[] = {
    Row<&LifeSettings::WorldSize>("WorldSize", Form::kWord, Writer::kOptions, 0),
    Row<&LifeSettings::InitSize>("InitSize", Form::kWord, Writer::kOptions, 1),
    Row<&LifeSettings::ZoomFactor>("ZoomFactor", Form::kWord, Writer::kOptions, 2),
    Row<&LifeSettings::IsTiled>("IsTiled", Form::kFlag, Writer::kOptions, 3),
    Row<&LifeSettings::MutateAtSteadyState>("MutateAtSteadyState", Form::kFlag, Writer::kOptions,
                                            5),
    Row<&LifeSettings::ShowMutations>("ShowMutations", Form::kFlag, Writer::kOptions, 6),
    Row<&LifeSettings::WorldMutationRate>("WorldMutationRate", Form::kWord, Writer::kOptions, 4),
    Row<&LifeSettings::RuleMutations>("RuleMutations", Form::kWord, Writer::kNever),
    Row<&LifeSettings::Seed1>("Seed1", Form::kWord, Writer::kSeeds),
    Row<&LifeSettings::Seed2>("Seed2", Form::kWord, Writer::kSeeds),
    Row<&LifeSettings::PixelColor>("PixelColor", Form::kColour, Writer::kOptions, 7),
};

constexpr int kOptionsCount = 8;
constexpr const char* kLastRateName = "LastRate";

std::uint32_t ReadWidth(Form form) { return form == Form::kFlag ? 1 : 4; }

// Replaces the low `count` bytes of value, little-endian.
std::uint32_t MergeLeadingBytes(std::uint32_t value, const std::uint8_t* bytes,
                                std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t shift = 8 * i;
    value = (value & ~(0xFFu << shift)) | (std::uint32_t{bytes[i]} << shift);
  }
  return value;
}

void LoadRow(RegistryKey& key, const SettingRow& row, LifeSettings& settings) {
  // The platform leaves the buffer undefined when a read fails, so the
  // field is only ever touched from a read that succeeded.
  std::uint8_t buffer[4] = {};
  std::uint32_t size = 0;
  const std::uint32_t width = ReadWidth(row.form);
  if (!key.Read(row.name, buffer, width, size) || size > width) return;
  if (row.form == Form::kColour) {
    // One or two bytes would leave components undefined: missing.
    if (size < 3) return;
    row.set(settings, MergeLeadingBytes(0, buffer, 3));
    return;
  }
  row.set(settings, MergeLeadingBytes(row.get(settings), buffer, size));
}

void WriteRow(RegistryKey& key, const SettingRow& row, const LifeSettings& settings) {
  const std::uint32_t value = row.get(settings);
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
      static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
  switch (row.form) {
    case Form::kWord:
      key.Write(row.name, kRegDword, bytes, 4);
      break;
    case Form::kFlag:
      key.Write(row.name, kRegBinary, bytes, 1);
      break;
    case Form::kColour:
      key.Write(row.name, kRegBinary, bytes, 3);  // red, green, blue
      break;
  }
}

// Values from outside are brought into the ranges the engine relies on.
void ClampLoaded(LifeSettings& s) {
  s.WorldSize = ClampShift(s.WorldSize);
  s.ZoomFactor = ClampShift(s.ZoomFactor);
  s.InitSize = ClampShift(s.InitSize);
  // Negative counts have no meaning; 0 is "never mutate".
  if (s.WorldMutationRate < 0) s.WorldMutationRate = 0;
  s.IsTiled = s.IsTiled != 0 ? 1 : 0;
  s.MutateAtSteadyState = s.MutateAtSteadyState != 0 ? 1 : 0;
  s.ShowMutations = s.ShowMutations != 0 ? 1 : 0;
}

std::unique_ptr<RegistryKey> OpenKey(KeyAccess access) {
  RegistryBackend* backend = CurrentRegistryBackend();
  return backend != nullptr ? backend->OpenSettingsKey(access) : nullptr;
}

}  // namespace

void LoadSettings(LifeSettings& settings) {
  if (const auto key = OpenKey(KeyAccess::kRead)) {
    for (const SettingRow& row : kRows) LoadRow(*key, row, settings);
  }
  ClampLoaded(settings);
  settings.NormalizeSettings();
}

void SaveSettings(const LifeSettings& settings) {
  const auto key = OpenKey(KeyAccess::kWrite);
  if (!key) return;
  for (int order = 0; order < kOptionsCount; ++order) {
    for (const SettingRow& row : kRows) {
      if (row.writer == Writer::kOptions && row.optionsOrder == order) {
        WriteRow(*key, row, settings);
      }
    }
  }
}

void SaveSeeds(const LifeSettings& settings) {
  const auto key = OpenKey(KeyAccess::kWrite);
  if (!key) return;
  for (const SettingRow& row : kRows) {
    if (row.writer == Writer::kSeeds) WriteRow(*key, row, settings);
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
