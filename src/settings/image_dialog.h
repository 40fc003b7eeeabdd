// The image adjustment dialog: a sheet with one tab whose page holds a slider, an edit and an
// up-down for each of brightness, contrast, hue and saturation. It edits the camera object's
// four bytes in place and, while the camera streams or has a capture armed, writes every change
// to the converter at once. OK saves all settings; restoring the bytes after Cancel is the
// caller's part.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/dialog.h"
#include "settings/dialog_claim.h"
#include "settings/settings_store.h"

namespace zelcnv::settings {

enum ImageParameter : int { kBrightness, kContrast, kHue, kSaturation, kImageParameterCount };

// The converter's picture controls as the dialog reaches them. Results are not checked.
class PictureDevice {
 public:
  virtual ~PictureDevice() = default;
  virtual void Write(ImageParameter parameter, uint8_t value) = 0;
  // The value of the parameter's register in the device library's register table.
  virtual uint8_t RegisterDefault(ImageParameter parameter) = 0;
};

class ImagePage final : public platform::DialogEvents {
 public:
  // `device` may be null: the sliders then change the bytes only.
  ImagePage(PictureDevice* device, SharedSettings& settings)
      : device_(device), settings_(settings) {}

  bool OnInitDialog(platform::DialogView& view) override;
  void OnCommand(platform::DialogView& view, int control, int notification) override;
  void OnHScroll(platform::DialogView& view, int control) override;

  bool Ready() const { return ready_; }
  // The four edits as signed numbers, null before the page exists.
  bool ReadEdits(int values[kImageParameterCount]);
  // Trackbar positions, then edit texts, from the bytes.
  void ShowBytes();

 private:
  // Keeps the byte of `row` and writes it to the device.
  void Write(int row, uint8_t value);

  PictureDevice* const device_;
  SharedSettings& settings_;
  platform::DialogView* view_ = nullptr;  // the page's controls, once created
  bool ready_ = false;
};

class ImageSheet final : public platform::DialogEvents {
 public:
  ImageSheet(PictureDevice* device, SharedSettings& settings)
      : claim_(open_), device_(device), settings_(settings), page_(device, settings) {}

  // Runs the dialog owned by `owner`: 1 after OK (the settings saved), 2 after Cancel or a close,
  // platform::kDialogNotCreated when it or its page could not be created or another image
  // dialog is open in the process.
  int Run(void* owner);

  // Whether Run can show the dialog: no other of its kind is open and the platform shows
  // dialogs at all.
  bool CanRun() const { return claim_.Held() && platform::DialogsAvailable(); }

  bool OnInitDialog(platform::DialogView& view) override;
  void OnCommand(platform::DialogView& view, int control, int notification) override;
  void OnHScroll(platform::DialogView&, int) override {}

  const ImagePage& Page() const { return page_; }

 private:
  void LoadDefaults();

  static std::atomic<bool> open_;
  DialogClaim claim_;
  PictureDevice* const device_;
  SharedSettings& settings_;
  ImagePage page_;
};

}  // namespace zelcnv::settings
