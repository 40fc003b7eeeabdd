// The four settings operations over the platform's per-user key store.
#include "settings/settings_store.h"

#include "platform/settings_registry.h"

#include <array>
#include <memory>

namespace zelcnv::settings {

namespace {

struct KeyCloser {
  void operator()(platform::SettingsKey* key) const { platform::CloseSettingsKey(key); }
};
using Key = std::unique_ptr<platform::SettingsKey, KeyCloser>;

// Values are stored as unsigned 32-bit numbers and go into the fields bit for bit.
void Read(platform::SettingsKey* key, const char* name, int32_t& field) {
  uint32_t value = 0;
  if (platform::ReadSettingsValue(key, name, &value)) field = static_cast<int32_t>(value);
}

void ReadLowByte(platform::SettingsKey* key, const char* name, uint8_t& field) {
  uint32_t value = 0;
  if (platform::ReadSettingsValue(key, name, &value)) field = static_cast<uint8_t>(value);
}

uint32_t Stored(int32_t field) {
  return static_cast<uint32_t>(field);
}

template <size_t N>
int WriteAll(const std::array<platform::SettingsWrite, N>& writes) {
  return platform::WriteSettingsValues(writes) == writes.size() ? 1 : 0;
}

}  // namespace

int LoadSettings(CameraSettings& settings) noexcept {
  const Key main(platform::OpenSettingsKey(kSettingsKey));
  if (!main) return 0;
  int32_t size = 0;  // a missing "Size" is code 0
  Read(main.get(), kSizeValue, size);
  SamplingFlags flags{};
  if (SamplingFlagsFromCode(size, &flags)) {
    settings.samplingRate = flags.samplingRate;
    settings.hiRate = flags.hiRate;
  }
  Read(main.get(), kColorValue, settings.colourMode);
  Read(main.get(), kWaitTimeValue, settings.waitTime);
  Read(main.get(), kSamplingRateValue, settings.samplingRate);
  Read(main.get(), kHiRateValue, settings.hiRate);

  const Key filter(platform::OpenSettingsSubkey(main.get(), kFilterSubkey));
  if (!filter) return 1;
  ReadLowByte(filter.get(), kBrightnessValue, settings.brightness);
  ReadLowByte(filter.get(), kContrastValue, settings.contrast);
  ReadLowByte(filter.get(), kHueValue, settings.hue);
  ReadLowByte(filter.get(), kSaturationValue, settings.saturation);
  return 1;
}

int SaveSettings(const CameraSettings& settings) noexcept {
  const std::array<platform::SettingsWrite, 8> writes = {{
      {kSettingsKey, kColorValue, Stored(settings.colourMode)},
      {kSettingsKey, kWaitTimeValue, Stored(settings.waitTime)},
      {kSettingsKey, kSamplingRateValue, Stored(settings.samplingRate)},
      {kSettingsKey, kHiRateValue, Stored(settings.hiRate)},
      {kFilterKey, kBrightnessValue, settings.brightness},
      {kFilterKey, kContrastValue, settings.contrast},
      {kFilterKey, kHueValue, settings.hue},
      {kFilterKey, kSaturationValue, settings.saturation},
  }};
  return WriteAll(writes);
}

int LoadVideoFormat(VideoFormatSettings& format) noexcept {
  const Key main(platform::OpenSettingsKey(kSettingsKey));
  if (!main) return 0;
  Read(main.get(), kSizeValue, format.samplingCode);
  Read(main.get(), kColorValue, format.colourMode);
  Read(main.get(), kWaitTimeValue, format.waitTime);
  return 1;
}

int SaveVideoFormat(const VideoFormatSettings& format) noexcept {
  SamplingFlags flags{};  // a code outside the table stores 0 and 0
  SamplingFlagsFromCode(format.samplingCode, &flags);
  const std::array<platform::SettingsWrite, 5> writes = {{
      {kSettingsKey, kSizeValue, Stored(format.samplingCode)},
      {kSettingsKey, kColorValue, Stored(format.colourMode)},
      {kSettingsKey, kWaitTimeValue, Stored(format.waitTime)},
      {kSettingsKey, kSamplingRateValue, Stored(flags.samplingRate)},
      {kSettingsKey, kHiRateValue, Stored(flags.hiRate)},
  }};
  return WriteAll(writes);
}

}  // namespace zelcnv::settings
