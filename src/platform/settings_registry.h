// The current user's persistent store of named 32-bit values in a tree of keys.
// Win32: the registry under HKEY_CURRENT_USER. POSIX: one file per user under $XDG_CONFIG_HOME.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zelcnv::platform {

struct SettingsKey;  // opaque; an open key for reading

// Opens `path` (backslash-separated, relative to the current user's root) for reading; null when
// the key does not exist or the store cannot be read.
SettingsKey* OpenSettingsKey(const char* path) noexcept;

// Opens the subkey `name` of an open key; null when it does not exist. On POSIX a subkey sees
// the same state of the store as its parent, so one load never mixes two saves.
SettingsKey* OpenSettingsSubkey(SettingsKey* parent, const char* name) noexcept;

// True, with `*value` set, when the value exists and its data is exactly 4 bytes.
bool ReadSettingsValue(SettingsKey* key, const char* name, uint32_t* value) noexcept;

void CloseSettingsKey(SettingsKey* key) noexcept;

struct SettingsWrite {
  const char* keyPath;  // as for OpenSettingsKey
  const char* name;
  uint32_t value;
};

// Writes `writes` in order, creating keys as needed. Stops at the first key that cannot be
// created and returns how many writes came before it, so `writes.size()` means success. A value
// that cannot be set once its key exists does not stop the list. On POSIX the whole list is one
// atomic change: it returns either `writes.size()` or 0.
size_t WriteSettingsValues(std::span<const SettingsWrite> writes) noexcept;

}  // namespace zelcnv::platform
