// Persistent settings on Windows: DWORD values in the registry under HKEY_CURRENT_USER.
#include "platform/settings_registry.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace zelcnv::platform {

struct SettingsKey {
  HKEY key;
};

namespace {

SettingsKey* OpenForReading(HKEY parent, const char* path) {
  if (path == nullptr) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  SettingsKey* opened = new (std::nothrow) SettingsKey{key};
  if (opened == nullptr) RegCloseKey(key);
  return opened;
}

}  // namespace

SettingsKey* OpenSettingsKey(const char* path) noexcept {
  return OpenForReading(HKEY_CURRENT_USER, path);
}

SettingsKey* OpenSettingsSubkey(SettingsKey* parent, const char* name) noexcept {
  if (parent == nullptr) return nullptr;
  return OpenForReading(parent->key, name);
}

bool ReadSettingsValue(SettingsKey* key, const char* name, uint32_t* value) noexcept {
  if (key == nullptr || name == nullptr || value == nullptr) return false;
  // Only the buffer size is checked, not the type: data of exactly 4 bytes is taken as it is.
  BYTE data[sizeof(uint32_t)] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key->key, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS) {
    return false;  // absent, or larger than 4 bytes (ERROR_MORE_DATA)
  }
  if (size != sizeof data) return false;
  std::memcpy(value, data, sizeof data);
  return true;
}

void CloseSettingsKey(SettingsKey* key) noexcept {
  if (key == nullptr) return;
  RegCloseKey(key->key);
  delete key;
}

size_t WriteSettingsValues(std::span<const SettingsWrite> writes) noexcept {
  HKEY key = nullptr;
  const char* keyPath = nullptr;
  size_t done = 0;
  for (; done < writes.size(); ++done) {
    const SettingsWrite& write = writes[done];
    if (write.keyPath == nullptr) break;
    if (key == nullptr || std::strcmp(keyPath, write.keyPath) != 0) {
      if (key != nullptr) RegCloseKey(key);
      key = nullptr;
      char noClass[] = "";
      if (RegCreateKeyExA(HKEY_CURRENT_USER, write.keyPath, 0, noClass, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        key = nullptr;
        break;
      }
      keyPath = write.keyPath;
    }
    if (write.name == nullptr) continue;
    const DWORD data = write.value;
    RegSetValueExA(key, write.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                   sizeof data);
  }
  if (key != nullptr) RegCloseKey(key);
  return done;
}

}  // namespace zelcnv::platform
