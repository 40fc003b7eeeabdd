// One dialog of each kind per process: a dialog's procedure and its controller belong together
// for the dialog's whole life, so a second request while one is open must not disturb the first.
#pragma once

#include <atomic>

namespace zelcnv::settings {

// Holds the kind's slot from construction to destruction when it was free; otherwise holds
// nothing and Held() is false.
class DialogClaim {
 public:
  explicit DialogClaim(std::atomic<bool>& slot) : slot_(slot), held_(!slot.exchange(true)) {}
  ~DialogClaim() {
    if (held_) slot_.store(false);
  }
  DialogClaim(const DialogClaim&) = delete;
  DialogClaim& operator=(const DialogClaim&) = delete;

  bool Held() const { return held_; }

 private:
  std::atomic<bool>& slot_;
  const bool held_;
};

}  // namespace zelcnv::settings
