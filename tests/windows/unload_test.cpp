// The DLL loaded and unloaded by an application around whole streaming runs: every thread the
// library started has left its code by the time ZelCam_Release returns, so an unload right after
// it never pulls code from under a thread.
#include <gtest/gtest.h>

#include <windows.h>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"

namespace {

using InitializeFn = int(__cdecl*)(HWND);
using HandleFn = int(__cdecl*)(int);
using RecordFn = int(__cdecl*)(int, const char*, int, int);

template <class Function>
Function Export(HMODULE library, const char* name) {
  // Through a pointer to void: the export's real type is not FARPROC's.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

TEST(UnloadTest, TheLibraryUnloadsRightAfterReleasingAStreamingHandle) {
  ASSERT_EQ(ZelSim_Attach(0, "timing=free"), 1);
  char clip[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof clip, clip), 0u);
  lstrcatA(clip, "zelcnv-unload.avi");
  for (int round = 0; round < 20; ++round) {
    HMODULE library = LoadLibraryA("ZelCnvSdk.dll");
    ASSERT_NE(library, nullptr);
    auto initialize = Export<InitializeFn>(library, "ZelCam_Initialize");
    auto start = Export<HandleFn>(library, "ZelCam_StartPreview");
    auto record = Export<RecordFn>(library, "ZelCam_Record");
    auto release = Export<HandleFn>(library, "ZelCam_Release");
    ASSERT_TRUE(initialize && start && record && release);
    const int handle = initialize(nullptr);
    ASSERT_NE(handle, 0);
    // The preview and transfer threads, and on odd rounds the recorder's too.
    ASSERT_EQ(start(handle), 1);
    if (round % 2 != 0) {
      ASSERT_EQ(record(handle, clip, 60000, 0), 1);
    }
    ASSERT_EQ(release(handle), 1);
    ASSERT_TRUE(FreeLibrary(library));
  }
  DeleteFileA(clip);
  ASSERT_EQ(ZelSim_Detach(0), 1);
}

}  // namespace
