// The Linux store file: where it lives, what it looks like, and how it copes with contents and
// locations it did not expect.
#include <gtest/gtest.h>

#include "platform/settings_registry.h"
#include "settings/settings_store.h"
#include "settings_fields.h"
#include "store_sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

namespace zelcnv::settings {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

using testing::Fields;

class SettingsFileTest : public ::testing::Test {
 protected:
  static fs::path ConfigHome() { return std::getenv("XDG_CONFIG_HOME"); }
  static fs::path StoreFile() { return ConfigHome() / "ZelCnvSdk" / "settings.ini"; }

  static void WriteStoreFile(const std::string& contents) {
    fs::create_directories(StoreFile().parent_path());
    std::ofstream(StoreFile(), std::ios::binary) << contents;
  }

  static std::string ReadFile(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
  }

  testing::StoreSandbox sandbox_;
  const CameraSettings sentinel_{41, 42, 43, 44, 45, 46, 47, 48};
};

TEST_F(SettingsFileTest, SaveCreatesAReadableFileUnderTheConfigHome) {
  ASSERT_FALSE(fs::exists(ConfigHome()));
  ASSERT_EQ(SaveSettings(CameraSettings{3, 10, 1, 0, 128, 64, 0, 128}), 1);
  const std::string text = ReadFile(StoreFile());
  EXPECT_NE(text.find("[Software\\Velmora\\ZelCnvSdk]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Software\\Velmora\\ZelCnvSdk\\Filter]\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nColor = 3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nContrast = 64\n"), std::string::npos) << text;
  EXPECT_EQ((fs::status(StoreFile()).permissions() & fs::perms::others_read), fs::perms::none);
}

TEST_F(SettingsFileTest, WithoutAnAbsoluteConfigHomeTheStoreIsUnderHomeDotConfig) {
  const fs::path fallback = fs::path(std::getenv("HOME")) / ".config/ZelCnvSdk/settings.ini";
  for (const char* configHome : {"relative/config", ""}) {
    setenv("XDG_CONFIG_HOME", configHome, 1);
    ASSERT_EQ(SaveVideoFormat(VideoFormatSettings{1, 0, 5}), 1);
    EXPECT_TRUE(fs::exists(fallback)) << '"' << configHome << '"';
    fs::remove(fallback);
  }
  unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(SaveVideoFormat(VideoFormatSettings{1, 0, 5}), 1);
  EXPECT_TRUE(fs::exists(fallback));
}

TEST_F(SettingsFileTest, HandEditedFileLoadsWithItsCommentsSpacingCaseAndLineEnds) {
  WriteStoreFile(
      "# edited by hand\r\n"
      "  [ software\\VELMORA\\zelcnvsdk ]  \r\n"
      "color=4\r\n"
      "\tWaitTime\t=\t0025   \r\n"
      "; HiRate = 1\n"
      "[Software\\Velmora\\ZelCnvSdk\\Filter]\n"
      "Hue = 9\n"
      "Hue = 10\n"                 // the later line wins
      "Saturation = 4294967295");  // no final newline
  CameraSettings camera = sentinel_;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(Fields(camera), std::tuple(4, 25, 0, 1, 45, 46, 10, 255));
}

TEST_F(SettingsFileTest, MalformedLinesReadAsAbsentValues) {
  const std::string longName(100000, 'C');
  std::string contents =
      "[Software\\Velmora\\ZelCnvSdk]\n"
      "Size\n"                   // no '='
      "Color =\n"                // no number
      "WaitTime = 4294967296\n"  // more than 32 bits
      "SamplingRate = -1\n"      // negative
      "HiRate = 1x\n"            // trailing junk
      "= 5\n"                    // no name
      "Wait\0Time = 3\n"s;       // a NUL in the name
  contents += longName + " = 12\n";
  contents +=
      "[Software\\Velmora\\ZelCnvSdk\\Filter\n"  // unclosed header: lines below belong nowhere
      "Brightness = 1\n"
      "[Software\\Velmora\\ZelCnvSdk\\Filter]\n"
      "Contrast = 0x10\n"
      "Hue = +3\n"
      "Saturation = 99999999999999999999999999\n";
  WriteStoreFile(contents);
  CameraSettings camera = sentinel_;
  ASSERT_EQ(LoadSettings(camera), 1);
  // Only the missing "Size" (code 0) has an effect.
  EXPECT_EQ(Fields(camera), std::tuple(41, 42, 0, 1, 45, 46, 47, 48));

  // A save rewrites the file in its own form, dropping what did not parse.
  ASSERT_EQ(SaveVideoFormat(VideoFormatSettings{3, 1, 20}), 1);
  const std::string text = ReadFile(StoreFile());
  EXPECT_EQ(text.find("-1"), std::string::npos) << text;
  EXPECT_NE(text.find(longName + " = 12\n"), std::string::npos);
  camera = sentinel_;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(Fields(camera), std::tuple(1, 20, 1, 0, 45, 46, 47, 48));
}

TEST_F(SettingsFileTest, BinaryGarbageIsNoStoreAndASaveReplacesIt) {
  std::mt19937 random(7);
  std::string garbage(64 * 1024, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  WriteStoreFile(garbage);
  CameraSettings camera = sentinel_;
  EXPECT_EQ(LoadSettings(camera), 0);
  EXPECT_EQ(Fields(camera), Fields(sentinel_));

  ASSERT_EQ(SaveSettings(CameraSettings{}), 1);
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(Fields(camera), Fields(CameraSettings{}));
}

TEST_F(SettingsFileTest, OversizedFileIsReadUpToItsLimit) {
  // Values near the start still load; a single line of several megabytes is cut off unread.
  WriteStoreFile("[Software\\Velmora\\ZelCnvSdk]\nColor = 5\nHue" + std::string(3 << 20, ' ') +
                 "= 1\nWaitTime = 7\n");
  CameraSettings camera = sentinel_;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.colourMode, 5);
  EXPECT_EQ(camera.waitTime, 42);
}

TEST_F(SettingsFileTest, FileCraftedWithManyKeysAndValuesStillLoadsQuickly) {
  // Close to the size limit: 90000 keys, then 20000 values in the main key. Lookups that scan
  // every key or value take tens of seconds on this.
  std::string contents;
  for (int i = 0; i < 90000; ++i) contents += "[k" + std::to_string(i) + "]\n";
  contents += "[Software\\Velmora\\ZelCnvSdk]\n";
  for (int i = 0; i < 20000; ++i) contents += "v" + std::to_string(i) + "=1\n";
  contents += "Color = 4\n";
  WriteStoreFile(contents);
  const auto start = std::chrono::steady_clock::now();
  CameraSettings camera = sentinel_;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(camera.colourMode, 4);
  ASSERT_EQ(SaveSettings(camera), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(SettingsFileTest, SavesKeepValuesAndKeysTheyDoNotWrite) {
  WriteStoreFile(
      "[Software\\Velmora\\ZelCnvSdk]\nFuture = 12\n"
      "[Software\\Velmora\\Other]\nX = 1\n");
  ASSERT_EQ(SaveSettings(CameraSettings{}), 1);
  for (auto [key, name, value] :
       {std::tuple(kSettingsKey, "Future", 12u), std::tuple("Software\\Velmora\\Other", "X", 1u)}) {
    platform::SettingsKey* opened = platform::OpenSettingsKey(key);
    ASSERT_NE(opened, nullptr) << key;
    uint32_t stored = 0;
    EXPECT_TRUE(platform::ReadSettingsValue(opened, name, &stored)) << name;
    EXPECT_EQ(stored, value);
    platform::CloseSettingsKey(opened);
  }
}

TEST_F(SettingsFileTest, UnusableLocationFailsSavesAndLoadsWithoutHarm) {
  // The configuration home is a regular file, so no directory can be made below it.
  std::ofstream(ConfigHome().string() + "-file") << "x";
  setenv("XDG_CONFIG_HOME", (ConfigHome().string() + "-file").c_str(), 1);
  CameraSettings camera = sentinel_;
  EXPECT_EQ(SaveSettings(camera), 0);
  EXPECT_EQ(SaveVideoFormat(VideoFormatSettings{}), 0);
  EXPECT_EQ(LoadSettings(camera), 0);
  EXPECT_EQ(Fields(camera), Fields(sentinel_));
}

TEST_F(SettingsFileTest, StorePathThatIsNoRegularFileFailsWithoutBlocking) {
  fs::create_directories(StoreFile().parent_path());
  ASSERT_EQ(mkfifo(StoreFile().c_str(), 0600), 0);
  CameraSettings camera = sentinel_;
  EXPECT_EQ(LoadSettings(camera), 0);
  EXPECT_EQ(SaveSettings(camera), 0);
  fs::remove(StoreFile());

  fs::create_directory(StoreFile());
  EXPECT_EQ(SaveSettings(camera), 0);
  EXPECT_EQ(LoadSettings(camera), 0);
}

TEST_F(SettingsFileTest, ReadOnlyDirectoryFailsTheSaveAndKeepsThePreviousOne) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  ASSERT_EQ(SaveSettings(CameraSettings{}), 1);
  fs::permissions(StoreFile().parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(SaveSettings(sentinel_), 0);
  fs::permissions(StoreFile().parent_path(), fs::perms::owner_all);
  CameraSettings camera = sentinel_;
  ASSERT_EQ(LoadSettings(camera), 1);
  EXPECT_EQ(Fields(camera), Fields(CameraSettings{}));
}

}  // namespace
}  // namespace zelcnv::settings
