#pragma once
#include <cstdint>
#include <memory>

// The one registry key the saver keeps its options, seeds and last rate in,
// seen through a small interface so that the store runs natively against an
// in-memory key and on Windows against the real registry.
//
// With no back end installed (SetRegistryBackend below) the key cannot be
// opened: loads leave the record as it is (apart from the clamping and
// normalising that always run) and saves write nothing, exactly as when the
// real key cannot be opened.

// Value types, numbered as the platform numbers them.
enum RegistryType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// HKEY_CURRENT_USER subkey of every operation.
inline constexpr const char* kSettingsKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers\\Cellarium";

enum class KeyAccess { kRead, kWrite };  // KEY_READ, KEY_ALL_ACCESS

// An open key. Value names are case-insensitive, as the registry's are.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // Copies the value's data, whatever its type, into buffer and stores its
  // byte count in size and its type in type. Fails (returns false) when the
  // value is missing, unreadable or holds more than capacity bytes; buffer
  // is then undefined. Text values hold the bytes the ANSI interface
  // returns: text and NUL.
  virtual bool Read(const char* name, void* buffer, std::uint32_t capacity, std::uint32_t& size,
                    std::uint32_t& type) = 0;

  // Stores size bytes of the given type, replacing any earlier value.
  // Returns false when the write failed.
  virtual bool Write(const char* name, std::uint32_t type, const void* data,
                     std::uint32_t size) = 0;

 protected:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = default;
  RegistryKey& operator=(const RegistryKey&) = default;
};

// Opens the settings key (kSettingsKeyPath), creating it when absent.
class RegistryBackend {
 public:
  // Null when the key can be neither opened nor created.
  virtual std::unique_ptr<RegistryKey> OpenSettingsKey(KeyAccess access) = 0;

 protected:
  RegistryBackend() = default;
  RegistryBackend(const RegistryBackend&) = default;
  RegistryBackend& operator=(const RegistryBackend&) = default;
  ~RegistryBackend() = default;
};

// The process-wide back end the store functions use; null means none (no
// key can be opened). Installs backend and returns the previous one. The
// back end must outlive its installation. Not thread-safe: no store
// operation may run on another thread while a back end is installed.
RegistryBackend* SetRegistryBackend(RegistryBackend* backend);
RegistryBackend* CurrentRegistryBackend();
