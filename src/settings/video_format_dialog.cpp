// The video format dialog's controller.
#include "settings/video_format_dialog.h"

#include <array>

#include "settings/dialog_ids.h"

namespace zelcnv::settings {

namespace {

constexpr int kGeometryFields = 6;
constexpr std::array<int, kGeometryFields> kGeometryEdits = {
    IDC_H_TOTAL, IDC_V_TOTAL, IDC_H_EFFECTIVE, IDC_V_EFFECTIVE, IDC_H_START, IDC_V_START};

// Shown only: streaming takes its geometry from the device. Indexed by sampling code.
constexpr int kGeometry[][kGeometryFields] = {
    {720, 470, 720, 470, 0, 0},  // "Wide HiSpeed"
    {720, 480, 720, 480, 0, 0},  // "Wide LowSpeed"
    {640, 470, 640, 470, 0, 0},  // "Normal HiSpeed"
    {640, 480, 640, 480, 0, 0},  // "Normal LowSpeed"
};
constexpr int kSamplingCodes = sizeof kGeometry / sizeof kGeometry[0];

constexpr const char* kSamplingNames[kSamplingCodes] = {"Wide HiSpeed", "Wide LowSpeed",
                                                        "Normal HiSpeed", "Normal LowSpeed"};
constexpr const char* kColourNamesJapanese[] = {"白黒   8bit", "YUV    16bit", "カラー 24bit"};
constexpr const char* kColourNamesEnglish[] = {"Monochrome 8bit", "YUV        16bit",
                                               "Color      24bit"};

}  // namespace

std::atomic<bool> VideoFormatDialog::open_{false};

int VideoFormatDialog::Run(void* owner) {
  if (!claim_.Held()) return platform::kDialogNotCreated;
  const int templateId = platform::JapaneseSystem() ? IDD_VIDEO_FORMAT_JA : IDD_VIDEO_FORMAT_EN;
  return platform::RunModalDialog(templateId, owner, *this);
}

bool VideoFormatDialog::OnInitDialog(platform::DialogView& view) {
  LoadVideoFormat(fields_);
  const bool japanese = platform::JapaneseSystem();
  view.InsertTabItem(IDC_TAB, 0, japanese ? "ストリーム形式" : "Stream Format");
  const auto& colourNames = japanese ? kColourNamesJapanese : kColourNamesEnglish;
  for (int i = 0; i < 3; ++i) view.InsertComboItem(IDC_COLOUR_MODE, i, colourNames[i]);
  // A stored value outside the list selects nothing, as the combo box itself would.
  view.SetComboSelection(IDC_COLOUR_MODE, fields_.colourMode);
  for (int i = 0; i < kSamplingCodes; ++i) {
    view.InsertComboItem(IDC_SAMPLING_CODE, i, kSamplingNames[i]);
  }
  view.SetComboSelection(IDC_SAMPLING_CODE, fields_.samplingCode);
  ShowGeometry(view);
  view.SetItemInt(IDC_WAIT_TIME, fields_.waitTime, false);
  // Filling the edits raised changes; the dialog opens unchanged all the same.
  view.EnableItem(IDC_APPLY, false);
  return false;
}

void VideoFormatDialog::ShowGeometry(platform::DialogView& view) {
  const int code = fields_.samplingCode;
  // The table has rows for the four codes only; for a damaged stored code there is nothing to
  // show.
  const bool known = code >= 0 && code < kSamplingCodes;
  for (int i = 0; i < kGeometryFields; ++i) {
    if (known) {
      view.SetItemInt(kGeometryEdits[i], kGeometry[code][i], false);
    } else {
      view.SetItemText(kGeometryEdits[i], "");
    }
  }
}

void VideoFormatDialog::ReadAndSave(platform::DialogView& view) {
  fields_.colourMode = view.ComboSelection(IDC_COLOUR_MODE);
  fields_.samplingCode = view.ComboSelection(IDC_SAMPLING_CODE);
  fields_.waitTime = view.ItemInt(IDC_WAIT_TIME, false);
  view.EnableItem(IDC_APPLY, false);
  SaveVideoFormat(fields_);
}

void VideoFormatDialog::OnCommand(platform::DialogView& view, int control, int notification) {
  if (notification == platform::kButtonClicked) {
    switch (control) {
      case IDC_OK:
        ReadAndSave(view);
        view.End(1);
        return;
      case IDC_APPLY:
        ReadAndSave(view);
        return;
      case IDC_CANCEL:
        view.End(2);
        return;
      default:
        return;
    }
  }
  if (notification == platform::kSelectionChange) {
    if (control == IDC_SAMPLING_CODE) {
      fields_.samplingCode = view.ComboSelection(IDC_SAMPLING_CODE);
      ShowGeometry(view);
    }
    view.EnableItem(IDC_APPLY, true);
  } else if (notification == platform::kEditChange) {
    view.EnableItem(IDC_APPLY, true);
  }
}

}  // namespace zelcnv::settings
