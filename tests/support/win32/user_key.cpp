// Windows test programs: the current-user key of the process is redirected, from before the
// first test, to a key of the program's own, so that the settings the library saves at every
// release never reach the prefix's real user settings. The key goes when the program ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class RedirectedUserKey {
 public:
  RedirectedUserKey()
      : path_("Software\\ZelCnvSdkTests\\" + std::to_string(GetCurrentProcessId())) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &root_, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS) {
      std::fprintf(stderr, "tests: cannot redirect the user's key\n");
      std::abort();
    }
  }
  ~RedirectedUserKey() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(root_);
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
  }
  RedirectedUserKey(const RedirectedUserKey&) = delete;
  RedirectedUserKey& operator=(const RedirectedUserKey&) = delete;

 private:
  std::string path_;
  HKEY root_ = nullptr;
};

const RedirectedUserKey redirected;

}  // namespace
