// The four settings operations against the platform's real per-user store.
#include <gtest/gtest.h>

#include "platform/settings_registry.h"
#include "settings/settings_store.h"
#include "settings_fields.h"
#include "store_sandbox.h"

#include <initializer_list>
#include <optional>
#include <tuple>
#include <vector>

namespace zelcnv::settings {
namespace {

using platform::SettingsWrite;

using testing::Fields;

class SettingsStoreTest : public ::testing::Test {
 protected:
  // Puts values into the store as another program (or an older run) would have left them.
  static void Put(std::initializer_list<SettingsWrite> writes) {
    const std::vector<SettingsWrite> list(writes);
    ASSERT_EQ(platform::WriteSettingsValues(list), list.size());
  }

  static std::optional<uint32_t> Stored(const char* key, const char* name) {
    platform::SettingsKey* opened = platform::OpenSettingsKey(key);
    if (opened == nullptr) return std::nullopt;
    uint32_t value = 0;
    const bool found = platform::ReadSettingsValue(opened, name, &value);
    platform::CloseSettingsKey(opened);
    return found ? std::optional<uint32_t>(value) : std::nullopt;
  }

  testing::StoreSandbox sandbox_;
};

TEST_F(SettingsStoreTest, NothingStoredLeavesEveryFieldAsItWas) {
  CameraSettings camera;
  EXPECT_EQ(LoadSettings(camera), 0);
  EXPECT_EQ(Fields(camera), std::tuple(2, 10, 1, 0, 128, 128, 0, 128));

  VideoFormatSettings format;
  EXPECT_EQ(LoadVideoFormat(format), 0);
  EXPECT_EQ(format.samplingCode, 0);
  EXPECT_EQ(format.colourMode, 0);
  EXPECT_EQ(format.waitTime, 0);
}

TEST_F(SettingsStoreTest, KeyHoldingOnlyColorCountsMissingSizeAsCodeZero) {
  Put({{kSettingsKey, kColorValue, 5}});
  CameraSettings camera;
  EXPECT_EQ(LoadSettings(camera), 1);
  // Code 0 is "Wide HiSpeed", not the construction defaults; no "Filter" keeps the image bytes.
  EXPECT_EQ(Fields(camera), std::tuple(5, 10, 0, 1, 128, 128, 0, 128));
}

TEST_F(SettingsStoreTest, ExplicitSamplingFlagsWinOverSize) {
  Put({{kSettingsKey, kSizeValue, 3}, {kSettingsKey, kSamplingRateValue, 0}});
  CameraSettings camera;
  camera.hiRate = 1;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.samplingRate, 0);  // explicit value
  EXPECT_EQ(camera.hiRate, 0);        // from "Size" 3
}

TEST_F(SettingsStoreTest, SizeOutsideTheTableLeavesTheFlagsToExplicitOrPreviousValues) {
  Put({{kSettingsKey, kSizeValue, 9}});
  CameraSettings camera;
  camera.samplingRate = 7;
  camera.hiRate = 5;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.samplingRate, 7);
  EXPECT_EQ(camera.hiRate, 5);

  Put({{kSettingsKey, kSizeValue, 0xFFFFFFFF}, {kSettingsKey, kHiRateValue, 1}});
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.samplingRate, 7);
  EXPECT_EQ(camera.hiRate, 1);
}

TEST_F(SettingsStoreTest, ValuesLoadUncheckedAndImageParametersTakeTheLowByte) {
  Put({{kSettingsKey, kSizeValue, 3},
       {kSettingsKey, kColorValue, 7},
       {kSettingsKey, kWaitTimeValue, 0xFFFFFFFF},
       {kFilterKey, kBrightnessValue, 0x1234},
       {kFilterKey, kContrastValue, 0x100},
       {kFilterKey, kSaturationValue, 0xFFFFFF07}});
  CameraSettings camera;
  camera.hue = 77;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(Fields(camera), std::tuple(7, -1, 1, 0, 0x34, 0, 77, 7));
}

