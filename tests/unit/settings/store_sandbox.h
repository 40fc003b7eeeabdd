// Gives one test a private, empty settings store and removes whatever the test left in it.
// Linux: a temporary $XDG_CONFIG_HOME (and $HOME). Windows: the user's key, deleted before and
// after, so the tests run only in a throwaway Wine prefix.
#pragma once

namespace zelcnv::settings::testing {

class StoreSandbox {
 public:
  StoreSandbox();
  ~StoreSandbox();
  StoreSandbox(const StoreSandbox&) = delete;
  StoreSandbox& operator=(const StoreSandbox&) = delete;

 private:
  struct Saved;
  Saved* saved_ = nullptr;
};

}  // namespace zelcnv::settings::testing
