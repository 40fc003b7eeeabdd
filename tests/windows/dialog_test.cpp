// The two settings dialogs as a Windows user meets them: shown by the unmodified DLL, operated
// from a thread of the test as a user would (list clicks, typing, slider drags and keys, the
// up-down arrows, the buttons), with the registry and the simulated converter's registers checked
// while the camera streams, and the stream running on in order afterwards. The same program runs
// on an English and on a Japanese system (LC_ALL=ja_JP.UTF-8) and leaves a screenshot of each
// dialog.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "dialog_support.h"
#include "model/frame_stamp.h"
#include "settings/dialog_ids.h"

namespace zelcnv::dialogtest {
namespace {

constexpr char kSettingsKey[] = "Software\\Velmora\\ZelCnvSdk";
constexpr char kFilterKey[] = "Software\\Velmora\\ZelCnvSdk\\Filter";
constexpr DWORD kFrameWaitMs = 20000;
constexpr size_t kBufferBytes = 1024 * 1024;
constexpr int kBrightnessRegister = 0x09;
constexpr int kSaturationRegister = 0x0A;
constexpr int kHueRegister = 0x0B;
constexpr int kContrastRegister = 0x0C;
constexpr int kClockRegister = 0x0D;

const char* Title() {
  return JapaneseRun() ? "プロパティ" : "Property";
}

const char* LanguageName() {
  return JapaneseRun() ? "ja" : "en";
}

// The stored DWORD, or -1 when there is none.
int64_t Stored(const char* key, const char* name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return -1;
  }
  return value;
}

HWND CreateTestWindow(const char* title) {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZelCnvDialogTest";
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "ZelCnvDialogTest", title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_EQ(ZelSim_Attach(0, "timing=manual input0=moving"), 1);
    owner_ = CreateTestWindow("owner");
    frames_ = CreateTestWindow("frames");
    handle_ = ZelCam_Initialize(owner_);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(ZelCam_SetColorMode(handle_, 8), 1);
    ASSERT_EQ(ZelCam_SetWaitTime(handle_, 1), 1);
  }

  void TearDown() override {
    ZelSim_Configure(0, "timing=free");
    if (handle_ != 0) ZelCam_Release(handle_);
    DestroyWindow(owner_);
    DestroyWindow(frames_);
    ZelSim_Detach(0);
  }

  // Into a buffer that every format's frames fit in.
  void StartStream() {
    buffer_.assign(kBufferBytes, 0);
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_, buffer_.data(),
                                     static_cast<int>(buffer_.size()), 1),
              1);
  }

  // The frame notification's record, after pumping this thread's messages; null on time-out.
  const FrameInfo* NextFrame() {
    const DWORD deadline = GetTickCount() + kFrameWaitMs;
    for (;;) {
      MSG msg;
      while (PeekMessageA(&msg, frames_, 0, 0, PM_REMOVE)) {
        if (msg.message == MSG_FRAME_NOTIFY) return reinterpret_cast<const FrameInfo*>(msg.wParam);
      }
      const DWORD now = GetTickCount();
      if (static_cast<int32_t>(deadline - now) <= 0) return nullptr;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, deadline - now, QS_ALLINPUT);
    }
  }

  // Frames released one by one arrive one by one, each the device's next, whole.
  void ExpectFramesInOrder() {
    MSG stale;
    while (PeekMessageA(&stale, frames_, 0, 0, PM_REMOVE)) {
    }
    int64_t previous = -1;
    for (int i = 0; i < 5; ++i) {
      ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
      const FrameInfo* info = NextFrame();
      ASSERT_NE(info, nullptr) << "frame " << i;
      ASSERT_EQ(info->width, ZelCam_Width(handle_));
      const size_t stride = static_cast<size_t>(info->width + 3) / 4 * 4;
      uint32_t top = 0, bottom = 0;
      ASSERT_TRUE(zelsim::ReadFrameStamp(buffer_.data(), 1, &top));
      ASSERT_TRUE(zelsim::ReadFrameStamp(&buffer_[static_cast<size_t>(info->height - 1) * stride],
                                         1, &bottom));
      EXPECT_EQ(top, bottom) << "frame " << i << " is torn";
      if (previous >= 0) {
        EXPECT_EQ(int64_t{top}, previous + 1) << "frame " << i;
      }
      previous = top;
    }
  }

  HWND owner_ = nullptr;
  HWND frames_ = nullptr;
  int handle_ = 0;
  std::vector<uint8_t> buffer_;
};