TEST_F(SettingsStoreTest, SaveSettingsRoundTripsEveryFieldButWritesNoSize) {
  const CameraSettings saved{4, -3, 0, 1, 255, 0, 17, 200};
  ASSERT_EQ(SaveSettings(saved), 1);
  EXPECT_EQ(Stored(kSettingsKey, kWaitTimeValue), 0xFFFFFFFDu);
  EXPECT_EQ(Stored(kFilterKey, kBrightnessValue), 255u);  // zero-extended
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), std::nullopt);

  // The missing "Size" counts as code 0 but the explicit flags settle it.
  CameraSettings loaded{9, 9, 9, 9, 9, 9, 9, 9};
  ASSERT_EQ(LoadSettings(loaded), 1);
  EXPECT_EQ(Fields(loaded), Fields(saved));
}

TEST_F(SettingsStoreTest, SaveVideoFormatWritesFlagsOfTheCodeAndLeavesFilterAlone) {
  ASSERT_EQ(SaveSettings(CameraSettings{0, 10, 1, 0, 1, 2, 3, 4}), 1);
  ASSERT_EQ(SaveVideoFormat(VideoFormatSettings{2, 1, 33}), 1);
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), 2u);
  EXPECT_EQ(Stored(kSettingsKey, kSamplingRateValue), 1u);
  EXPECT_EQ(Stored(kSettingsKey, kHiRateValue), 1u);
  CameraSettings camera;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(Fields(camera), std::tuple(1, 33, 1, 1, 1, 2, 3, 4));

  VideoFormatSettings format;
  ASSERT_EQ(LoadVideoFormat(format), 1);
  EXPECT_EQ(std::tuple(format.samplingCode, format.colourMode, format.waitTime),
            std::tuple(2, 1, 33));

  ASSERT_EQ(SaveVideoFormat(VideoFormatSettings{5, 0, 0}), 1);
  EXPECT_EQ(Stored(kSettingsKey, kSizeValue), 5u);
  EXPECT_EQ(Stored(kSettingsKey, kSamplingRateValue), 0u);
  EXPECT_EQ(Stored(kSettingsKey, kHiRateValue), 0u);
}

TEST_F(SettingsStoreTest, LaterSaveSettingsOverridesAnOlderSizeOnLoad) {
  ASSERT_EQ(SaveVideoFormat(VideoFormatSettings{0, 2, 10}), 1);  // flags 0, 1
  ASSERT_EQ(SaveSettings(CameraSettings{2, 10, 1, 0, 128, 128, 0, 128}), 1);
  CameraSettings camera{2, 10, 9, 9, 128, 128, 0, 128};
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.samplingRate, 1);
  EXPECT_EQ(camera.hiRate, 0);
}

TEST_F(SettingsStoreTest, WriteListStopsAtAKeyThatCannotBeCreated) {
  // A null key path can be created on no platform.
  const SettingsWrite writes[] = {{kSettingsKey, kColorValue, 3}, {nullptr, kHueValue, 1}};
  EXPECT_EQ(platform::WriteSettingsValues(writes), 1u);
  EXPECT_EQ(Stored(kSettingsKey, kColorValue), 3u);
}

TEST(SamplingCode, CodesAndFlagsMapBothWays) {
  const SamplingFlags table[] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}};
  for (int32_t code = 0; code < 4; ++code) {
    SamplingFlags flags{-1, -1};
    ASSERT_TRUE(SamplingFlagsFromCode(code, &flags));
    EXPECT_EQ(std::tuple(flags.samplingRate, flags.hiRate),
              std::tuple(table[code].samplingRate, table[code].hiRate));
    EXPECT_EQ(SamplingCodeFromFlags(flags.samplingRate, flags.hiRate), code);
  }
  for (int32_t code : {-1, 4, 9, INT32_MIN, INT32_MAX}) {
    SamplingFlags flags{7, 7};
    EXPECT_FALSE(SamplingFlagsFromCode(code, &flags)) << code;
    EXPECT_EQ(flags.samplingRate, 7);
  }
  // Any non-zero hiRate counts as set; samplingRate must be exactly 0 or 1.
  EXPECT_EQ(SamplingCodeFromFlags(0, 5), 0);
  EXPECT_EQ(SamplingCodeFromFlags(1, -1), 2);
  EXPECT_EQ(SamplingCodeFromFlags(2, 0), kNoSamplingCode);
  EXPECT_EQ(SamplingCodeFromFlags(-1, 1), kNoSamplingCode);
}

}  // namespace
}  // namespace zelcnv::settings
