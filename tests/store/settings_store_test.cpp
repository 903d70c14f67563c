#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/memory_registry.h"
#include "support/stored_settings.h"

namespace {

using support::Bytes;
using support::Encoded;
using support::Marked;
using support::RegistryTypeOf;

// Installs an in-memory key for one test and removes it afterwards.
class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override { previous = SetRegistryBackend(&registry); }
  void TearDown() override { SetRegistryBackend(previous); }

  Bytes Stored(const char* name) const {
    const MemoryRegistry::Value* v = registry.Find(name);
    return v != nullptr ? v->data : Bytes{0xDE, 0xAD};
  }
  std::uint32_t StoredType(const char* name) const {
    const MemoryRegistry::Value* v = registry.Find(name);
    return v != nullptr ? v->type : 0xFFFFFFFFu;
  }

  MemoryRegistry registry;
  RegistryBackend* previous = nullptr;
};

Bytes Dword(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// What a save of these rows logs: the open, then one write per row.
std::vector<std::string> WritesOf(const std::vector<const SettingField*>& rows) {
  std::vector<std::string> log = {"open write"};
  for (const SettingField* field : rows) log.push_back(std::string("write ") + field->name);
  return log;
}

const std::uint32_t kAllTypes[] = {kRegNone,  kRegSz,     kRegExpandSz,       kRegBinary,
                                   kRegDword, kRegDwordBigEndian, kRegLink, kRegMultiSz,
                                   kRegQword};

}  // namespace

TEST_F(SettingsStore, NoKeyKeepsDefaultsAndCreatesTheKey) {
  const LifeSettings constructed;
  LifeSettings s = constructed;
  LoadSettings(s);
  EXPECT_TRUE(registry.KeyExists());
  for (const SettingField& field : kSettingFields) {
    EXPECT_EQ(field.get(s), field.get(constructed)) << field.name;
  }
}

TEST_F(SettingsStore, LoadReadsEveryValueOnceInOrderWithReadAccess) {
  LifeSettings s;
  LoadSettings(s);
  std::vector<std::string> want = {"open read"};
  for (const SettingField& field : kSettingFields) want.push_back(std::string("read ") + field.name);
  EXPECT_EQ(registry.log, want);
}

TEST_F(SettingsStore, UnopenableKeyStillNormalises) {
  registry.FailOpen(true);
  LifeSettings s;
  s.ZoomFactor = 2;
  s.WorldSize = 1;
  s.IsTiled = 1;
  s.InitSize = 7;
  LoadSettings(s);
  EXPECT_EQ(s.ZoomFactor, 1);
  EXPECT_EQ(s.IsTiled, 0);
  EXPECT_EQ(s.InitSize, 2);

  SaveSettings(s);
  SaveSeeds(s);
  SaveRate(1.0);
  EXPECT_FALSE(registry.KeyExists());
}

TEST_F(SettingsStore, NoBackendBehavesAsAnUnopenableKey) {
  SetRegistryBackend(nullptr);
  LifeSettings s;
  s.ZoomFactor = 2;
  s.IsTiled = 1;
  LoadSettings(s);
  EXPECT_EQ(s.ZoomFactor, 1);
  EXPECT_EQ(s.IsTiled, 0);
  SaveSettings(s);
  SaveSeeds(s);
  SaveRate(1.0);
  EXPECT_TRUE(registry.log.empty());
}

TEST_F(SettingsStore, ZoomAboveWorldSizeLoadsAsWorldSizeWithoutTiling) {
  registry.Set("ZoomFactor", kRegDword, Dword(2));
  registry.Set("WorldSize", kRegDword, Dword(1));
  registry.Set("IsTiled", kRegBinary, {1});
  LifeSettings s;
  LoadSettings(s);
  EXPECT_EQ(s.ZoomFactor, 1);
  EXPECT_EQ(s.WorldSize, 1);
  EXPECT_EQ(s.IsTiled, 0);
}

