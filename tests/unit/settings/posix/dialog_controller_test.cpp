// The two dialogs' controllers on the in-memory controls: what they show when they open, how they
// answer a user's selections, typing, slider moves and buttons, what they store and what they
// write to the converter. The same controllers run the real dialogs on Windows.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/memory_dialog.h"
#include "platform/settings_registry.h"
#include "settings/dialog_ids.h"
#include "settings/image_dialog.h"
#include "settings/settings_store.h"
#include "settings/video_format_dialog.h"
#include "store_sandbox.h"

namespace zelcnv::settings {
namespace {

using platform::MemoryDialog;
using User = std::function<void(MemoryDialog&)>;

// Runs `dialog` with `user` acting on it once it has opened; the dialog's result.
template <class Dialog>
int RunWith(Dialog& dialog, User user) {
  platform::SetDialogDriver(
      [](void* opened, int, void* context) {
        (*static_cast<User*>(context))(*static_cast<MemoryDialog*>(opened));
      },
      &user);
  const int result = dialog.Run(nullptr);
  platform::SetDialogDriver(nullptr, nullptr);
  return result;
}

std::optional<uint32_t> Stored(const char* key, const char* name) {
  platform::SettingsKey* opened = platform::OpenSettingsKey(key);
  if (opened == nullptr) return std::nullopt;
  uint32_t value = 0;
  const bool found = platform::ReadSettingsValue(opened, name, &value);
  platform::CloseSettingsKey(opened);
  return found ? std::optional<uint32_t>(value) : std::nullopt;
}

void Put(const char* name, uint32_t value) {
  const platform::SettingsWrite write{kSettingsKey, name, value};
  ASSERT_EQ(platform::WriteSettingsValues({&write, 1}), 1u);
}

const std::string& Text(MemoryDialog& d, int id) {
  static const std::string none = "<no control>";
  const platform::MemoryControl* c = d.Find(id);
  return c != nullptr ? c->text : none;
}

std::vector<std::string> Geometry(MemoryDialog& d) {
  std::vector<std::string> shown;
  for (int id = IDC_H_TOTAL; id <= IDC_V_START; ++id) shown.push_back(Text(d, id));
  return shown;
}

std::string Selected(MemoryDialog& d, int id) {
  const platform::MemoryControl* c = d.Find(id);
  if (c == nullptr || c->selection < 0) return "<none>";
  return c->items[static_cast<size_t>(c->selection)];
}

// A control nobody touched is as the template made it: enabled.
bool Enabled(MemoryDialog& d, int id) {
  return d.Find(id) == nullptr || d.Find(id)->enabled;
}

class LanguageScope {
 public:
  explicit LanguageScope(const char* locale) {
    if (const char* old = std::getenv("LC_ALL")) saved_ = old;
    setenv("LC_ALL", locale, 1);
  }
  ~LanguageScope() {
    if (saved_) {
      setenv("LC_ALL", saved_->c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
  }

 private:
  std::optional<std::string> saved_;
};

class VideoFormatDialogTest : public ::testing::Test {
 protected:
  testing::StoreSandbox sandbox_;
  LanguageScope english_{"C"};
};

TEST_F(VideoFormatDialogTest, AnEmptyStoreShowsCodeZeroModeZeroAndWaitZeroUnchanged) {
  VideoFormatDialog dialog;
  const int result = RunWith(dialog, [](MemoryDialog& d) {
    EXPECT_EQ(d.TemplateId(), IDD_VIDEO_FORMAT_EN);
    EXPECT_EQ(d.Find(IDC_TAB)->items, std::vector<std::string>{"Stream Format"});
    EXPECT_EQ(
        d.Find(IDC_COLOUR_MODE)->items,
        (std::vector<std::string>{"Monochrome 8bit", "YUV        16bit", "Color      24bit"}));
    EXPECT_EQ(d.Find(IDC_SAMPLING_CODE)->items,
              (std::vector<std::string>{"Wide HiSpeed", "Wide LowSpeed", "Normal HiSpeed",
                                        "Normal LowSpeed"}));
    EXPECT_EQ(Selected(d, IDC_COLOUR_MODE), "Monochrome 8bit");
    EXPECT_EQ(Selected(d, IDC_SAMPLING_CODE), "Wide HiSpeed");
    EXPECT_EQ(Geometry(d), (std::vector<std::string>{"720", "470", "720", "470", "0", "0"}));
    EXPECT_EQ(Text(d, IDC_WAIT_TIME), "0");
    // Filling the edits raised their changes, and Apply is disabled all the same.
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    d.Click(IDC_OK);
  });
  EXPECT_EQ(result, 1);
  // OK stores what was shown, not the camera object's defaults.
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kColorValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kSamplingRateValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kHiRateValue), 1u);
}

TEST_F(VideoFormatDialogTest, AJapaneseSystemGetsTheJapaneseTemplateAndTexts) {
  LanguageScope japanese("ja_JP.UTF-8");
  VideoFormatDialog dialog;
  RunWith(dialog, [](MemoryDialog& d) {
    EXPECT_EQ(d.TemplateId(), IDD_VIDEO_FORMAT_JA);
    EXPECT_EQ(d.Find(IDC_TAB)->items, std::vector<std::string>{"ストリーム形式"});
    EXPECT_EQ(d.Find(IDC_COLOUR_MODE)->items,
              (std::vector<std::string>{"白黒   8bit", "YUV    16bit", "カラー 24bit"}));
    EXPECT_EQ(Selected(d, IDC_SAMPLING_CODE), "Wide HiSpeed") << "the same names everywhere";
  });
}

TEST_F(VideoFormatDialogTest, ChoicesEnableApplyAndTheCodeShowsItsGeometry) {
  Put(kSizeValue, 1);
  Put(kColorValue, 2);
  VideoFormatDialog dialog;
  RunWith(dialog, [](MemoryDialog& d) {
    EXPECT_EQ(Geometry(d), (std::vector<std::string>{"720", "480", "720", "480", "0", "0"}));
    ASSERT_TRUE(d.Choose(IDC_COLOUR_MODE, 0));
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    EXPECT_EQ(Geometry(d)[0], "720") << "a colour mode changes no geometry";
    d.Click(IDC_APPLY);
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    ASSERT_TRUE(d.Choose(IDC_SAMPLING_CODE, 3));
    EXPECT_EQ(Geometry(d), (std::vector<std::string>{"640", "480", "640", "480", "0", "0"}));
    EXPECT_TRUE(Enabled(d, IDC_APPLY));
    d.Click(IDC_APPLY);
    ASSERT_TRUE(d.Choose(IDC_SAMPLING_CODE, 2));
    ASSERT_TRUE(d.Type(IDC_WAIT_TIME, "99"));
    d.Click(IDC_CANCEL);
  });
  // Cancel keeps what Apply wrote and writes nothing itself.
  EXPECT_EQ(dialog.Fields().samplingCode, 2) << "the code follows the list at once";
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), 3u);
  EXPECT_EQ(Stored(kSettingsKey, kColorValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kSamplingRateValue), 1u);
  EXPECT_EQ(Stored(kSettingsKey, kHiRateValue), 0u);
}

