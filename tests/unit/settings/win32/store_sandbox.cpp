// The sandbox on Windows: the current user's key of this process is redirected to a key of the
// test's own, so nothing the tests save reaches the user's real settings.
#include "store_sandbox.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zelcnv::settings::testing {

namespace {

constexpr char kSandboxParent[] = "Software\\ZelCnvSdkTests";

}  // namespace

struct StoreSandbox::Saved {
  std::string path;
  HKEY root = nullptr;
};

StoreSandbox::StoreSandbox() : saved_(new Saved) {
  saved_->path = std::string(kSandboxParent) + "\\" + std::to_string(GetCurrentProcessId());
  RegDeleteTreeA(HKEY_CURRENT_USER, saved_->path.c_str());
  if (RegCreateKeyExA(HKEY_CURRENT_USER, saved_->path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &saved_->root, nullptr) != ERROR_SUCCESS ||
      RegOverridePredefKey(HKEY_CURRENT_USER, saved_->root) != ERROR_SUCCESS) {
    // Going on would write the real user's settings.
    std::fprintf(stderr, "settings sandbox: cannot redirect the user's key\n");
    std::abort();
  }
}

StoreSandbox::~StoreSandbox() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(saved_->root);
  RegDeleteTreeA(HKEY_CURRENT_USER, saved_->path.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kSandboxParent);  // only once empty
  delete saved_;
}

std::string StoreSandbox::UserKeyPath() const {
  return saved_->path;
}

}  // namespace zelcnv::settings::testing
