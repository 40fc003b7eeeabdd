// The per-user settings store: the camera settings every new handle starts from, and the subset
// the video format dialog reads and writes. Every load reads the store afresh and every save
// writes it at once; failures are silent towards the application.
#pragma once

#include "settings/sampling_code.h"  // the stored "Size" is a sampling code

#include <cstdint>
#include <mutex>

namespace zelcnv::settings {

inline constexpr char kSettingsKey[] = "Software\\Velmora\\ZelCnvSdk";
inline constexpr char kFilterSubkey[] = "Filter";
inline constexpr char kFilterKey[] = "Software\\Velmora\\ZelCnvSdk\\Filter";

// Value names in the main key.
inline constexpr char kSizeValue[] = "Size";  // sampling code 0..3
inline constexpr char kColorValue[] = "Color";
inline constexpr char kWaitTimeValue[] = "WaitTime";
inline constexpr char kSamplingRateValue[] = "SamplingRate";
inline constexpr char kHiRateValue[] = "HiRate";
// Value names in "Filter".
inline constexpr char kBrightnessValue[] = "Brightness";
inline constexpr char kContrastValue[] = "Contrast";
inline constexpr char kHueValue[] = "Hue";
inline constexpr char kSaturationValue[] = "Saturation";

// The camera object's persisted fields; the initial values are its construction values.
struct CameraSettings {
  int32_t colourMode = 2;  // colour mode index 0..5
  int32_t waitTime = 10;   // ms
  int32_t samplingRate = 1;
  int32_t hiRate = 0;
  uint8_t brightness = 128;
  uint8_t contrast = 128;
  uint8_t hue = 0;
  uint8_t saturation = 128;

  // The four picture controls by index: brightness, contrast, hue, saturation.
  uint8_t& PictureControl(int index) {
    uint8_t* const controls[] = {&brightness, &contrast, &hue, &saturation};
    return *controls[index];
  }
  uint8_t PictureControl(int index) const {
    return const_cast<CameraSettings*>(this)->PictureControl(index);
  }
};

// One handle's settings as its threads share them: the application's calls, the preview thread
// and a modal dialog each read a consistent copy and change them under one lock.
class SharedSettings {
 public:
  CameraSettings Get() const {
    const std::lock_guard lock(mutex_);
    return value_;
  }
  template <typename Change>
  void Update(Change&& change) {
    const std::lock_guard lock(mutex_);
    change(value_);
  }

 private:
  mutable std::mutex mutex_;
  CameraSettings value_;
};

// The video format dialog's three fields.
struct VideoFormatSettings {
  int32_t samplingCode = 0;
  int32_t colourMode = 0;
  int32_t waitTime = 0;
};

// Loads every stored value into `settings`; a missing value leaves its field alone, except that
// a missing "Size" counts as sampling code 0. Explicit "SamplingRate" and "HiRate" win over
// "Size". Nothing is range-checked. 1 if the main key exists, else 0 (nothing changed).
int LoadSettings(CameraSettings& settings) noexcept;

// Writes everything but "Size". 1 on success; 0 if the main key or "Filter" could not be
// created (in the latter case the main-key values are already written).
int SaveSettings(const CameraSettings& settings) noexcept;

// Reads "Size", "Color" and "WaitTime"; a missing value leaves its field alone. 1 if the main
// key exists, else 0.
int LoadVideoFormat(VideoFormatSettings& format) noexcept;

// Writes the three fields and the sampling flags of the code (0 and 0 for a code outside 0..3);
// leaves "Filter" alone. 1 on success, 0 if the main key could not be created.
int SaveVideoFormat(const VideoFormatSettings& format) noexcept;

}  // namespace zelcnv::settings