TEST_F(VideoFormatDialogTest, ApplyThenCancelEndsWithTwo) {
  {
    VideoFormatDialog dialog;
    const int result = RunWith(dialog, [](MemoryDialog& d) {
      d.Type(IDC_WAIT_TIME, "40");
      d.Click(IDC_APPLY);
      d.Click(IDC_CANCEL);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 40u);
  }

  // A driver that leaves the dialog open: closed as by the caption, which is Cancel.
  VideoFormatDialog left;
  EXPECT_EQ(RunWith(left, [](MemoryDialog& d) { d.Type(IDC_WAIT_TIME, "41"); }), 2);
  EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 40u);
}

TEST_F(VideoFormatDialogTest, WaitTimeTextIsReadAsAnUnsignedNumberOrZero) {
  const std::vector<std::pair<const char*, uint32_t>> cases = {
      {"abc", 0}, {"250", 250}, {"", 0}, {" 7 ", 7}, {"-3", 0}, {"12x", 0}};
  for (const auto& [text, stored] : cases) {
    VideoFormatDialog dialog;
    RunWith(dialog, [&](MemoryDialog& d) {
      d.Type(IDC_WAIT_TIME, text);
      d.Click(IDC_OK);
    });
    EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), stored) << '"' << text << '"';
  }
}

