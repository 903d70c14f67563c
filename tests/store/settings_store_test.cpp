#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "store/memory_registry.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

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

// A record whose every loadable field differs from the defaults and from
// anything the tests store, so an untouched field is visible.
LifeSettings Marked() {
  LifeSettings s;
  s.ZoomFactor = 0;
  s.WorldSize = 2;
  s.InitSize = 1;
  s.IsTiled = 1;
  s.MutateAtSteadyState = 0;
  s.ShowMutations = 1;
  s.WorldMutationRate = 16;
  s.RuleMutations = 0x5A5A5A5A;
  s.Seed1 = 0x11223344;
  s.Seed2 = 0x55667788;
  s.PixelColor = 0x00332211;
  s.GenerationRate = 60;
  s.AllMonitors = 1;
  s.RenewWhenStalled = 1;
  return s;
}

const char* const kLoadOrder[] = {"WorldSize",  "InitSize",      "ZoomFactor",
                                  "IsTiled",    "MutateAtSteadyState", "ShowMutations",
                                  "WorldMutationRate", "RuleMutations", "Seed1",
                                  "Seed2",      "PixelColor",    "GenerationRate",
                                  "AllMonitors", "RenewWhenStalled"};

const std::uint32_t kAllTypes[] = {kRegNone,  kRegSz,     kRegExpandSz,       kRegBinary,
                                   kRegDword, kRegDwordBigEndian, kRegLink, kRegMultiSz,
                                   kRegQword};

}  // namespace

TEST_F(SettingsStore, NoKeyKeepsDefaultsAndCreatesTheKey) {
  LifeSettings s;
  const LifeSettings defaults = s;
  LoadSettings(s);
  EXPECT_TRUE(registry.KeyExists());
  EXPECT_EQ(s.ZoomFactor, 1);
  EXPECT_EQ(s.WorldSize, 1);
  EXPECT_EQ(s.IsTiled, 0);
  EXPECT_EQ(s.InitSize, 2);
  EXPECT_EQ(s.PixelColor, kDefaultPixelColor);
  EXPECT_EQ(s.WorldMutationRate, 4);
  EXPECT_EQ(s.MutateAtSteadyState, 1);
  EXPECT_EQ(s.ShowMutations, 0);
  EXPECT_EQ(s.GenerationRate, 0);
  EXPECT_EQ(s.AllMonitors, 0);
  EXPECT_EQ(s.RenewWhenStalled, 0);
  EXPECT_EQ(s.Seed1, defaults.Seed1);
  EXPECT_EQ(s.Seed2, defaults.Seed2);
}