TEST_F(DialogTest, RunsInTheLanguageTheTestAskedFor) {
  const char* wanted = std::getenv("ZELCNV_DIALOG_LANGUAGE");
  ASSERT_NE(wanted, nullptr) << "the test runs once per language";
  EXPECT_STREQ(LanguageName(), wanted) << "GetSystemDefaultLangID " << GetSystemDefaultLangID();
}

TEST_F(DialogTest, VideoFormatDialogShowsTheStoreAppliesAndStoresOk) {
  const bool ja = JapaneseRun();
  int result = 0;
  WithUser(
      Title(),
      [&](HWND dialog) {
        EXPECT_EQ(TabText(dialog, IDC_TAB, 0), ja ? "ストリーム形式" : "Stream Format");
        const char* colours[3] = {"Monochrome 8bit", "YUV        16bit", "Color      24bit"};
        const char* coloursJa[3] = {"白黒   8bit", "YUV    16bit", "カラー 24bit"};
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_COLOUR_MODE, CB_GETCOUNT, 0, 0), 3);
        for (int i = 0; i < 3; ++i) {
          EXPECT_EQ(ComboItem(dialog, IDC_COLOUR_MODE, i), ja ? coloursJa[i] : colours[i]);
        }
        const char* codes[4] = {"Wide HiSpeed", "Wide LowSpeed", "Normal HiSpeed",
                                "Normal LowSpeed"};
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SAMPLING_CODE, CB_GETCOUNT, 0, 0), 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(ComboItem(dialog, IDC_SAMPLING_CODE, i), codes[i]);
        // An empty store: code 0, colour mode 0, wait time 0, whatever the camera's defaults.
        EXPECT_EQ(Selection(dialog, IDC_COLOUR_MODE), 0);
        EXPECT_EQ(Selection(dialog, IDC_SAMPLING_CODE), 0);
        const int edits[6] = {IDC_H_TOTAL,     IDC_V_TOTAL, IDC_H_EFFECTIVE,
                              IDC_V_EFFECTIVE, IDC_H_START, IDC_V_START};
        const char* wide[6] = {"720", "470", "720", "470", "0", "0"};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(ItemText(dialog, edits[i]), wide[i]);
        EXPECT_EQ(ItemText(dialog, IDC_WAIT_TIME), "0");
        EXPECT_FALSE(Enabled(dialog, IDC_APPLY)) << "opened unchanged";

        Choose(dialog, IDC_SAMPLING_CODE, 3);
        const char* normal[6] = {"640", "480", "640", "480", "0", "0"};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(ItemText(dialog, edits[i]), normal[i]);
        EXPECT_TRUE(Enabled(dialog, IDC_APPLY));
        Click(dialog, IDC_APPLY);
        EXPECT_FALSE(Enabled(dialog, IDC_APPLY));
        EXPECT_EQ(Stored(kSettingsKey, "Size"), 3);
        EXPECT_EQ(Stored(kSettingsKey, "Color"), 0);
        EXPECT_EQ(Stored(kSettingsKey, "SamplingRate"), 1);
        EXPECT_EQ(Stored(kSettingsKey, "HiRate"), 0);

        Type(dialog, IDC_WAIT_TIME, "250");
        EXPECT_TRUE(Enabled(dialog, IDC_APPLY));
        Choose(dialog, IDC_COLOUR_MODE, 1);
        EXPECT_TRUE(
            Screenshot(dialog, ja ? "video-format-dialog-ja.png" : "video-format-dialog-en.png"));
        Click(dialog, IDC_CANCEL);
      },
      [&] { result = ZelCam_SetCameraDlg(handle_, owner_); });
  EXPECT_EQ(result, 1);
  // Cancel keeps what Apply wrote, and the camera keeps its settings until the next load.
  EXPECT_EQ(Stored(kSettingsKey, "WaitTime"), 0);
  EXPECT_EQ(Stored(kSettingsKey, "Color"), 0);
  EXPECT_EQ(ZelCam_GetColorMode(handle_), 8);
  EXPECT_EQ(ZelCam_GetWaitTime(handle_), 1);

  WithUser(
      Title(),
      [&](HWND dialog) {
        EXPECT_EQ(Selection(dialog, IDC_SAMPLING_CODE), 3) << "the applied code";
        EXPECT_FALSE(Enabled(dialog, IDC_APPLY));
        Type(dialog, IDC_WAIT_TIME, "abc");
        Choose(dialog, IDC_COLOUR_MODE, 1);
        Click(dialog, IDC_OK);
      },
      [&] { result = ZelCam_SetCameraDlg(handle_, owner_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored(kSettingsKey, "WaitTime"), 0) << "text that is no number";
  EXPECT_EQ(Stored(kSettingsKey, "Color"), 1);
  // OK reloads the store into the camera.
  EXPECT_EQ(ZelCam_GetColorMode(handle_), 16);
  EXPECT_EQ(ZelCam_GetWaitTime(handle_), 0);
  EXPECT_EQ(ZelCam_GetSamplingRate(handle_, nullptr), 3);
}

TEST_F(DialogTest, VideoFormatDialogStopsTheStreamAndItRunsOnInOrderWithTheNewFormat) {
  StartStream();
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  ASSERT_NE(NextFrame(), nullptr);
  // Stopping waits for the transfer in flight, which a manual converter would hold.
  ASSERT_EQ(ZelSim_Configure(0, "timing=free"), 1);
  int result = 0;
  WithUser(
      Title(),
      [&](HWND dialog) {
        EXPECT_EQ(ZelSim_Configure(0, "timing=manual"), 1);
        Choose(dialog, IDC_SAMPLING_CODE, 1);  // "Wide LowSpeed"
        Type(dialog, IDC_WAIT_TIME, "1");
        Click(dialog, IDC_OK);
      },
      [&] { result = ZelCam_SetCameraDlg(handle_, owner_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ZelCam_GetSamplingRate(handle_, nullptr), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kClockRegister) & 0x80, 0) << "wide sampling clock";
  EXPECT_EQ(ZelCam_GetColorMode(handle_), 8) << "the store's colour mode 0";
  ExpectFramesInOrder();
}

// Every write goes to the driver while the stream's next frame transfer waits there.
TEST_F(DialogTest, ImageDialogWhileStreamingWritesTheConverterLiveAndCancelRestores) {
  StartStream();
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  ASSERT_NE(NextFrame(), nullptr);
  const bool ja = JapaneseRun();
  int result = 0;
  WithUser(
      Title(),
      [&](HWND sheet) {
        EXPECT_EQ(TabText(sheet, IDC_TAB, 0), "Image Filter");
        EXPECT_EQ(ItemText(sheet, IDC_DEFAULT), ja ? "規定値(&D)" : "Default(&D)");
        EXPECT_TRUE(Enabled(sheet, IDC_DEFAULT)) << "streaming: the device is there";
        HWND page = FindWindowExW(GetDlgItem(sheet, IDC_TAB), nullptr, L"#32770", nullptr);
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(IsWindowVisible(page));
        const int bars[4] = {IDC_BRIGHTNESS_BAR, IDC_CONTRAST_BAR, IDC_HUE_BAR, IDC_SATURATION_BAR};
        const int values[4] = {128, 128, 0, 128};
        for (int i = 0; i < 4; ++i) {
          EXPECT_EQ(SendDlgItemMessageW(page, bars[i], TBM_GETRANGEMIN, 0, 0), 0);
          EXPECT_EQ(SendDlgItemMessageW(page, bars[i], TBM_GETRANGEMAX, 0, 0), 255);
          EXPECT_EQ(BarPosition(page, bars[i]), values[i]);
          EXPECT_EQ(ItemText(page, bars[i] + 1), std::to_string(values[i]));
          EXPECT_EQ(
              reinterpret_cast<HWND>(SendDlgItemMessageW(page, bars[i] + 3, UDM_GETBUDDY, 0, 0)),
              GetDlgItem(page, bars[i] + 1));
        }
        // 300 typed: the byte is 300 mod 256.
        Type(page, IDC_BRIGHTNESS_EDIT, "300");
        EXPECT_EQ(BarPosition(page, IDC_BRIGHTNESS_BAR), 44);
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kBrightnessRegister), 44);
        Drag(page, IDC_CONTRAST_BAR, 200);
        EXPECT_EQ(ItemText(page, IDC_CONTRAST_EDIT), "200");
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kContrastRegister), 200);
        ClickArrow(page, IDC_HUE_SPIN, true);
        ClickArrow(page, IDC_HUE_SPIN, true);
        EXPECT_EQ(ItemText(page, IDC_HUE_EDIT), "2");
        EXPECT_EQ(BarPosition(page, IDC_HUE_BAR), 2);
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kHueRegister), 2);
        PressKey(page, IDC_SATURATION_BAR, VK_RIGHT);
        EXPECT_EQ(ItemText(page, IDC_SATURATION_EDIT), "129");
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kSaturationRegister), 129);
        EXPECT_TRUE(Screenshot(sheet, ja ? "image-dialog-ja.png" : "image-dialog-en.png"));
        Click(sheet, IDC_CANCEL);
      },
      [&] { result = ZelCam_SetImageDlg(handle_, owner_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ZelCam_GetBrightness(handle_, nullptr), 128);
  EXPECT_EQ(ZelCam_GetContrast(handle_, nullptr), 128);
  EXPECT_EQ(ZelCam_GetHue(handle_, nullptr), 0);
  EXPECT_EQ(ZelCam_GetSaturation(handle_, nullptr), 128);
  // The converter keeps the last values written until the next stream start.
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kBrightnessRegister), 44);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kContrastRegister), 200);
  EXPECT_EQ(Stored(kFilterKey, "Brightness"), -1) << "Cancel saves nothing";
  ExpectFramesInOrder();
}

