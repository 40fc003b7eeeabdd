// The Windows store is the registry itself: other programs see what the library saves, and the
// library loads what they write.
#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "store_sandbox.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

namespace zelcnv::settings {
namespace {

struct RegistryValue {
  std::string type;
  std::string data;
};

// Runs a command through the command interpreter; returns its exit code and its output.
std::tuple<int, std::string> RunCommand(const std::string& command) {
  std::FILE* pipe = _popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, {}};
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  return {_pclose(pipe), output};
}

// Values of one key as reg.exe, a separate process, lists them ("name  type  data" lines).
std::map<std::string, RegistryValue> QueryWithReg(const std::string& key) {
  const auto [status, output] = RunCommand("reg query \"HKCU\\" + key + "\"");
  EXPECT_EQ(status, 0) << output;
  std::map<std::string, RegistryValue> values;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string name, type, data;
    if (fields >> name >> type >> data && type.rfind("REG_", 0) == 0) {
      values[name] = RegistryValue{type, data};
    }
  }
  return values;
}

class SettingsRegistryTest : public ::testing::Test {
 protected:
  // The key another process sees the sandbox's `key` as.
  std::string Outside(const char* key) const { return sandbox_.UserKeyPath() + "\\" + key; }
  testing::StoreSandbox sandbox_;
};

TEST_F(SettingsRegistryTest, AnotherProcessSeesTheSavedDwords) {
  ASSERT_EQ(SaveSettings(CameraSettings{1, 25, 0, 1, 0x12, 128, 0, 200}), 1);
  std::map<std::string, RegistryValue> main = QueryWithReg(Outside(kSettingsKey));
  EXPECT_EQ(main.size(), 4u);
  EXPECT_EQ(main["Color"].type, "REG_DWORD");
  EXPECT_EQ(main["Color"].data, "0x1");
  EXPECT_EQ(main["WaitTime"].data, "0x19");
  EXPECT_EQ(main["SamplingRate"].data, "0x0");
  EXPECT_EQ(main["HiRate"].data, "0x1");

  std::map<std::string, RegistryValue> filter = QueryWithReg(Outside(kFilterKey));
  EXPECT_EQ(filter.size(), 4u);
  EXPECT_EQ(filter["Brightness"].type, "REG_DWORD");
  EXPECT_EQ(filter["Brightness"].data, "0x12");
  EXPECT_EQ(filter["Saturation"].data, "0xc8");
}

TEST_F(SettingsRegistryTest, LoadsWhatAnotherProcessWrote) {
  const std::string add = "reg add \"HKCU\\" + Outside(kSettingsKey);
  ASSERT_EQ(std::get<0>(RunCommand(add + "\" /v Size /t REG_DWORD /d 2 /f")), 0);
  ASSERT_EQ(std::get<0>(RunCommand(add + "\\Filter\" /v Hue /t REG_DWORD /d 300 /f")), 0);
  CameraSettings camera;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.samplingRate, 1);
  EXPECT_EQ(camera.hiRate, 1);
  EXPECT_EQ(camera.hue, 300 & 0xFF);
}

TEST_F(SettingsRegistryTest, DataOfAnyOtherSizeThanFourBytesReadsAsAbsent) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const ULONGLONG wide = 5;
  const BYTE shortData[2] = {9, 0};
  const BYTE binaryFour[4] = {3, 0, 0, 0};
  RegSetValueExA(key, "Color", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide), sizeof wide);
  RegSetValueExA(key, "WaitTime", 0, REG_BINARY, shortData, sizeof shortData);
  RegSetValueExA(key, "SamplingRate", 0, REG_SZ, reinterpret_cast<const BYTE*>("1234567"), 8);
  // Only the size counts, as with any reader that offers a 4-byte buffer.
  RegSetValueExA(key, "HiRate", 0, REG_BINARY, binaryFour, sizeof binaryFour);
  RegCloseKey(key);

  CameraSettings camera{40, 41, 42, 43, 44, 45, 46, 47};
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.colourMode, 40);
  EXPECT_EQ(camera.waitTime, 41);
  EXPECT_EQ(camera.samplingRate, 0);  // from the missing "Size"
  EXPECT_EQ(camera.hiRate, 3);
}

}  // namespace
}  // namespace zelcnv::settings
