// Persistent settings on Linux: one human-readable file per user that holds the registry's
// two-level layout, $XDG_CONFIG_HOME/ZelCnvSdk/settings.ini:
//
//   [Software\Velmora\ZelCnvSdk]
//   Color = 2
//
// A section is a key path, a line `Name = value` an unsigned 32-bit decimal value. Key paths and
// value names compare without regard to ASCII case, as in the registry. Every save replaces the
// whole file (temporary file + rename) while holding an exclusive flock on a lock file beside it,
// so readers and other savers see either the old or the new file, never a mixture, and a saver
// that dies midway leaves the previous file in place.
#include "platform/settings_registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zelcnv::platform {

namespace {

constexpr char kStoreDirectory[] = "ZelCnvSdk";
constexpr char kStoreFile[] = "settings.ini";
constexpr char kLockSuffix[] = ".lock";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr char kFallbackConfigHome[] = "/.config";
constexpr mode_t kPrivateDirectoryMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;
// The file holds a handful of lines; anything past this is not ours and is not read.
constexpr size_t kMaxFileBytes = size_t{1} << 20;
constexpr char kKeySeparator = '\\';
constexpr char kFileHeader[] =
    "; ZelCnvSdk settings of this user. Sections are key paths; each line is Name = value,\n"
    "; an unsigned 32-bit decimal number. Saving rewrites the file; comments are not kept.\n";

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// The lookup form of a key path or value name. Lookups go through hash maps so that a file
// crafted with a huge number of keys or values still loads in linear time.
std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = LowerAscii(c);
  return folded;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether `text` survives a write and a parse unchanged as a key path or value name.
bool IsRepresentable(std::string_view text) {
  if (text.empty() || IsBlank(text.front()) || IsBlank(text.back())) return false;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool IsValueName(std::string_view name) {
  return IsRepresentable(name) && name.find('=') == std::string_view::npos && name.front() != '[' &&
         name.front() != ';' && name.front() != '#';
}

std::optional<uint32_t> ParseDecimal(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

struct Value {
  std::string name;
  uint32_t data;
};

// Values and sections keep the order they were first seen in, so a save changes no more of the
// file than it has to.
struct Section {
  std::string path;
  std::vector<Value> values;
  std::unordered_map<std::string, size_t> valueIndex;  // folded name -> position in `values`
};

struct Store {
  std::vector<Section> sections;
  std::unordered_map<std::string, size_t> sectionIndex;  // folded path -> position
};

const Section* FindSection(const Store& store, std::string_view path) {
  const auto found = store.sectionIndex.find(Folded(path));
  return found == store.sectionIndex.end() ? nullptr : &store.sections[found->second];
}

size_t AddSection(Store& store, std::string_view path) {
  const auto [entry, added] = store.sectionIndex.try_emplace(Folded(path), store.sections.size());
  if (added) store.sections.push_back(Section{std::string(path), {}, {}});
  return entry->second;
}

void SetValue(Section& section, std::string_view name, uint32_t data) {
  const auto [entry, added] = section.valueIndex.try_emplace(Folded(name), section.values.size());
  if (added) {
    section.values.push_back(Value{std::string(name), data});
  } else {
    section.values[entry->second].data = data;
  }
}

const Value* FindValue(const Section& section, std::string_view name) {
  const auto found = section.valueIndex.find(Folded(name));
  return found == section.valueIndex.end() ? nullptr : &section.values[found->second];
}

// A key exists when it has a section of its own or when one of its subkeys does, as creating a
// registry key creates its parents.
bool KeyExists(const Store& store, std::string_view path) {
  for (const Section& section : store.sections) {
    std::string_view candidate = section.path;
    if (candidate.size() > path.size() && candidate[path.size()] == kKeySeparator) {
      candidate = candidate.substr(0, path.size());
    }
    if (EqualNoCase(candidate, path)) return true;
  }
  return false;
}

// Lines that do not parse are skipped: a bad value reads as absent, a bad section header makes
// the lines under it belong to no key.
Store Parse(std::string_view text) {
  Store store;
  constexpr size_t kNoSection = static_cast<size_t>(-1);
  size_t current = kNoSection;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      current = kNoSection;
      if (line.size() < 2 || line.back() != ']') continue;
      const std::string_view path = Trim(line.substr(1, line.size() - 2));
      if (!IsRepresentable(path)) continue;
      current = AddSection(store, path);
      continue;
    }
    const size_t equals = line.find('=');
    if (current == kNoSection || equals == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, equals));
    const std::optional<uint32_t> data = ParseDecimal(Trim(line.substr(equals + 1)));
    if (!IsValueName(name) || !data) continue;
    SetValue(store.sections[current], name, *data);
  }
  return store;
}

std::string Format(const Store& store) {
  std::string text = kFileHeader;
  for (const Section& section : store.sections) {
    text += '\n';
    text += '[';
    text += section.path;
    text += "]\n";
    for (const Value& value : section.values) {
      text += value.name;
      text += " = ";
      text += std::to_string(value.data);
      text += '\n';
    }
  }
  return text;
}

// Owns a file descriptor; closing it also drops any flock taken through it.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (it can report a delayed write error).
  bool Reset() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

std::optional<std::string> HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home);
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr || found->pw_dir[0] != '/') {
    return std::nullopt;
  }
  return std::string(found->pw_dir);
}

// The XDG base directory rules: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::optional<std::string> StoreDirectory() {
  std::string base;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && configHome[0] == '/') {
    base = configHome;
  } else {
    std::optional<std::string> home = HomeDirectory();
    if (!home) return std::nullopt;
    base = *home + kFallbackConfigHome;
  }
  return base + '/' + kStoreDirectory;
}

