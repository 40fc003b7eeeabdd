// The sandbox on Linux: a temporary directory stands in for the user's configuration home.
#include "store_sandbox.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace zelcnv::settings::testing {

namespace {

std::optional<std::string> Get(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void Restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

struct StoreSandbox::Saved {
  std::string directory;
  std::optional<std::string> configHome;
  std::optional<std::string> home;
};

StoreSandbox::StoreSandbox() {
  std::string pattern = std::filesystem::temp_directory_path() / "zelcnv-settings-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    // Going on would write the real user's settings.
    std::perror("settings sandbox: mkdtemp");
    std::abort();
  }
  saved_ = new Saved{pattern, Get("XDG_CONFIG_HOME"), Get("HOME")};
  setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
  setenv("HOME", (pattern + "/home").c_str(), 1);
}

StoreSandbox::~StoreSandbox() {
  Restore("XDG_CONFIG_HOME", saved_->configHome);
  Restore("HOME", saved_->home);
  std::error_code ignored;
  std::filesystem::remove_all(saved_->directory, ignored);
  delete saved_;
}

std::string StoreSandbox::UserKeyPath() const {
  return {};
}

}  // namespace zelcnv::settings::testing
