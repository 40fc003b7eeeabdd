// The video format dialog: colour mode, sampling code and wait time, read from the settings store
// when it opens and written back on OK and Apply. It never talks to the device.
#pragma once

#include <atomic>

#include "platform/dialog.h"
#include "settings/dialog_claim.h"
#include "settings/settings_store.h"

namespace zelcnv::settings {

class VideoFormatDialog final : public platform::DialogEvents {
 public:
  VideoFormatDialog() : claim_(open_) {}

  // Runs the dialog owned by `owner`: 1 after OK (the settings written), 2 after Cancel or a
  // close, platform::kDialogNotCreated when it could not be created or another video format
  // dialog is open in the process.
  int Run(void* owner);

  // Whether Run can show the dialog: no other of its kind is open and the platform shows
  // dialogs at all.
  bool CanRun() const { return claim_.Held() && platform::DialogsAvailable(); }

  bool OnInitDialog(platform::DialogView& view) override;
  void OnCommand(platform::DialogView& view, int control, int notification) override;
  void OnHScroll(platform::DialogView&, int) override {}

  // The dialog's three fields: what it loaded, or what it last saved.
  const VideoFormatSettings& Fields() const { return fields_; }

 private:
  void ShowGeometry(platform::DialogView& view);
  void ReadAndSave(platform::DialogView& view);

  static std::atomic<bool> open_;
  DialogClaim claim_;
  VideoFormatSettings fields_{};  // all 0 until the store is read
};

}  // namespace zelcnv::settings
