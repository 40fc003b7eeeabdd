// What the behaviour tests need around the C API, the same on Linux and under Wine: a window
// that receives the library's messages, a clean settings store, and no simulated converter left
// attached by an earlier test or process.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "ZelCnvSdk.h"

namespace zelcnv::apitest {

struct ReceivedMessage {
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
};

// A window of the application's: a real window with its message queue on Windows, a message
// queue from ZelCnvPosix.h on Linux.
class TestWindow {
 public:
  TestWindow();
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND handle() const { return window_; }
  // The next message posted to the window, waiting at most `timeoutMs`; false on time-out.
  bool Next(ReceivedMessage* message, int timeoutMs);
  // Every message already posted, without waiting.
  int Drain();

 private:
  HWND window_ = nullptr;
};

// Removes the per-user settings the library persists (a test's handles start from defaults).
void ClearSettingsStore();
// Stores `value` under `name` among the main settings, as a damaged or hand-edited store might
// hold it (the library checks nothing it loads).
void StoreSetting(const char* name, uint32_t value);

// Detaches every simulated converter and clears the settings store before each test.
class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace zelcnv::apitest