TEST_F(SettingsStore, LoadReadsEveryValueOnceInOrderWithReadAccess) {
  LifeSettings s;
  LoadSettings(s);
  std::vector<std::string> want = {"open read"};
  for (const char* name : kLoadOrder) want.push_back(std::string("read ") + name);
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
  registry.Set("Seed1", kRegDword, Dword(7));
  registry.Set("Seed2", kRegBinary, {1, 2});
  registry.Set("RuleMutations", kRegSz, {'x', 0});
  registry.Set("LastRate", kRegSz, {'1', 0});
  LifeSettings s = Marked();
  s.WorldMutationRate = -5;  // written as held
  SaveSettings(s);

  EXPECT_EQ(registry.log,
            (std::vector<std::string>{"open write", "write WorldSize", "write InitSize",
                                      "write ZoomFactor", "write IsTiled",
                                      "write WorldMutationRate", "write MutateAtSteadyState",
                                      "write ShowMutations", "write PixelColor",
                                      "write GenerationRate", "write AllMonitors",
                                      "write RenewWhenStalled"}));
  struct Want {
    const char* name;
    std::uint32_t type;
    Bytes data;
  } wants[] = {
      {"WorldSize", kRegDword, Dword(2)},
      {"InitSize", kRegDword, Dword(1)},
      {"ZoomFactor", kRegDword, Dword(0)},
      {"IsTiled", kRegBinary, {1}},
      {"WorldMutationRate", kRegDword, {0xFB, 0xFF, 0xFF, 0xFF}},
      {"MutateAtSteadyState", kRegBinary, {0}},
      {"ShowMutations", kRegBinary, {1}},
      {"PixelColor", kRegBinary, {0x11, 0x22, 0x33}},
      {"GenerationRate", kRegDword, Dword(60)},
      {"AllMonitors", kRegBinary, {1}},
      {"RenewWhenStalled", kRegBinary, {1}},
      // untouched
      {"Seed1", kRegDword, Dword(7)},
      {"Seed2", kRegBinary, {1, 2}},
      {"RuleMutations", kRegSz, {'x', 0}},
      {"LastRate", kRegSz, {'1', 0}},
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
  EXPECT_EQ(registry.log,
            (std::vector<std::string>{"open write", "write Seed1", "write Seed2"}));
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
  LifeSettings loaded;
  LoadSettings(loaded);
  EXPECT_EQ(loaded.ZoomFactor, saved.ZoomFactor);
  EXPECT_EQ(loaded.WorldSize, saved.WorldSize);
  EXPECT_EQ(loaded.InitSize, saved.InitSize);
  EXPECT_EQ(loaded.IsTiled, saved.IsTiled);
  EXPECT_EQ(loaded.MutateAtSteadyState, saved.MutateAtSteadyState);
  EXPECT_EQ(loaded.ShowMutations, saved.ShowMutations);
  EXPECT_EQ(loaded.WorldMutationRate, saved.WorldMutationRate);
  EXPECT_EQ(loaded.PixelColor, saved.PixelColor);
  EXPECT_EQ(loaded.RuleMutations, 0);  // never written
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
  EXPECT_EQ(registry.log.size(), 12u);  // open and all eleven writes
  EXPECT_EQ(registry.Find("WorldSize"), nullptr);
}

// Shift and count values that a hand edit or another program may leave.
TEST_F(SettingsStore, OutOfRangeWordsAreClampedAtLoad) {
  struct Case {
    std::uint32_t stored;
    std::int32_t shift;  // WorldSize, ZoomFactor, InitSize
    std::int32_t rate;   // WorldMutationRate
  } cases[] = {
      {0xFFFFFFFFu, 0, 0},           {3, 2, 3},
      {31, 2, 31},                   {32, 2, 32},
      {0x7FFFFFFFu, 2, 0x7FFFFFFF},  {0x80000000u, 0, 0},
      {0, 0, 0},                     {2, 2, 2},
  };
  const char* const shifts[] = {"WorldSize", "ZoomFactor", "InitSize"};
  for (const Case& c : cases) {
    for (const char* name : shifts) {
      registry.Clear();
      registry.Set(name, kRegDword, Dword(c.stored));
      LifeSettings s;
      s.ZoomFactor = 0;  // so that normalising cannot move the field under test
      s.WorldSize = 2;
      LoadSettings(s);
      const std::int32_t got = std::string(name) == "WorldSize"    ? s.WorldSize
                               : std::string(name) == "ZoomFactor" ? s.ZoomFactor
                                                                   : s.InitSize;
      EXPECT_EQ(got, c.shift) << name << " stored " << c.stored;
      EXPECT_LE(s.ZoomFactor, s.WorldSize);
    }
    for (const char* name : {"WorldMutationRate", "GenerationRate"}) {
      registry.Clear();
      registry.Set(name, kRegDword, Dword(c.stored));
      LifeSettings s;
      LoadSettings(s);
      EXPECT_EQ(SettingNamed(name).get(s), c.rate) << name << " " << c.stored;
    }
  }
}

TEST_F(SettingsStore, FlagBytesLoadAsZeroOrOne) {
  const char* const flags[] = {"IsTiled", "MutateAtSteadyState", "ShowMutations", "AllMonitors",
                               "RenewWhenStalled"};
  for (int value : {0, 1, 2, 0x80, 0xFF}) {
    const auto stored = static_cast<std::uint8_t>(value);
    for (const char* name : flags) {
      registry.Clear();
      registry.Set(name, kRegBinary, {stored});
      LifeSettings s = Marked();  // Z0 W2: tiling survives normalising
      s.IsTiled = 0;
      s.MutateAtSteadyState = 0;
      s.ShowMutations = 0;
      s.AllMonitors = 0;
      s.RenewWhenStalled = 0;
      LoadSettings(s);
      const int want = stored != 0 ? 1 : 0;
      EXPECT_EQ(s.IsTiled + s.MutateAtSteadyState + s.ShowMutations + s.AllMonitors +
                    s.RenewWhenStalled,
                want)
          << name << " " << int{stored};
    }
  }
}

// Every value with every type and 0 to 8 bytes: a value of another type than
// its field is written with is unreadable (REG_SZ "0" is not 0x30), a value
// longer than its field is missing, a shorter one replaces leading bytes.
TEST_F(SettingsStore, OnlyTheFieldsOwnTypeLoadsAndThenByLength) {
  const std::uint8_t pattern[] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02};
  // Seeds and RuleMutations show the byte merge unclamped; start 0x11223344
  // (Seed1), 0x55667788 (Seed2), 0x5A5A5A5A (RuleMutations).
  auto merged = [](std::uint32_t start, std::size_t n) -> std::uint32_t {
    const std::uint32_t table[] = {start,
                                   (start & 0xFFFFFF00u) | 0xAAu,
                                   (start & 0xFFFF0000u) | 0xBBAAu,
                                   (start & 0xFF000000u) | 0xCCBBAAu,
                                   0xDDCCBBAAu};
    return n <= 4 ? table[n] : start;
  };
  for (const std::uint32_t type : kAllTypes) {
    const bool words = type == kRegDword;   // the words' type
    const bool bytes = type == kRegBinary;  // the flags' and the colour's
    for (std::size_t n = 0; n <= 8; ++n) {
      registry.Clear();
      const Bytes data(pattern, pattern + n);
      for (const char* name : kLoadOrder) registry.Set(name, type, data);
      LifeSettings s = Marked();
      LoadSettings(s);
      const std::size_t w = words ? n : 0;  // bytes a word takes: 0 keeps it
      const std::size_t b = bytes ? n : 0;
      const std::string where =
          "type " + std::to_string(type) + ", " + std::to_string(n) + " bytes";
      EXPECT_EQ(static_cast<std::uint32_t>(s.Seed1), merged(0x11223344u, w)) << where;
      EXPECT_EQ(static_cast<std::uint32_t>(s.Seed2), merged(0x55667788u, w)) << where;
      EXPECT_EQ(static_cast<std::uint32_t>(s.RuleMutations), merged(0x5A5A5A5Au, w)) << where;
      // Shifts: any 1..3 byte merge is above 2; four bytes are negative.
      const std::int32_t wantWorld = w == 0 || w > 4 ? 2 : w == 4 ? 0 : 2;
      const std::int32_t wantInit = w == 0 || w > 4 ? 1 : w == 4 ? 0 : 2;
      EXPECT_EQ(s.WorldSize, wantWorld) << where;
      EXPECT_EQ(s.InitSize, wantInit) << where;
      // ZoomFactor from 0: above 2 for 1..3 bytes, negative for four.
      EXPECT_EQ(s.ZoomFactor, w >= 1 && w <= 3 ? 2 : 0) << where;
      const std::int32_t wantRate =
          w == 0 || w > 4 ? 16 : w == 4 ? 0 : static_cast<std::int32_t>(merged(16, w));
      EXPECT_EQ(s.WorldMutationRate, wantRate) << where;
      // Flags take exactly one byte; 0xAA is non-zero. IsTiled was 1 and
      // stays so unless zoom and world size end up equal (1..4 bytes of
      // words), when normalising clears it.
      EXPECT_EQ(s.IsTiled, w >= 1 && w <= 4 ? 0 : 1) << where;
      EXPECT_EQ(s.MutateAtSteadyState, b == 1 ? 1 : 0) << where;
      EXPECT_EQ(s.ShowMutations, 1) << where;
      EXPECT_EQ(s.PixelColor, b == 3 || b == 4 ? 0x00CCBBAAu : 0x00332211u) << where;
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
