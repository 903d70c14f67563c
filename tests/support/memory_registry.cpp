#include "support/memory_registry.h"

#include <algorithm>
#include <cstring>

class MemoryRegistry::Key final : public RegistryKey {
 public:
  explicit Key(MemoryRegistry& owner) : registry(owner) {}

  bool Read(const char* name, void* buffer, std::uint32_t capacity, std::uint32_t& size,
            std::uint32_t& type) override {
    registry.log.push_back(std::string("read ") + name);
    const Value* value = registry.Find(name);
    if (value == nullptr || value->data.size() > capacity) return false;
    if (!value->data.empty()) std::memcpy(buffer, value->data.data(), value->data.size());
    size = static_cast<std::uint32_t>(value->data.size());
    type = value->type;
    return true;
  }

  bool Write(const char* name, std::uint32_t type, const void* data,
             std::uint32_t size) override {
    registry.log.push_back(std::string("write ") + name);
    if (registry.failWrites) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    registry.Set(name, type, std::vector<std::uint8_t>(bytes, bytes + size));
    return true;
  }

 private:
  MemoryRegistry& registry;
};

bool MemoryRegistry::NoCase::operator()(const std::string& a, const std::string& b) const {
  // ASCII only, as the value names are.
  auto lower = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
  };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return lower(x) < lower(y); });
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenSettingsKey(KeyAccess access) {
  log.push_back(access == KeyAccess::kRead ? "open read" : "open write");
  if (failOpen) return nullptr;
  exists = true;
  return std::make_unique<Key>(*this);
}

void MemoryRegistry::Set(const std::string& name, std::uint32_t type,
                         std::vector<std::uint8_t> data) {
  exists = true;
  Value& value = values[name];
  value.type = type;
  value.data = std::move(data);
}

const MemoryRegistry::Value* MemoryRegistry::Find(const std::string& name) const {
  const auto it = values.find(name);
  return it == values.end() ? nullptr : &it->second;
}