TEST_F(SettingsStore, ColourIsRedGreenBlueBytesBothWays) {
  registry.Set("PixelColor", kRegBinary, {10, 20, 30});
  LifeSettings s;
  LoadSettings(s);
  EXPECT_EQ(s.PixelColor, 0x001E140Au);
  registry.Clear();
  SaveSettings(s);
  EXPECT_EQ(Stored("PixelColor"), (Bytes{10, 20, 30}));
  EXPECT_EQ(StoredType("PixelColor"), kRegBinary);
}

TEST_F(SettingsStore, ColourFromItsFirstThreeBytesOnly) {
  struct Case {
    Bytes stored;
    std::uint32_t want;
  } cases[] = {
      {{}, 0x00332211},                // missing components: keeps the colour
      {{10}, 0x00332211},
      {{10, 20}, 0x00332211},
      {{10, 20, 30}, 0x001E140A},
      {{10, 20, 30, 0xFF}, 0x001E140A},  // the fourth byte is ignored
      {{10, 20, 30, 40, 50}, 0x00332211},  // longer than the field: missing
  };
  for (const Case& c : cases) {
    registry.Clear();
    registry.Set("PixelColor", kRegBinary, c.stored);
    LifeSettings s = Marked();
    LoadSettings(s);
    EXPECT_EQ(s.PixelColor, c.want) << c.stored.size() << " bytes";
  }
}

TEST_F(SettingsStore, SaveSettingsWritesTheOptionsInOrderAndNothingElse) {
  // Every value OK must not write, held as text: it has to stay so.
  for (const SettingField& field : kSettingFields) {
    if (field.group != SettingGroup::kOption) registry.Set(field.name, kRegSz, {'x', 0});
  }
  registry.Set("LastRate", kRegSz, {'x', 0});
  LifeSettings s = Marked();
  s.WorldMutationRate = -5;  // written as held
  SaveSettings(s);

  EXPECT_EQ(registry.log, WritesOf(support::OptionsInSaveOrder()));
  for (const SettingField& field : kSettingFields) {
    if (field.group == SettingGroup::kOption) {
      EXPECT_EQ(StoredType(field.name), RegistryTypeOf(field.form)) << field.name;
      EXPECT_EQ(Stored(field.name), Encoded(field.form, field.get(s))) << field.name;
    } else {
      EXPECT_EQ(StoredType(field.name), kRegSz) << field.name;
      EXPECT_EQ(Stored(field.name), (Bytes{'x', 0})) << field.name;
    }
  }
  EXPECT_EQ(Stored("LastRate"), (Bytes{'x', 0}));
  // One value of each form, byte for byte.
  struct Want {
    const char* name;
    std::uint32_t type;
    Bytes data;
  } wants[] = {
      {"WorldSize", kRegDword, Dword(2)},
      {"WorldMutationRate", kRegDword, {0xFB, 0xFF, 0xFF, 0xFF}},
      {"IsTiled", kRegBinary, {1}},
      {"PixelColor", kRegBinary, {0x11, 0x22, 0x33}},
  };
  for (const Want& w : wants) {
    EXPECT_EQ(StoredType(w.name), w.type) << w.name;
    EXPECT_EQ(Stored(w.name), w.data) << w.name;
  }
}

TEST_F(SettingsStore, SeedsAreTwoLittleEndianDwords) {
  LifeSettings s = Marked();
  s.Seed1 = -2;
  s.Seed2 = 0x12345678;
  SaveSeeds(s);
  EXPECT_EQ(registry.log, WritesOf(support::RowsOf(SettingGroup::kSeed)));
  EXPECT_EQ(Stored("Seed1"), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Stored("Seed2"), (Bytes{0x78, 0x56, 0x34, 0x12}));
  EXPECT_EQ(StoredType("Seed2"), kRegDword);

  LifeSettings loaded;
  LoadSettings(loaded);
  EXPECT_EQ(loaded.Seed1, -2);
  EXPECT_EQ(loaded.Seed2, 0x12345678);
}

