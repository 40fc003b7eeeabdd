// The image adjustment dialog's sheet and page controllers.
#include "settings/image_dialog.h"

#include "settings/dialog_ids.h"
#include "settings/settings_store.h"

namespace zelcnv::settings {

namespace {

constexpr int kByteRange = 256;
constexpr int kTickFrequency = 64;
// Where the page sits inside the tab control, in pixels.
constexpr int kPageX = 30;
constexpr int kPageY = 25;

struct Row {
  int trackbar;
  int edit;
  int upDown;
};

// Indexed by ImageParameter.
constexpr Row kRows[kImageParameterCount] = {
    {IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, IDC_BRIGHTNESS_SPIN},
    {IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, IDC_CONTRAST_SPIN},
    {IDC_HUE_BAR, IDC_HUE_EDIT, IDC_HUE_SPIN},
    {IDC_SATURATION_BAR, IDC_SATURATION_EDIT, IDC_SATURATION_SPIN},
};

// The order Default writes the converter in.
constexpr ImageParameter kDefaultOrder[] = {kBrightness, kSaturation, kHue, kContrast};

int RowOfTrackbar(int control) {
  for (int row = 0; row < kImageParameterCount; ++row) {
    if (kRows[row].trackbar == control) return row;
  }
  return -1;
}

int RowOfEdit(int control) {
  for (int row = 0; row < kImageParameterCount; ++row) {
    if (kRows[row].edit == control) return row;
  }
  return -1;
}

// Values outside 0..255 are taken mod 256, not refused.
uint8_t ByteOf(int value) {
  return static_cast<uint8_t>(static_cast<unsigned>(value) % kByteRange);
}

}  // namespace

bool ImagePage::OnInitDialog(platform::DialogView& view) {
  view_ = &view;
  ready_ = false;
  for (int row = 0; row < kImageParameterCount; ++row) {
    const Row& r = kRows[row];
    const int value = settings_.Get().PictureControl(row);
    view.SetTrackbarRangeMax(r.trackbar, kByteRange - 1);
    view.SetTrackbarRangeMin(r.trackbar, 0);
    view.SetTrackbarPosition(r.trackbar, value);
    view.SetTrackbarTickFrequency(r.trackbar, kTickFrequency);
    view.SetUpDownRange(r.upDown, 0, kByteRange - 1);
    view.SetUpDownPosition(r.upDown, value);
    view.SetUpDownBuddy(r.upDown, r.edit);
    view.SetItemInt(r.edit, value, true);
    view.EnableItem(r.trackbar, true);
    view.EnableItem(r.upDown, true);
    view.EnableItem(r.edit, true);
  }
  ready_ = true;
  return false;
}

void ImagePage::Write(int row, uint8_t value) {
  settings_.Update([&](CameraSettings& s) { s.PictureControl(row) = value; });
  if (device_ != nullptr) device_->Write(static_cast<ImageParameter>(row), value);
}

void ImagePage::OnHScroll(platform::DialogView& view, int control) {
  const int row = RowOfTrackbar(control);
  if (row < 0) return;  // the page's other sliders do nothing
  const int position = view.TrackbarPosition(control);
  // Showing the position raises the edit's change, which writes the device once already.
  view.SetItemInt(kRows[row].edit, position, true);
  Write(row, ByteOf(position));
}

void ImagePage::OnCommand(platform::DialogView& view, int control, int notification) {
  if (notification != platform::kEditChange) return;
  const int row = RowOfEdit(control);
  // Without a device a typed value waits for OK, which reads every edit.
  if (row < 0 || !ready_ || device_ == nullptr) return;
  const uint8_t value = ByteOf(view.ItemInt(control, true));
  view.SetTrackbarPosition(kRows[row].trackbar, value);
  Write(row, value);
}

bool ImagePage::ReadEdits(int values[kImageParameterCount]) {
  if (view_ == nullptr) return false;
  for (int row = 0; row < kImageParameterCount; ++row) {
    values[row] = view_->ItemInt(kRows[row].edit, true);
  }
  return true;
}

void ImagePage::ShowBytes() {
  if (view_ == nullptr) return;
  const CameraSettings shown = settings_.Get();
  for (int row = 0; row < kImageParameterCount; ++row) {
    view_->SetTrackbarPosition(kRows[row].trackbar, shown.PictureControl(row));
  }
  for (int row = 0; row < kImageParameterCount; ++row) {
    view_->SetItemInt(kRows[row].edit, shown.PictureControl(row), true);
  }
}

std::atomic<bool> ImageSheet::open_{false};

int ImageSheet::Run(void* owner) {
  if (!claim_.Held()) return platform::kDialogNotCreated;
  const int templateId = platform::JapaneseSystem() ? IDD_IMAGE_SHEET_JA : IDD_IMAGE_SHEET_EN;
  return platform::RunModalDialog(templateId, owner, *this);
}

bool ImageSheet::OnInitDialog(platform::DialogView& view) {
  view.InsertTabItem(IDC_TAB, 0, "Image Filter");
  const int pageTemplate = platform::JapaneseSystem() ? IDD_IMAGE_PAGE_JA : IDD_IMAGE_PAGE_EN;
  if (!view.OpenPage(pageTemplate, IDC_TAB, kPageX, kPageY, page_)) {
    // A sheet without its page has nothing to edit, and OK would save edits never shown.
    view.End(platform::kDialogNotCreated);
    return false;
  }
  if (device_ == nullptr) view.EnableItem(IDC_DEFAULT, false);
  return false;
}

void ImageSheet::LoadDefaults() {
  CameraSettings defaults;
  for (int row = 0; row < kImageParameterCount; ++row) {
    defaults.PictureControl(row) = device_->RegisterDefault(static_cast<ImageParameter>(row));
  }
  settings_.Update([&](CameraSettings& s) {
    for (int row = 0; row < kImageParameterCount; ++row) {
      s.PictureControl(row) = defaults.PictureControl(row);
    }
  });
  for (ImageParameter parameter : kDefaultOrder) {
    device_->Write(parameter, defaults.PictureControl(parameter));
  }
  page_.ShowBytes();
}

void ImageSheet::OnCommand(platform::DialogView& view, int control, int notification) {
  if (notification != platform::kButtonClicked) return;
  switch (control) {
    case IDC_OK: {
      int values[kImageParameterCount] = {};
      if (page_.ReadEdits(values)) {
        settings_.Update([&](CameraSettings& s) {
          for (int row = 0; row < kImageParameterCount; ++row) {
            s.PictureControl(row) = ByteOf(values[row]);
          }
        });
      }
      SaveSettings(settings_.Get());
      view.End(1);
      return;
    }
    case IDC_CANCEL:
      view.End(2);
      return;
    case IDC_DEFAULT:
      if (device_ != nullptr) LoadDefaults();
      return;
    default:
      return;
  }
}

}  // namespace zelcnv::settings