TEST_F(DialogTest, ImageDialogDefaultThenOkStoresEverySettingButTheSize) {
  StartStream();
  int result = 0;
  WithUser(
      Title(),
      [&](HWND sheet) {
        HWND page = FindWindowExW(GetDlgItem(sheet, IDC_TAB), nullptr, L"#32770", nullptr);
        ASSERT_NE(page, nullptr);
        Drag(page, IDC_BRIGHTNESS_BAR, 10);
        Drag(page, IDC_HUE_BAR, 90);
        ASSERT_EQ(ZelSim_ReadDeviceRegister(0, kHueRegister), 90);
        Click(sheet, IDC_DEFAULT);
        const int bars[4] = {IDC_BRIGHTNESS_BAR, IDC_CONTRAST_BAR, IDC_HUE_BAR, IDC_SATURATION_BAR};
        const int values[4] = {128, 128, 0, 128};
        for (int i = 0; i < 4; ++i) {
          EXPECT_EQ(BarPosition(page, bars[i]), values[i]);
          EXPECT_EQ(ItemText(page, bars[i] + 1), std::to_string(values[i]));
        }
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kBrightnessRegister), 128);
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kHueRegister), 0);
        Type(page, IDC_SATURATION_EDIT, "77");
        Click(sheet, IDC_OK);
      },
      [&] { result = ZelCam_SetImageDlg(handle_, owner_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ZelCam_GetSaturation(handle_, nullptr), 77);
  EXPECT_EQ(ZelCam_GetBrightness(handle_, nullptr), 128);
  EXPECT_EQ(Stored(kFilterKey, "Saturation"), 77);
  EXPECT_EQ(Stored(kFilterKey, "Brightness"), 128);
  EXPECT_EQ(Stored(kFilterKey, "Hue"), 0);
  EXPECT_EQ(Stored(kSettingsKey, "Color"), 0);
  EXPECT_EQ(Stored(kSettingsKey, "WaitTime"), 1);
  EXPECT_EQ(Stored(kSettingsKey, "SamplingRate"), 1);
  EXPECT_EQ(Stored(kSettingsKey, "HiRate"), 0);
  EXPECT_EQ(Stored(kSettingsKey, "Size"), -1);
  ExpectFramesInOrder();
}