TEST_F(SettingsStore, SavedOptionsLoadBack) {
  const LifeSettings saved = Marked();
  SaveSettings(saved);
  const LifeSettings fresh;
  LifeSettings loaded = fresh;
  LoadSettings(loaded);
  for (const SettingField& field : kSettingFields) {
    if (field.group == SettingGroup::kOption) {
      // A value equal to the fresh record's would not show a missing write.
      EXPECT_NE(field.get(saved), field.get(fresh)) << field.name;
      EXPECT_EQ(field.get(loaded), field.get(saved)) << field.name;
    } else {
      EXPECT_EQ(field.get(loaded), field.get(fresh)) << field.name << " is never written";
    }
  }
}

TEST_F(SettingsStore, RateIsTextWithTwoDecimalsAndItsNul) {
  const std::string want = "150.00 updates/sec";
  SaveRunRate(600, 4);
  Bytes expected(want.begin(), want.end());
  expected.push_back(0);
  EXPECT_EQ(Stored("LastRate"), expected);
  EXPECT_EQ(Stored("LastRate").size(), 19u);
  EXPECT_EQ(StoredType("LastRate"), kRegSz);

  SaveRate(1234.5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Stored("LastRate").data())),
            "1234.50 updates/sec");
  SaveRunRate(std::int64_t{5} << 32, 86400);  // a day beyond 2^32 generations
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Stored("LastRate").data())),
            "248551.35 updates/sec");
}

TEST_F(SettingsStore, RunWithoutAWholeSecondKeepsTheLastRate) {
  registry.Set("LastRate", kRegSz, {'9', 0});
  SaveRunRate(600, 0);
  SaveRunRate(600, -3);  // the calendar clock was set back
  SaveRate(std::numeric_limits<double>::infinity());
  SaveRate(std::nan(""));
  EXPECT_EQ(Stored("LastRate"), (Bytes{'9', 0}));
  SaveRunRate(0, 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Stored("LastRate").data())),
            "0.00 updates/sec");
}

TEST_F(SettingsStore, FailedWritesAreIgnoredAndTheRestAttempted) {
  registry.FailWrites(true);
  SaveSettings(Marked());
  EXPECT_EQ(registry.log, WritesOf(support::OptionsInSaveOrder()));
  EXPECT_EQ(registry.Find("WorldSize"), nullptr);
}

// Words as a hand edit or another program may leave them: read as signed
// 32-bit numbers and brought into their rows' ranges.
TEST_F(SettingsStore, OutOfRangeWordsAreClampedAtLoad) {
  const std::uint32_t values[] = {0xFFFFFFFFu, 0, 1, 2, 3, 31, 32, 0x7FFFFFFFu, 0x80000000u};
  for (const SettingField& field : kSettingFields) {
    if (field.form != SettingForm::kWord) continue;
    for (const std::uint32_t stored : values) {
      registry.Clear();
      registry.Set(field.name, kRegDword, Dword(stored));
      LifeSettings s = Marked();  // zoom 0, world size 2: normalising moves neither
      LoadSettings(s);
      const std::int64_t want =
          std::clamp(std::int64_t{static_cast<std::int32_t>(stored)}, field.min, field.max);
      EXPECT_EQ(field.get(s), want) << field.name << " stored " << stored;
    }
  }
}

TEST_F(SettingsStore, FlagBytesLoadAsZeroOrOne) {
  for (int value : {0, 1, 2, 0x80, 0xFF}) {
    const auto stored = static_cast<std::uint8_t>(value);
    for (const SettingField& flag : kSettingFields) {
      if (flag.form != SettingForm::kFlag) continue;
      registry.Clear();
      registry.Set(flag.name, kRegBinary, {stored});
      LifeSettings s = Marked();  // zoom 0, world size 2: tiling survives normalising
      for (const SettingField& field : kSettingFields) {
        if (field.form == SettingForm::kFlag) field.set(s, 0);
      }
      LoadSettings(s);
      for (const SettingField& field : kSettingFields) {
        if (field.form != SettingForm::kFlag) continue;
        const int want = &field == &flag && stored != 0 ? 1 : 0;
        EXPECT_EQ(field.get(s), want) << flag.name << " stored " << value << ": " << field.name;
      }
    }
  }
}

