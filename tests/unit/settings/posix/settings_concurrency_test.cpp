// Saves from several processes, and savers killed mid-save: the store always holds exactly one
// whole save.
#include <gtest/gtest.h>

#include "settings/settings_store.h"
#include "store_sandbox.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <vector>

namespace zelcnv::settings {
namespace {

namespace fs = std::filesystem;

// Every save of a saver process sets all eight values to one number; the numbers of one saver
// run through [first, first + count) so consecutive saves always differ.
CameraSettings AllEqual(int value) {
  const auto byte = static_cast<uint8_t>(value);
  return CameraSettings{value, value, value, value, byte, byte, byte, byte};
}

// A process that saves in a tight loop until it is stopped. It is killed at the latest when the
// object goes, so a failed assertion leaves no saver behind.
class Saver {
 public:
  // Returns once the saver has finished its first save.
  Saver(int first, int count) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) Run(first, count, ready);
    close(ready[1]);
    char byte = 0;
    if (pid_ > 0 && read(ready[0], &byte, 1) != 1) Stop();
    close(ready[0]);
  }
  ~Saver() { Stop(); }
  Saver(const Saver&) = delete;
  Saver& operator=(const Saver&) = delete;

  bool running() const { return pid_ > 0; }

  // Kills the saver; true when it had been saving until then rather than having given up.
  bool Stop() {
    if (pid_ <= 0) return false;
    kill(pid_, SIGKILL);
    int status = 0;
    const bool reaped = waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

 private:
  [[noreturn]] static void Run(int first, int count, int ready[2]) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test process
    close(ready[0]);
    for (int i = 0;; i = (i + 1) % count) {
      if (SaveSettings(AllEqual(first + i)) != 1) _exit(1);
      if (ready[1] >= 0) {
        const char byte = 1;
        if (write(ready[1], &byte, 1) != 1) _exit(1);
        close(ready[1]);
        ready[1] = -1;
      }
    }
  }

  pid_t pid_ = -1;
};

// Loads the store and returns the one number of the save it holds, or -1 when the values are
// mixed or the store cannot be loaded.
int LoadWholeSave() {
  CameraSettings loaded{-1, -2, -3, -4, 1, 2, 3, 4};
  if (LoadSettings(loaded) != 1) return -1;
  const int value = loaded.colourMode;
  const CameraSettings expected = AllEqual(value);
  const bool whole = loaded.waitTime == value && loaded.samplingRate == value &&
                     loaded.hiRate == value && loaded.brightness == expected.brightness &&
                     loaded.contrast == expected.contrast && loaded.hue == expected.hue &&
                     loaded.saturation == expected.saturation;
  return whole ? value : -1;
}

class SettingsConcurrencyTest : public ::testing::Test {
 protected:
  testing::StoreSandbox sandbox_;
};

TEST_F(SettingsConcurrencyTest, SaverKilledAtAnyMomentLeavesOneWholeSave) {
  constexpr int kKills = 80;
  std::mt19937 random(2024);
  for (int round = 0; round < kKills; ++round) {
    const int first = 1 + (round % 2) * 100;
    Saver saver(first, 100);
    ASSERT_TRUE(saver.running());
    // No condition to wait for: the point is to kill at an arbitrary moment of some save.
    usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
    ASSERT_TRUE(saver.Stop());
    const int value = LoadWholeSave();
    ASSERT_GE(value, first) << "round " << round;
    ASSERT_LT(value, first + 100) << "round " << round;
  }
  // A save after all that cleans up what the killed savers left behind.
  ASSERT_EQ(SaveSettings(CameraSettings{}), 1);
  std::set<std::string> files;
  const fs::path directory = fs::path(std::getenv("XDG_CONFIG_HOME")) / "ZelCnvSdk";
  for (const auto& entry : fs::directory_iterator(directory)) {
    files.insert(entry.path().filename());
  }
  EXPECT_EQ(files, (std::set<std::string>{"settings.ini", "settings.ini.lock"}));
}

TEST_F(SettingsConcurrencyTest, ConcurrentSaversNeverMixTheirValues) {
  Saver savers[] = {{1, 100}, {101, 100}};
  ASSERT_TRUE(savers[0].running());
  ASSERT_TRUE(savers[1].running());
  int mixed = 0;
  std::set<int> seen;
  for (int read = 0; read < 1500; ++read) {
    const int value = LoadWholeSave();
    if (value < 0) ++mixed;
    seen.insert(value);
  }
  EXPECT_TRUE(savers[0].Stop());
  EXPECT_TRUE(savers[1].Stop());
  EXPECT_EQ(mixed, 0);
  EXPECT_GT(seen.size(), 1u) << "the savers made no progress while the reads ran";
}

}  // namespace
}  // namespace zelcnv::settings