TEST_F(DialogTest, ImageDialogWithoutStreamChangesTheBytesOnly) {
  const int before = ZelSim_ReadDeviceRegister(0, kBrightnessRegister);
  int result = 0;
  WithUser(
      Title(),
      [&](HWND sheet) {
        EXPECT_FALSE(Enabled(sheet, IDC_DEFAULT));
        HWND page = FindWindowExW(GetDlgItem(sheet, IDC_TAB), nullptr, L"#32770", nullptr);
        ASSERT_NE(page, nullptr);
        Drag(page, IDC_BRIGHTNESS_BAR, 50);
        EXPECT_EQ(ItemText(page, IDC_BRIGHTNESS_EDIT), "50");
        if (!JapaneseRun()) {
          // The English page's further sliders move and do nothing.
          Drag(page, IDC_SHARPNESS_BAR, 40);
          EXPECT_EQ(BarPosition(page, IDC_SHARPNESS_BAR), 40);
          EXPECT_EQ(ItemText(page, IDC_SHARPNESS_EDIT), "");
        }
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, kBrightnessRegister), before);
        Click(sheet, IDC_OK);
      },
      [&] { result = ZelCam_SetImageDlg(handle_, owner_); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ZelCam_GetBrightness(handle_, nullptr), 50);
  EXPECT_EQ(Stored(kFilterKey, "Brightness"), 50);
}