// Every value with every type and 0 to 8 bytes: a value of another type than
// its field is written with is unreadable (REG_SZ "0" is not 0x30), a value
// longer than its field is missing, a shorter word replaces leading bytes, a
// flag takes exactly one byte and a colour its first three of three or four.
// What loads is then clamped into its range and the record normalised.
TEST_F(SettingsStore, OnlyTheFieldsOwnTypeLoadsAndThenByLength) {
  const std::uint8_t pattern[] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02};
  // A word that held start with its low n bytes replaced by the pattern's.
  auto merged = [](std::int64_t start, std::size_t n) {
    const auto held = static_cast<std::uint32_t>(start);
    const std::uint32_t table[] = {held, (held & 0xFFFFFF00u) | 0xAAu,
                                   (held & 0xFFFF0000u) | 0xBBAAu,
                                   (held & 0xFF000000u) | 0xCCBBAAu, 0xDDCCBBAAu};
    return std::int64_t{static_cast<std::int32_t>(table[n])};
  };
  // What n pattern bytes of this type leave in a field that held its mark.
  auto loaded = [&](const SettingField& field, std::uint32_t type, std::size_t n) {
    const std::int64_t start = support::MarkedValue(field);
    if (type != RegistryTypeOf(field.form)) return start;
    std::int64_t value = start;
    switch (field.form) {
      case SettingForm::kWord:
        if (n <= 4) value = merged(start, n);
        break;
      case SettingForm::kFlag:
        if (n == 1) value = 0xAA;
        break;
      case SettingForm::kColour:
        if (n == 3 || n == 4) value = 0xCCBBAA;
        break;
    }
    return std::clamp(value, field.min, field.max);
  };
  for (const std::uint32_t type : kAllTypes) {
    for (std::size_t n = 0; n <= 8; ++n) {
      registry.Clear();
      const Bytes data(pattern, pattern + n);
      for (const SettingField& field : kSettingFields) registry.Set(field.name, type, data);
      LifeSettings s = Marked();
      LoadSettings(s);
      LifeSettings want = Marked();
      for (const SettingField& field : kSettingFields) field.set(want, loaded(field, type, n));
      // Normalised: the zoom at most the world size, no tiling when equal.
      want.ZoomFactor = std::min(want.ZoomFactor, want.WorldSize);
      if (want.ZoomFactor == want.WorldSize) want.IsTiled = 0;
      const std::string where =
          "type " + std::to_string(type) + ", " + std::to_string(n) + " bytes";
      for (const SettingField& field : kSettingFields) {
        EXPECT_EQ(field.get(s), field.get(want)) << field.name << ", " << where;
      }
    }
  }
  // The case met in the wild: a number typed in as text.
  registry.Clear();
  registry.Set("WorldSize", kRegSz, {'0', 0});
  LifeSettings s;
  LoadSettings(s);
  EXPECT_EQ(s.WorldSize, 1) << "REG_SZ \"0\" keeps the default, not 0x30 clamped to 2";
}

TEST(MemoryRegistry, ReadsAsThePlatformKeyDoes) {
  MemoryRegistry registry;
  EXPECT_FALSE(registry.KeyExists());
  auto key = registry.OpenSettingsKey(KeyAccess::kWrite);
  ASSERT_TRUE(key);
  EXPECT_TRUE(registry.KeyExists());
  const std::uint8_t five[] = {1, 2, 3, 4, 5};
  EXPECT_TRUE(key->Write("Value", kRegBinary, five, 5));
  std::uint8_t buffer[8] = {};
  std::uint32_t size = 99, type = 99;
  EXPECT_FALSE(key->Read("Value", buffer, 4, size, type));  // longer than the buffer
  EXPECT_FALSE(key->Read("Other", buffer, 8, size, type));  // missing
  EXPECT_TRUE(key->Read("VALUE", buffer, 5, size, type));   // names ignore case
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(std::memcmp(buffer, five, 5), 0);
  EXPECT_TRUE(key->Write("value", kRegDword, five, 0));  // replaces, type and all
  EXPECT_TRUE(key->Read("Value", buffer, 0, size, type));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(registry.Find("Value")->type, kRegDword);
}
