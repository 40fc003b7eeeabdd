// Gives one test a private, empty settings store and removes whatever the test left in it.
// Linux: a temporary $XDG_CONFIG_HOME (and $HOME). Windows: the process's current-user key
// redirected to a key of the sandbox's own.
#pragma once

#include <string>

namespace zelcnv::settings::testing {

class StoreSandbox {
 public:
  StoreSandbox();
  ~StoreSandbox();
  StoreSandbox(const StoreSandbox&) = delete;
  StoreSandbox& operator=(const StoreSandbox&) = delete;

  // Windows: where, under the real current-user key, the redirected one lies (what another
  // process must look under to see the sandbox's values).
  std::string UserKeyPath() const;

 private:
  struct Saved;
  Saved* saved_ = nullptr;
};

}  // namespace zelcnv::settings::testing