TEST_F(DialogTest, ASecondDialogOfAKindIsRefusedAndTheFirstGoesOn) {
  const int other = ZelCam_Initialize(nullptr);
  ASSERT_NE(other, 0);
  for (bool video : {true, false}) {
    int result = 0;
    WithUser(
        Title(),
        [&](HWND dialog) {
          const int refused =
              video ? ZelCam_SetCameraDlg(other, nullptr) : ZelCam_SetImageDlg(other, nullptr);
          EXPECT_EQ(refused, 0);
          EXPECT_EQ(ZelCam_GetLastError(other), ERR_WINDOW);
          EXPECT_TRUE(IsWindowVisible(dialog));
          if (video) {
            Choose(dialog, IDC_COLOUR_MODE, 2);
          } else {
            HWND page = FindWindowExW(GetDlgItem(dialog, IDC_TAB), nullptr, L"#32770", nullptr);
            Drag(page, IDC_HUE_BAR, 33);
          }
          Click(dialog, IDC_OK);
        },
        [&] {
          result =
              video ? ZelCam_SetCameraDlg(handle_, owner_) : ZelCam_SetImageDlg(handle_, owner_);
        });
    EXPECT_EQ(result, 1);
  }
  EXPECT_EQ(Stored(kSettingsKey, "Color"), 2);
  EXPECT_EQ(ZelCam_GetHue(handle_, nullptr), 33);
  ZelCam_Release(other);
}

}  // namespace
}  // namespace zelcnv::dialogtest
