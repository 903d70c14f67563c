// A Windows program that runs the store's Win32 back ends against Wine's
// registry and file system, driven by store_wine_check.sh, which writes the
// values first with `reg add` and reads the results with `reg query`.
//
//   load NAME=TYPE:HEX ...  the key holds exactly these values (HEX: the
//                           bytes the ANSI read returns); compares every read
//                           and LoadSettings through the registry with the
//                           same through an in-memory key holding them
//   fields                  prints every stored row, one a line, in table
//                           order: NAME FORM GROUP STEP DEFAULT (word, flag,
//                           colour; option, seed, loaded-only)
//   save-settings           SaveSettings of a fixed record; prints each
//                           option as `reg query` shows it: NAME TYPE DATA
//   save-seeds S1 S2        SaveSeeds with these seeds (hexadecimal)
//   rate GENERATIONS SECONDS  SaveRunRate
//   read NAME               prints the value's size and bytes as read
//   path                    prints the dump's path by the path rule
//   dump                    DumpWorld of a 512 x 384 world, bytes i * 7
//   randbits DIGITS         the random-bit log holding these digits
//   (both where the saver puts them: the Windows directory, else the
//   per-user folder)
//   hold PATH               makes the file and holds it open as a saver holds
//                           its temporary file, until PATH.release exists
// Prints "ok" or lines starting "FAIL"; exit status 0 only when all is well.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/life_settings.h"
#include "engine/life_world.h"
#include "store/diagnostic_files.h"
#include "store/settings_store.h"
#include "store/store_win32.h"
#include "support/memory_registry.h"
#include "support/stored_settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const std::uint8_t* p, std::size_t n) {
  std::string s;
  char two[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(two, sizeof two, "%02X", p[i]);
    s += two;
  }
  return s;
}

bool ParseHex(const std::string& text, Bytes& out) {
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    char* end = nullptr;
    const std::string two = text.substr(i, 2);
    const unsigned long byte = std::strtoul(two.c_str(), &end, 16);
    if (*end != '\0') return false;
    out.push_back(static_cast<std::uint8_t>(byte));
  }
  return true;
}

// Every stored field as NAME=VALUE in table order, colours in hexadecimal.
std::string Fields(const LifeSettings& s) {
  std::string text;
  for (const SettingField& field : kSettingFields) {
    char one[64];
    const long long value = field.get(s);
    if (field.form == SettingForm::kColour) {
      std::snprintf(one, sizeof one, "%s=0x%08llX", field.name, value);
    } else {
      std::snprintf(one, sizeof one, "%s=%lld", field.name, value);
    }
    if (!text.empty()) text += ' ';
    text += one;
  }
  return text;
}

int PrintFields() {
  for (const SettingField& field : kSettingFields) {
    const char* form = field.form == SettingForm::kWord   ? "word"
                       : field.form == SettingForm::kFlag ? "flag"
                                                          : "colour";
    const char* group = field.group == SettingGroup::kOption ? "option"
                        : field.group == SettingGroup::kSeed ? "seed"
                                                             : "loaded-only";
    std::printf("%s %s %s %d %lld\n", field.name, form, group, int{field.optionStep},
                static_cast<long long>(field.defaultValue));
  }
  return 0;
}

// Saves s and prints each option's value as `reg query` shows what the
// table says is written: a word as REG_DWORD 0x<hex>, a flag or colour as
// REG_BINARY and its bytes.
int SaveAndPrintOptions(const LifeSettings& s) {
  SaveSettings(s);
  for (const SettingField* field : support::OptionsInSaveOrder()) {
    const std::int64_t value = field->get(s);
    if (field->form == SettingForm::kWord) {
      std::printf("%s REG_DWORD 0x%x\n", field->name, static_cast<unsigned>(value));
    } else {
      const support::Bytes bytes = support::Encoded(field->form, value);
      std::printf("%s REG_BINARY %s\n", field->name, Hex(bytes.data(), bytes.size()).c_str());
    }
  }
  return 0;
}

// Every stored name and LastRate.
const std::vector<std::string> kNames = [] {
  std::vector<std::string> names;
  for (const SettingField& field : kSettingFields) names.emplace_back(field.name);
  names.emplace_back("LastRate");
  return names;
}();

