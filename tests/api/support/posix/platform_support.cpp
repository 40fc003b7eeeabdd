// Linux: message queues stand in for windows; settings live under $XDG_CONFIG_HOME, which the
// tests point at a directory of their own.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "../api_test_support.h"
#include "ZelCnvPosix.h"

namespace zelcnv::apitest {

namespace {

const std::string& ConfigHome() {
  static const std::string home = [] {
    std::string dir =
        (std::filesystem::temp_directory_path() / ("zelcnv-api-" + std::to_string(::getpid())))
            .string();
    std::filesystem::create_directories(dir);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    return dir;
  }();
  return home;
}

}  // namespace

TestWindow::TestWindow() : window_(ZelCnv_CreateMessageWindow()) {}

TestWindow::~TestWindow() {
  ZelCnv_DestroyMessageWindow(window_);
}

bool TestWindow::Next(ReceivedMessage* message, int timeoutMs) {
  ZelCnvMessage received{};
  if (ZelCnv_GetMessage(window_, &received, timeoutMs) != 1) return false;
  *message = {received.message, received.wParam, received.lParam};
  return true;
}

int TestWindow::Drain() {
  int count = 0;
  while (ZelCnv_GetMessage(window_, nullptr, 0) == 1) ++count;
  return count;
}

void StoreSetting(const char* name, uint32_t value) {
  const std::filesystem::path dir = std::filesystem::path(ConfigHome()) / "ZelCnvSdk";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "settings.ini", std::ios::app) << "[Software\\Velmora\\ZelCnvSdk]\n"
                                                     << name << " = " << value << "\n";
}

void ClearSettingsStore() {
  std::error_code ignored;
  std::filesystem::remove_all(ConfigHome(), ignored);
  std::filesystem::create_directories(ConfigHome(), ignored);
}

}  // namespace zelcnv::apitest
