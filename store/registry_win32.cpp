// The only caller of the registry functions RegCreateKeyExA,
// RegQueryValueExA and RegSetValueExA.
#include <windows.h>

#include "store/store_win32.h"

namespace {

class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : handle(key) {}
  ~Win32Key() override { RegCloseKey(handle); }
  Win32Key(const Win32Key&) = delete;
  Win32Key& operator=(const Win32Key&) = delete;

  bool Read(const char* name, void* buffer, std::uint32_t capacity, std::uint32_t& size,
            std::uint32_t& valueType) override {
    // Ask for the size first: a value longer than the buffer is refused
    // before any data is copied.
    DWORD type = 0;
    DWORD needed = 0;
    if (RegQueryValueExA(handle, name, nullptr, &type, nullptr, &needed) != ERROR_SUCCESS ||
        needed > capacity) {
      return false;
    }
    // The value may have changed in between; a read that no longer fits
    // fails with ERROR_MORE_DATA and counts as missing.
    DWORD got = capacity;
    if (RegQueryValueExA(handle, name, nullptr, &type, static_cast<BYTE*>(buffer), &got) !=
            ERROR_SUCCESS ||
        got > capacity) {
      return false;
    }
    size = got;
    valueType = type;
    return true;
  }

  bool Write(const char* name, std::uint32_t type, const void* data,
             std::uint32_t size) override {
    return RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
  }

 private:
  HKEY handle;
};

class Win32Registry final : public RegistryBackend {
 public:
  std::unique_ptr<RegistryKey> OpenSettingsKey(KeyAccess access) override {
    HKEY key = nullptr;
    const REGSAM rights = access == KeyAccess::kRead ? KEY_READ : KEY_ALL_ACCESS;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        rights, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<Win32Key>(key);
  }
};

}  // namespace

RegistryBackend& WindowsRegistry() {
  static Win32Registry registry;
  return registry;
}
