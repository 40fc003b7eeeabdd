// The per-user settings file as a user's editor, a crash or a disk fault may leave it: loading
// the settings and the video format never fails in any other way than reading a value as absent,
// and a save over any such file keeps what it did not write and reads back what it wrote.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_input.h"
#include "settings/settings_store.h"

using namespace zelcnv::settings;

namespace {

// A configuration home of the fuzzer's own, in memory where the system has it.
const std::string& SettingsFile() {
  static const std::string file = [] {
    const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string home =
        std::string(base) + "/zelcnv-fuzz-settings-" + std::to_string(getpid());
    std::filesystem::create_directories(home + "/ZelCnvSdk");
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    return home + "/ZelCnvSdk/settings.ini";
  }();
  return file;
}

bool Same(const CameraSettings& a, const CameraSettings& b) {
  return a.colourMode == b.colourMode && a.waitTime == b.waitTime &&
         a.samplingRate == b.samplingRate && a.hiRate == b.hiRate && a.brightness == b.brightness &&
         a.contrast == b.contrast && a.hue == b.hue && a.saturation == b.saturation;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = SettingsFile();
  zelcnv::fuzz::FuzzInput in(data, size);
  const uint8_t mode = in.Byte();
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    const std::string text = in.Bytes(size);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  CameraSettings loaded;
  const int found = LoadSettings(loaded);
  VideoFormatSettings format;
  const int formatFound = LoadVideoFormat(format);
  if (found != formatFound) __builtin_trap();  // both look for the same key
  if ((mode & 1) == 0) return 0;

  // Save values derived from the input over whatever the file held.
  CameraSettings saved = loaded;
  saved.colourMode ^= mode;
  saved.waitTime += mode;
  saved.brightness = static_cast<uint8_t>(saved.brightness + 1);
  if (SaveSettings(saved) != 1) __builtin_trap();
  CameraSettings again{-1, -1, -1, -1, 1, 2, 3, 4};
  if (LoadSettings(again) != 1 || !Same(again, saved)) __builtin_trap();
  // "Size" is not the camera's to write: what the video format dialog stored stays.
  VideoFormatSettings after;
  if (LoadVideoFormat(after) != 1) __builtin_trap();
  if (formatFound == 1 && after.samplingCode != format.samplingCode) __builtin_trap();
  if ((mode & 2) != 0) {
    VideoFormatSettings chosen{static_cast<int32_t>(mode >> 2) - 8, mode, mode * 3};
    if (SaveVideoFormat(chosen) != 1) __builtin_trap();
    VideoFormatSettings read;
    if (LoadVideoFormat(read) != 1 || read.samplingCode != chosen.samplingCode ||
        read.colourMode != chosen.colourMode || read.waitTime != chosen.waitTime) {
      __builtin_trap();
    }
  }
  return 0;
}
