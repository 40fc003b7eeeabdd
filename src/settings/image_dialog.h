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

// The camera object's fields the dialog edits, and those it only saves.
struct ImageDialogFields {
  std::atomic<uint8_t>* parameters[kImageParameterCount];  // in ImageParameter order
  const std::atomic<int32_t>* colourMode;
  const std::atomic<int32_t>* waitTime;
  const std::atomic<int32_t>* samplingRate;
  const std::atomic<int32_t>* hiRate;
};

class ImagePage final : public platform::DialogEvents {
 public:
  // `device` may be null: the sliders then change the bytes only.
  ImagePage(PictureDevice* device, const ImageDialogFields& fields)
      : device_(device), fields_(fields) {}

  bool OnInitDialog(platform::DialogView& view) override;
  void OnCommand(platform::DialogView& view, int control, int notification) override;
  void OnHScroll(platform::DialogView& view, int control) override;

  bool Ready() const { return ready_; }
  // The four edits as signed numbers, null before the page exists.
  bool ReadEdits(int values[kImageParameterCount]);
  // Trackbar positions, then edit texts, from the bytes.
  void ShowBytes();

 private:
  void Write(int row, uint8_t value);

  PictureDevice* const device_;
  const ImageDialogFields fields_;
  platform::DialogView* view_ = nullptr;  // the page's controls, once created
  bool ready_ = false;
};

class ImageSheet final : public platform::DialogEvents {
 public:
  ImageSheet(PictureDevice* device, const ImageDialogFields& fields)
      : claim_(open_), device_(device), fields_(fields), page_(device, fields) {}

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
  const ImageDialogFields fields_;
  ImagePage page_;
};

}  // namespace zelcnv::settings