int Load(int argc, char** argv) {
  MemoryRegistry memory;
  for (int i = 2; i < argc; ++i) {
    const std::string description = argv[i];
    const auto eq = description.find('=');
    const auto colon = description.find(':');
    Bytes data;
    if (eq == std::string::npos || colon == std::string::npos || colon < eq ||
        !ParseHex(description.substr(colon + 1), data)) {
      std::printf("FAIL bad value description %s\n", description.c_str());
      return 2;
    }
    memory.Set(description.substr(0, eq),
               static_cast<std::uint32_t>(std::strtoul(description.c_str() + eq + 1, nullptr, 10)),
               data);
  }

  int failures = 0;
  // The two keys answer every read alike, at every buffer size.
  {
    const auto real = WindowsRegistry().OpenSettingsKey(KeyAccess::kRead);
    const auto model = memory.OpenSettingsKey(KeyAccess::kRead);
    if (!real) {
      std::printf("FAIL the key cannot be opened\n");
      return 1;
    }
    for (const std::string& valueName : kNames) {
      const char* name = valueName.c_str();
      for (std::uint32_t capacity : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 9u, 16u}) {
        std::uint8_t a[16], b[16];
        std::memset(a, 0xEE, sizeof a);
        std::memset(b, 0xEE, sizeof b);
        std::uint32_t sizeA = 0, sizeB = 0, typeA = 0, typeB = 0;
        const bool okA = real->Read(name, a, capacity, sizeA, typeA);
        const bool okB = model->Read(name, b, capacity, sizeB, typeB);
        if (okA != okB ||
            (okA && (sizeA != sizeB || typeA != typeB || std::memcmp(a, b, sizeA) != 0))) {
          std::printf("FAIL read %s into %u bytes: registry %s %s, in memory %s %s\n", name,
                      capacity, okA ? "ok" : "failed", okA ? Hex(a, sizeA).c_str() : "",
                      okB ? "ok" : "failed", okB ? Hex(b, sizeB).c_str() : "");
          ++failures;
        }
      }
    }
  }

  // Loaded over a record unlike anything the driver stores.
  LifeSettings viaRegistry = support::Marked();
  LifeSettings viaMemory = viaRegistry;
  SetRegistryBackend(&WindowsRegistry());
  LoadSettings(viaRegistry);
  SetRegistryBackend(&memory);
  LoadSettings(viaMemory);
  const std::string a = Fields(viaRegistry);
  const std::string b = Fields(viaMemory);
  std::printf("fields %s\n", a.c_str());
  if (a != b) {
    std::printf("FAIL in memory the fields load as %s\n", b.c_str());
    ++failures;
  }
  if (failures == 0) std::printf("ok\n");
  return failures == 0 ? 0 : 1;
}

int Read(const char* name) {
  const auto key = WindowsRegistry().OpenSettingsKey(KeyAccess::kRead);
  std::uint8_t buffer[256];
  std::uint32_t size = 0, type = 0;
  if (!key || !key->Read(name, buffer, sizeof buffer, size, type)) {
    std::printf("missing\n");
    return 1;
  }
  std::printf("size=%u bytes=%s\n", size, Hex(buffer, size).c_str());
  return 0;
}

int Dump() {
  std::vector<std::uint8_t> pixels(512 / 8 * 384);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7);
  LifeWorld world;
  world.worldCols = 512;
  world.worldRows = 384;
  world.currentBits = pixels.data();
  if (!DumpWorld(world, kDefaultPixelColor)) {
    std::printf("FAIL no dump written\n");
    return 1;
  }
  std::printf("ok\n");
  return 0;
}

int RandBits(const char* digits) {
  PendingFile log;
  if (!OpenRandBitsLog(log)) {
    std::printf("FAIL the log cannot be created\n");
    return 1;
  }
  for (const char* p = digits; *p != '\0'; ++p) std::fputc(*p, log.Stream());
  if (!log.Commit()) {
    std::printf("FAIL the log was not kept\n");
    return 1;
  }
  std::printf("ok\n");
  return 0;
}

int Hold(const std::string& path) {
  std::FILE* file = WindowsFileOperations().createNew(path);
  if (file == nullptr) {
    std::printf("FAIL cannot make %s\n", path.c_str());
    return 1;
  }
  std::fputs("held", file);
  std::fflush(file);
  const std::wstring release = WideFromUtf8(path + ".release");
  for (int waited = 0; waited < 600 && GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES;
       ++waited)
    Sleep(100);
  std::fclose(file);
  std::printf("ok\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  InstallWindowsStore();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "load") return Load(argc, argv);
  if (mode == "fields") return PrintFields();
  if (mode == "save-settings") {
    LifeSettings s = support::Marked();
    s.PixelColor = 0x001E140A;
    s.WorldMutationRate = 64;
    return SaveAndPrintOptions(s);
  }
  if (mode == "save-seeds" && argc == 4) {
    LifeSettings s;
    s.Seed1 = static_cast<std::int32_t>(std::strtoul(argv[2], nullptr, 16));
    s.Seed2 = static_cast<std::int32_t>(std::strtoul(argv[3], nullptr, 16));
    SaveSeeds(s);
    return 0;
  }
  if (mode == "rate" && argc == 4) {
    SaveRunRate(std::atoi(argv[2]), std::atoi(argv[3]));
    return 0;
  }
  if (mode == "read" && argc == 3) return Read(argv[2]);
  if (mode == "path") {
    std::printf("%s\n", DiagnosticFilePath(kLifeDumpFileName).c_str());
    return 0;
  }
  if (mode == "dump") return Dump();
  if (mode == "randbits" && argc == 3) return RandBits(argv[2]);
  if (mode == "hold" && argc == 3) return Hold(argv[2]);
  std::fprintf(stderr,
               "usage: store_wine_check "
               "load|fields|save-settings|save-seeds|rate|read|path|dump|randbits|hold ...\n");
  return 2;
}