TEST_F(VideoFormatDialogTest, StoredValuesOutsideTheListsSelectNothingAndAreStoredAsMinusOne) {
  Put(kColorValue, 5);
  Put(kSizeValue, 7);
  VideoFormatDialog dialog;
  RunWith(dialog, [](MemoryDialog& d) {
    EXPECT_EQ(Selected(d, IDC_COLOUR_MODE), "<none>");
    EXPECT_EQ(Selected(d, IDC_SAMPLING_CODE), "<none>");
    // The table has no row for code 7: the edits show nothing rather than another row.
    EXPECT_EQ(Geometry(d), std::vector<std::string>(6, ""));
    EXPECT_FALSE(Enabled(d, IDC_APPLY));
    d.Click(IDC_OK);
  });
  EXPECT_EQ(Stored(kSettingsKey, kColorValue), 0xFFFFFFFFu);
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), 0xFFFFFFFFu);
  EXPECT_EQ(Stored(kSettingsKey, kSamplingRateValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kHiRateValue), 0u);
}

TEST_F(VideoFormatDialogTest, OneIsOpenAtATimeAndTheSecondIsNotCreated) {
  {
    VideoFormatDialog first;
    const int result = RunWith(first, [](MemoryDialog& d) {
      VideoFormatDialog second;
      EXPECT_FALSE(second.CanRun());
      EXPECT_EQ(second.Run(nullptr), platform::kDialogNotCreated);
      d.Type(IDC_WAIT_TIME, "5");
      d.Click(IDC_OK);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 5u) << "the first went on undisturbed";
  }
  VideoFormatDialog later;
  EXPECT_EQ(RunWith(later, [](MemoryDialog& d) { d.Click(IDC_OK); }), 1)
      << "free again once the first has gone";
}

// The converter's side: every write in order, and the register table's defaults.
class RecordingDevice final : public PictureDevice {
 public:
  void Write(ImageParameter parameter, uint8_t value) override {
    writes.emplace_back(parameter, value);
  }
  uint8_t RegisterDefault(ImageParameter parameter) override {
    static constexpr uint8_t kDefaults[] = {0x80, 0x80, 0x00, 0x80};
    return kDefaults[parameter];
  }
  std::vector<std::pair<ImageParameter, uint8_t>> writes;
};

class ImageDialogTest : public ::testing::Test {
 protected:
  ImageDialogTest() {
    settings_.Update([](CameraSettings& s) { s = {1, 33, 0, 1, 100, 110, 120, 130}; });
  }
  SharedSettings& Fields() { return settings_; }
  int Byte(ImageParameter p) const { return settings_.Get().PictureControl(p); }

  testing::StoreSandbox sandbox_;
  LanguageScope english_{"C"};
  SharedSettings settings_;
  RecordingDevice device_;
};

TEST_F(ImageDialogTest, OpeningSetsUpEachRowFromItsByteAndWritesNothing) {
  ImageSheet sheet(&device_, Fields());
  RunWith(sheet, [&](MemoryDialog& d) {
    EXPECT_EQ(d.TemplateId(), IDD_IMAGE_SHEET_EN);
    EXPECT_EQ(d.Find(IDC_TAB)->items, std::vector<std::string>{"Image Filter"});
    ASSERT_NE(d.Page(), nullptr);
    EXPECT_EQ(d.Page()->TemplateId(), IDD_IMAGE_PAGE_EN);
    EXPECT_EQ(d.PageHost(), IDC_TAB);
    EXPECT_EQ(std::pair(d.PageX(), d.PageY()), std::pair(30, 25));
    EXPECT_TRUE(sheet.Page().Ready());
    EXPECT_TRUE(Enabled(d, IDC_DEFAULT));
    const int values[] = {100, 110, 120, 130};
    for (int row = 0; row < kImageParameterCount; ++row) {
      const int bar = IDC_BRIGHTNESS_BAR + 10 * row;
      const platform::MemoryControl* trackbar = d.Find(bar);
      ASSERT_NE(trackbar, nullptr);
      EXPECT_EQ(trackbar->minimum, 0);
      EXPECT_EQ(trackbar->maximum, 255);
      EXPECT_EQ(trackbar->position, values[row]);
      EXPECT_EQ(trackbar->tickFrequency, 64);
      const platform::MemoryControl* spin = d.Find(bar + 3);
      ASSERT_NE(spin, nullptr);
      EXPECT_EQ(std::pair(spin->minimum, spin->maximum), std::pair(0, 255));
      EXPECT_EQ(spin->position, values[row]);
      EXPECT_EQ(spin->buddy, bar + 1);
      EXPECT_EQ(Text(d, bar + 1), std::to_string(values[row]));
      EXPECT_TRUE(Enabled(d, bar) && Enabled(d, bar + 1) && Enabled(d, bar + 3));
    }
    // Filling the edits raised changes before the page was ready: nothing went to the device.
    EXPECT_TRUE(device_.writes.empty());
    d.Click(IDC_CANCEL);
  });
}

TEST_F(ImageDialogTest, WhileStreamingTypingTakesTheValueMod256AndWritesIt) {
  ImageSheet sheet(&device_, Fields());
  const int result = RunWith(sheet, [&](MemoryDialog& d) {
    ASSERT_TRUE(d.Type(IDC_BRIGHTNESS_EDIT, "300"));
    EXPECT_EQ(d.Find(IDC_BRIGHTNESS_BAR)->position, 44);
    EXPECT_EQ(Byte(kBrightness), 44);
    ASSERT_FALSE(device_.writes.empty());
    EXPECT_EQ(device_.writes.back(), std::pair(kBrightness, uint8_t{44}));
    d.Type(IDC_HUE_EDIT, "-1");
    EXPECT_EQ(Byte(kHue), 255);
    d.Click(IDC_OK);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored(kFilterKey, kBrightnessValue), 44u);
  EXPECT_EQ(Stored(kFilterKey, kHueValue), 255u);
}

TEST_F(ImageDialogTest, ASlideShowsThePositionAndWritesTheSameValueTwice) {
  ImageSheet sheet(&device_, Fields());
  RunWith(sheet, [&](MemoryDialog& d) {
    ASSERT_TRUE(d.Slide(IDC_CONTRAST_BAR, 200));
    EXPECT_EQ(Text(d, IDC_CONTRAST_EDIT), "200");
    EXPECT_EQ(Byte(kContrast), 200);
    // Once from the edit's change, once from the slide itself.
    EXPECT_EQ(device_.writes, (std::vector<std::pair<ImageParameter, uint8_t>>{{kContrast, 200},
                                                                               {kContrast, 200}}));
    device_.writes.clear();
    // The up-down counts on from the edit and shows its value there, which writes it.
    ASSERT_TRUE(d.Spin(IDC_SATURATION_SPIN, 3));
    EXPECT_EQ(Text(d, IDC_SATURATION_EDIT), "133");
    EXPECT_EQ(d.Find(IDC_SATURATION_BAR)->position, 133);
    EXPECT_EQ(device_.writes.back(), std::pair(kSaturation, uint8_t{133}));
    d.Click(IDC_CANCEL);
  });
}

TEST_F(ImageDialogTest, DefaultLoadsTheRegisterDefaultsAndWritesThemInTheDecoderOrder) {
  ImageSheet sheet(&device_, Fields());
  RunWith(sheet, [&](MemoryDialog& d) {
    ASSERT_TRUE(d.Click(IDC_DEFAULT));
    EXPECT_EQ(Byte(kBrightness), 128);
    EXPECT_EQ(Byte(kContrast), 128);
    EXPECT_EQ(Byte(kHue), 0);
    EXPECT_EQ(Byte(kSaturation), 128);
    ASSERT_GE(device_.writes.size(), 4u);
    const std::vector<std::pair<ImageParameter, uint8_t>> first(device_.writes.begin(),
                                                                device_.writes.begin() + 4);
    EXPECT_EQ(first, (std::vector<std::pair<ImageParameter, uint8_t>>{
                         {kBrightness, 128}, {kSaturation, 128}, {kHue, 0}, {kContrast, 128}}));
    // The refreshed edits raise changes that write the same values once more.
    EXPECT_EQ(device_.writes.size(), 8u);
    for (int row = 0; row < kImageParameterCount; ++row) {
      const int bar = IDC_BRIGHTNESS_BAR + 10 * row;
      EXPECT_EQ(d.Find(bar)->position, row == kHue ? 0 : 128);
      EXPECT_EQ(Text(d, bar + 1), row == kHue ? "0" : "128");
    }
    d.Click(IDC_CANCEL);
  });
}

TEST_F(ImageDialogTest, OkStoresEverySettingAsItStandsButNeverTheSize) {
  Put(kSizeValue, 2);
  ImageSheet sheet(&device_, Fields());
  const int result = RunWith(sheet, [&](MemoryDialog& d) { d.Click(IDC_OK); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), 2u);
  EXPECT_EQ(Stored(kSettingsKey, kColorValue), 1u);
  EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 33u);
  EXPECT_EQ(Stored(kSettingsKey, kSamplingRateValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kHiRateValue), 1u);
  EXPECT_EQ(Stored(kFilterKey, kContrastValue), 110u);
  EXPECT_EQ(Stored(kFilterKey, kSaturationValue), 130u);
  EXPECT_TRUE(device_.writes.empty()) << "OK writes nothing to the device";
}

TEST_F(ImageDialogTest, WithoutADeviceDefaultIsDisabledAndTypingWaitsForOk) {
  ImageSheet sheet(nullptr, Fields());
  const int result = RunWith(sheet, [&](MemoryDialog& d) {
    EXPECT_FALSE(Enabled(d, IDC_DEFAULT));
    EXPECT_FALSE(d.Click(IDC_DEFAULT));
    ASSERT_TRUE(d.Slide(IDC_BRIGHTNESS_BAR, 7));
    EXPECT_EQ(Text(d, IDC_BRIGHTNESS_EDIT), "7");
    EXPECT_EQ(Byte(kBrightness), 7);
    ASSERT_TRUE(d.Type(IDC_CONTRAST_EDIT, "513"));
    EXPECT_EQ(Byte(kContrast), 110) << "nothing changes before OK";
    EXPECT_EQ(d.Find(IDC_CONTRAST_BAR)->position, 110);
    d.Click(IDC_OK);
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Byte(kContrast), 1) << "513 mod 256, read by OK";
  EXPECT_EQ(Stored(kFilterKey, kContrastValue), 1u);
  EXPECT_EQ(Stored(kFilterKey, kBrightnessValue), 7u);
}

TEST_F(ImageDialogTest, OnlyTheFourRowsAnswerAndOneSheetIsOpenAtATime) {
  ImageSheet sheet(&device_, Fields());
  RunWith(sheet, [&](MemoryDialog& d) {
    ImageSheet second(&device_, Fields());
    EXPECT_FALSE(second.CanRun());
    EXPECT_EQ(second.Run(nullptr), platform::kDialogNotCreated);
    // Controls of the English page that nothing set up.
    d.Page()->SetTrackbarPosition(IDC_SHARPNESS_BAR, 9);
    d.Slide(IDC_SHARPNESS_BAR, 40);
    d.Type(IDC_SHARPNESS_EDIT, "12");
    EXPECT_TRUE(device_.writes.empty());
    EXPECT_EQ(Byte(kBrightness), 100);
    d.Click(IDC_CANCEL);
  });
  ImageSheet japanese(&device_, Fields());
  LanguageScope ja("ja_JP.UTF-8");
  RunWith(japanese, [](MemoryDialog& d) {
    EXPECT_EQ(d.TemplateId(), IDD_IMAGE_SHEET_JA);
    EXPECT_EQ(d.Page()->TemplateId(), IDD_IMAGE_PAGE_JA);
    EXPECT_EQ(d.Find(IDC_TAB)->items, std::vector<std::string>{"Image Filter"});
  });
}

}  // namespace
}  // namespace zelcnv::settings
