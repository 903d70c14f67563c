#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/registry_key.h"

// The settings key held in memory: a test double that runs the store
// without the platform. Behaves as the platform's key does for the store:
// created on first open, a read fails on a missing value or on one longer
// than the buffer, a write replaces the value and its type.
class MemoryRegistry final : public RegistryBackend {
 public:
  struct Value {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
  };
  // One line per operation, for tests of the order of reads and writes:
  // "open read", "open write", "read NAME", "write NAME".
  std::vector<std::string> log;

  std::unique_ptr<RegistryKey> OpenSettingsKey(KeyAccess access) override;

  bool KeyExists() const { return exists; }
  // Makes every later open fail (a key that cannot be opened or created).
  void FailOpen(bool fail) { failOpen = fail; }
  // Makes every later write fail.
  void FailWrites(bool fail) { failWrites = fail; }

  void Set(const std::string& name, std::uint32_t type, std::vector<std::uint8_t> data);
  // Null when the value is missing.
  const Value* Find(const std::string& name) const;
  void Clear() { values.clear(); }

 private:
  class Key;
  struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
  };

  std::map<std::string, Value, NoCase> values;
  bool exists = false;
  bool failOpen = false;
  bool failWrites = false;
};
