// Runs a program with a simulated converter attached to the simulator's driver, as a user's
// program would find a real one: attaches converter 0 with CONFIG, runs COMMAND (one command
// line) and waits for it, detaches, and exits with its exit code.
//
//   with_simulated_converter CONFIG COMMAND
#include <windows.h>

#include <cstdio>
#include <string>

#include "ZelCnvSim.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: with_simulated_converter CONFIG COMMAND\n");
    return 2;
  }
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  if (ZelSim_Attach(0, argv[1]) != 1) {
    std::fprintf(stderr, "cannot attach a simulated converter (is the driver running?)\n");
    return 2;
  }
  std::string command = argv[2];
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  DWORD code = 2;
  if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    std::fprintf(stderr, "cannot run %s\n", argv[2]);
  }
  ZelSim_Detach(0);
  return static_cast<int>(code);
}