std::string StorePath(const std::string& directory) {
  return directory + '/' + kStoreFile;
}

bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), kPrivateDirectoryMode);  // existing ones are fine
  }
  mkdir(path.c_str(), kPrivateDirectoryMode);
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool LockFile(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

enum class ReadResult { kRead, kMissing, kFailed };

// Reads the store file; a file larger than kMaxFileBytes is cut after its last whole line within
// the limit. Opening without blocking keeps a FIFO planted at the path from hanging the caller.
ReadResult ReadStoreFile(const std::string& path, std::string& text) {
  Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file.valid()) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat status {};
  if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return ReadResult::kFailed;
  text.clear();
  char buffer[8192];
  while (text.size() <= kMaxFileBytes) {
    const ssize_t got = read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReadResult::kFailed;
    if (got == 0) return ReadResult::kRead;
    text.append(buffer, static_cast<size_t>(got));
  }
  const size_t lastLineEnd = text.rfind('\n', kMaxFileBytes - 1);
  text.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
  return ReadResult::kRead;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t put = write(fd, data.data(), data.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

// Replaces the store file with `text` so that it is either wholly old or wholly new, also across
// a crash. The caller holds the exclusive lock, so the temporary name is ours alone; a leftover
// from a saver that died is removed first.
bool ReplaceStoreFile(const std::string& directory, const std::string& text) {
  const std::string path = StorePath(directory);
  const std::string temporary = path + kTemporarySuffix;
  unlink(temporary.c_str());
  Descriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                       kPrivateFileMode));
  if (!file.valid()) return false;
  const bool written = WriteAll(file.get(), text) && fsync(file.get()) == 0;
  if (!file.Reset() || !written || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable; some file systems refuse to sync a directory, which does
  // not undo the save.
  Descriptor parent(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parent.valid()) fsync(parent.get());
  return true;
}

// Reads the whole store as one consistent state, or null when there is none.
std::shared_ptr<const Store> LoadStore() {
  const std::optional<std::string> directory = StoreDirectory();
  if (!directory) return nullptr;
  // Savers replace the file by rename, so the file opened is always whole; the shared lock also
  // keeps a reader from running between a saver's read and its rename. Without a lock file
  // (nothing saved yet, or a read-only directory) the read goes ahead unlocked.
  Descriptor lock(open((StorePath(*directory) + kLockSuffix).c_str(), O_RDONLY | O_CLOEXEC));
  if (lock.valid()) LockFile(lock.get(), LOCK_SH);
  std::string text;
  if (ReadStoreFile(StorePath(*directory), text) != ReadResult::kRead) return nullptr;
  lock.Reset();
  return std::make_shared<const Store>(Parse(text));
}

}  // namespace

struct SettingsKey {
  std::shared_ptr<const Store> store;
  std::string path;
};

SettingsKey* OpenSettingsKey(const char* path) noexcept {
  if (path == nullptr || !IsRepresentable(path)) return nullptr;
  try {
    std::shared_ptr<const Store> store = LoadStore();
    if (!store || !KeyExists(*store, path)) return nullptr;
    return new SettingsKey{std::move(store), path};
  } catch (const std::exception&) {
    return nullptr;  // out of memory: the store reads as missing
  }
}

SettingsKey* OpenSettingsSubkey(SettingsKey* parent, const char* name) noexcept {
  if (parent == nullptr || name == nullptr || !IsRepresentable(name)) return nullptr;
  try {
    std::string path = parent->path + kKeySeparator + name;
    if (!KeyExists(*parent->store, path)) return nullptr;
    return new SettingsKey{parent->store, std::move(path)};
  } catch (const std::exception&) {
    return nullptr;
  }
}

bool ReadSettingsValue(SettingsKey* key, const char* name, uint32_t* value) noexcept {
  if (key == nullptr || name == nullptr || value == nullptr) return false;
  try {
    const Section* section = FindSection(*key->store, key->path);
    const Value* found = section != nullptr ? FindValue(*section, name) : nullptr;
    if (found == nullptr) return false;
    *value = found->data;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void CloseSettingsKey(SettingsKey* key) noexcept {
  delete key;
}

size_t WriteSettingsValues(std::span<const SettingsWrite> writes) noexcept {
  // A key path the file cannot hold is a key that cannot be created: the writes before it are
  // still made, as the registry would have made them.
  size_t count = 0;
  while (count < writes.size() && writes[count].keyPath != nullptr &&
         IsRepresentable(writes[count].keyPath)) {
    ++count;
  }
  if (count == 0) return 0;
  try {
    const std::optional<std::string> directory = StoreDirectory();
    if (!directory || !MakeDirectories(*directory)) return 0;
    Descriptor lock(open((StorePath(*directory) + kLockSuffix).c_str(),
                         O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kPrivateFileMode));
    if (!lock.valid() || !LockFile(lock.get(), LOCK_EX)) return 0;
    std::string text;
    Store store;
    switch (ReadStoreFile(StorePath(*directory), text)) {
      case ReadResult::kRead:
        store = Parse(text);
        break;
      case ReadResult::kMissing:
        break;
      case ReadResult::kFailed:
        return 0;  // rewriting a file we cannot read would drop what it holds
    }
    for (size_t i = 0; i < count; ++i) {
      Section& section = store.sections[AddSection(store, writes[i].keyPath)];
      if (writes[i].name != nullptr && IsValueName(writes[i].name)) {
        SetValue(section, writes[i].name, writes[i].value);
      }
    }
    return ReplaceStoreFile(*directory, Format(store)) ? count : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

}  // namespace zelcnv::platform
