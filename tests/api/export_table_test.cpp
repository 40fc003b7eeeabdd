// The export table as a whole, through the library's own symbol table: every one of the 116
// exports and the extension interface's six, called with an unknown handle through a cdecl pointer
// with more arguments than it takes, answers with its failure value, writes through none of its
// pointer arguments, and (on 32-bit x86) leaves the stack pointer where the caller put it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ZelCnvSdk.h"
#include "support/api_test_support.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zelcnv::apitest {
namespace {

// An export's name, its arguments (h: the handle, w: a window, p: a pointer, i: an integer) and
// what it answers for a handle it does not know.
struct Export {
  const char* name;
  const char* arguments;
  int failure;
};

constexpr Export kExports[] = {
    {"ZelCam_GetDllVersion", "", 0},
    {"ZelCam_Initialize", "w", 0},
    {"ZelCam_Release", "h", 0},
    {"ZelCam_GetLastError", "h", 0},
    {"ZelCam_SetColorMode", "hi", 0},
    {"ZelCam_GetColorMode", "h", -1},
    {"ZelCam_SetSamplingRate", "hi", 0},
    {"ZelCam_GetSamplingRate", "hp", 0},
    {"ZelCam_SetWaitTime", "hi", 0},
    {"ZelCam_GetWaitTime", "h", -1},
    {"ZelCam_Width", "h", 0},
    {"ZelCam_Height", "h", 0},
    {"ZelCam_SetCameraDlg", "hw", 0},
    {"ZelCam_SetImageDlg", "hw", 0},
    {"ZelCam_StartPreview", "h", 0},
    {"ZelCam_StopPreview", "h", 0},
    {"ZelCam_Preview", "h", 0},
    {"ZelCam_CallBackPreview", "hwpii", 0},
    {"ZelCam_Record", "hpii", 0},
    {"ZelCam_RecordW", "hpii", 0},
    {"ZelCam_Capture", "h", 0},
    {"ZelCam_SnapShot", "hpii", 0},
    {"ZelCam_GetImage", "hpii", 0},
    {"ZelCam_SaveImage", "hpi", 0},
    {"ZelCam_SaveImageW", "hpi", 0},
    {"ZelCam_SetPreviewWindow", "hwiiii", 0},
    {"ZelCam_Close", "h", 0},
    {"ZelCam_SetDeviceNumber", "hi", 0},
    {"ZelCam_EnumDevice", "hp", 0},
    {"ZelCam_EnumDeviceW", "hp", 0},
    {"ZelCam_GetDeviceName", "hipi", 0},
    {"ZelCam_GetDeviceNameW", "hipi", 0},
    {"ZelCam_SetFilterValue", "hii", 0},
    {"ZelCam_GetFilterValue", "hip", 0},
    {"ZelCam_SetCrossbar", "hii", 0},
    {"ZelCam_WriteRegister", "hii", 0},
    {"ZelCam_ReadRegister", "hip", 0},
    {"ZelCam_GetVideoFormat", "hp", 0},
    {"ZelCam_GetIOPort", "hip", 0},
    {"ZelCam_GetCameraInfo", "hp", 0},
    {"ZelCam_GetStatus", "hi", 0},
    {"ZelCam_GetSubSample", "h", -1},
    {"ZelCam_GetMirrorH", "h", 0},
    {"ZelCam_GetMirrorV", "h", 0},
    {"ZelCam_GetAutoIris", "hp", 0},
    {"ZelCam_GetHalfClock", "hp", 0},
    {"ZelCam_ReadSromID", "hip", 0},
    {"ZelCam_SetBrightness", "hi", 0},
    {"ZelCam_GetBrightness", "hp", 0},
    {"ZelCam_SetContrast", "hi", 0},
    {"ZelCam_GetContrast", "hp", 0},
    {"ZelCam_SetHue", "hi", 0},
    {"ZelCam_GetHue", "hp", 0},
    {"ZelCam_SetSaturation", "hi", 0},
    {"ZelCam_GetSaturation", "hp", 0},
    {"ZelCam_SetSharpness", "hi", 0},
    {"ZelCam_GetSharpness", "hp", 0},
    {"ZelCam_SetBayerGainRGB", "hi", 0},
    {"ZelCam_GetBayerGainRGB", "hp", 0},
    {"ZelCam_SetBayerGainRed", "hi", 0},
    {"ZelCam_GetBayerGainRed", "hp", 0},
    {"ZelCam_SetBayerGainGreen", "hi", 0},
    {"ZelCam_GetBayerGainGreen", "hp", 0},
    {"ZelCam_SetBayerGainBlue", "hi", 0},
    {"ZelCam_GetBayerGainBlue", "hp", 0},
    {"ZelCam_SetBayerGainAuto", "hi", 0},
    {"ZelCam_GetBayerGainAuto", "hp", 0},
    {"ZelCam_SetGamma", "hi", 0},
    {"ZelCam_GetGamma", "hp", 0},
    {"ZelCam_SetBayerMode", "hi", 0},
    {"ZelCam_GetBayerMode", "hp", 0},
    {"ZelCam_SetGlobalGain", "hi", 0},
    {"ZelCam_GetGlobalGain", "hp", 0},
    {"ZelCam_SetColorGainRed", "hi", 0},
    {"ZelCam_GetColorGainRed", "hp", 0},
    {"ZelCam_SetColorGainGreen1", "hi", 0},
    {"ZelCam_GetColorGainGreen1", "hp", 0},
    {"ZelCam_SetColorGainGreen2", "hi", 0},
    {"ZelCam_GetColorGainGreen2", "hp", 0},
    {"ZelCam_SetColorGainBlue", "hi", 0},
    {"ZelCam_GetColorGainBlue", "hp", 0},
    {"ZelCam_SetExposureTime", "hi", 0},
    {"ZelCam_GetExposureTime", "hp", 0},
    {"ZelCam_Fps", "h", 0},
    {"ZelCam_GetCaptureWindowEx", "hpppp", 0},
    {"ZelCam_GetGrayGainB", "hp", 0},
    {"ZelCam_GetGrayGainG1", "hp", 0},
    {"ZelCam_GetGrayGainG2", "hp", 0},
    {"ZelCam_GetGrayGainR", "hp", 0},
    {"ZelCam_GetGrayMode", "hp", 0},
    {"ZelCam_GetGrayOffsetB", "hp", 0},
    {"ZelCam_GetGrayOffsetG1", "hp", 0},
    {"ZelCam_GetGrayOffsetG2", "hp", 0},
    {"ZelCam_GetGrayOffsetR", "hp", 0},
    {"ZelCam_GetRealExposureTime", "hp", 0},
    {"ZelCam_SetAnalogDlg", "hw", 0},
    {"ZelCam_SetAutoIris", "hi", 0},
    {"ZelCam_SetCaptureWindow", "hiiii", 0},
    {"ZelCam_SetCaptureWindowEx", "hiiii", 0},
    {"ZelCam_SetGrayGainB", "hi", 0},
    {"ZelCam_SetGrayGainG1", "hi", 0},
    {"ZelCam_SetGrayGainG2", "hi", 0},
    {"ZelCam_SetGrayGainR", "hi", 0},
    {"ZelCam_SetGrayMode", "hi", 0},
    {"ZelCam_SetGrayOffsetB", "hi", 0},
    {"ZelCam_SetGrayOffsetG1", "hi", 0},
    {"ZelCam_SetGrayOffsetG2", "hi", 0},
    {"ZelCam_SetGrayOffsetR", "hi", 0},
    {"ZelCam_SetHalfClock", "hi", 0},
    {"ZelCam_SetIOPort", "hii", 0},
    {"ZelCam_SetMirrorH", "hi", 0},
    {"ZelCam_SetMirrorV", "hi", 0},
    {"ZelCam_SetRealExposureTime", "hi", 0},
    {"ZelCam_SetSubSample", "hi", 0},
    {"ZelCam_Trigger", "h", 0},
    {"ZelCam_WriteSromID", "hii", 0},
};
static_assert(sizeof(kExports) / sizeof(kExports[0]) == 116);

// The extension interface's, beside them (ZelCnvSdkEx.h).
constexpr Export kExtensionExports[] = {
    {"ZelCnvEx_Now", "", 0},
    {"ZelCnvEx_WaitFrame", "hpiiip", -1},
    {"ZelCnvEx_GetFrameDetails", "hp", 0},
    {"ZelCnvEx_GetStreamStats", "hp", 0},
    {"ZelCnvEx_WatchDevices", "hi", 0},
    {"ZelCnvEx_SetAutoResume", "hi", 0},
};

void* Lookup(const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ZelCnvSdk.dll"), name));
#else
  return dlsym(RTLD_DEFAULT, name);
#endif
}

constexpr int kArguments = 8;  // more than any export takes
using Word = uintptr_t;
using CdeclEntry = int (*)(Word, Word, Word, Word, Word, Word, Word, Word);

// Calls `entry` with eight arguments and reports how far the stack pointer moved across the call:
// a cdecl callee leaves it where it was; one that pops its own arguments moves it.
int Call(void* entry, const Word (&args)[kArguments], intptr_t* moved) {
#if defined(__i386__)
  int result;
  uint32_t before, after;
  const Word* list = args;
  asm volatile(
      "pushl 28(%%ebx)\n\t"
      "pushl 24(%%ebx)\n\t"
      "pushl 20(%%ebx)\n\t"
      "pushl 16(%%ebx)\n\t"
      "pushl 12(%%ebx)\n\t"
      "pushl 8(%%ebx)\n\t"
      "pushl 4(%%ebx)\n\t"
      "pushl (%%ebx)\n\t"
      "movl %%esp, %%esi\n\t"
      "call *%%edx\n\t"
      "movl %%esp, %%edi\n\t"
      "movl %%esi, %%esp\n\t"
      "addl $32, %%esp\n\t"
      : "=a"(result), "=S"(before), "=D"(after), "+d"(entry)
      : "b"(list)
      : "ecx", "memory", "cc");
  *moved = static_cast<intptr_t>(after) - static_cast<intptr_t>(before);
  return result;
#else
  *moved = 0;
  return reinterpret_cast<CdeclEntry>(entry)(args[0], args[1], args[2], args[3], args[4], args[5],
                                             args[6], args[7]);
#endif
}

TEST(ExportTable, EveryExportAnswersAnUnknownHandleWithItsFailureAndWritesNothing) {
  constexpr int kUnknownHandle = 0x7FFF1234;
  constexpr size_t kGuardBytes = 64 * 1024;  // larger than any buffer an export fills
  std::vector<std::vector<uint8_t>> guards(kArguments, std::vector<uint8_t>(kGuardBytes, 0xCC));
  for (auto& guard : guards) guard.back() = 0;  // a string read stays inside
  const std::vector<std::vector<uint8_t>> untouched = guards;
  std::vector<Export> all(std::begin(kExports), std::end(kExports));
  all.insert(all.end(), std::begin(kExtensionExports), std::end(kExtensionExports));
  for (const Export& e : all) {
    SCOPED_TRACE(e.name);
    void* entry = Lookup(e.name);
    ASSERT_NE(entry, nullptr) << "not exported";
    const std::string kinds = e.arguments;
    if (kinds.empty() || kinds[0] != 'h') continue;  // the version and Initialize take no handle
    Word args[kArguments];
    for (int i = 0; i < kArguments; ++i) {
      const char kind = i < int(kinds.size()) ? kinds[i] : 'p';  // extra arguments: pointers too
      args[i] = kind == 'h'   ? Word(kUnknownHandle)
                : kind == 'i' ? Word(1)
                : kind == 'w' ? Word(0)
                              : reinterpret_cast<Word>(guards[i].data());
    }
    intptr_t moved = 0;
    EXPECT_EQ(Call(entry, args, &moved), e.failure);
    EXPECT_EQ(moved, 0) << "the callee moved the stack pointer";
    EXPECT_TRUE(guards == untouched) << "wrote through a pointer argument";
    guards = untouched;
  }
}

#if defined(__i386__)
int __attribute__((stdcall)) PopsItsArguments(int, int) {
  return 7;
}

TEST(ExportTable, TheStackCheckSeesACalleeThatPopsItsArguments) {
  intptr_t moved = 0;
  const Word args[kArguments] = {};
  EXPECT_EQ(Call(reinterpret_cast<void*>(&PopsItsArguments), args, &moved), 7);
  EXPECT_EQ(moved, 8);
}
#endif

// The functions the converter does not support: the header's last 33, from ZelCam_Fps on.
std::vector<const Export*> UnsupportedExports() {
  std::vector<const Export*> unsupported;
  bool from = false;
  for (const Export& e : kExports) {
    from = from || std::string(e.name) == "ZelCam_Fps";
    if (from) unsupported.push_back(&e);
  }
  return unsupported;
}

using ExportTableTest = ApiTest;

TEST_F(ExportTableTest, TheUnsupportedFunctionsShareOneEntryThatReportsErrUnsupported) {
  const std::vector<const Export*> unsupported = UnsupportedExports();
  ASSERT_EQ(unsupported.size(), 33u);
  const int handle = ZelCam_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  void* const shared = Lookup(unsupported[0]->name);
  for (const Export* e : unsupported) {
    SCOPED_TRACE(e->name);
    EXPECT_EQ(Lookup(e->name), shared) << "an entry of its own";
    std::vector<uint8_t> guard(4096, 0xCC);
    Word args[kArguments];
    for (Word& arg : args) arg = reinterpret_cast<Word>(guard.data());
    args[0] = Word(handle);
    intptr_t moved = 0;
    EXPECT_EQ(Call(Lookup(e->name), args, &moved), 0);
    EXPECT_EQ(ZelCam_GetLastError(handle), ERR_UNSUPPORTED);
    EXPECT_EQ(guard, std::vector<uint8_t>(4096, 0xCC));
  }
  ZelCam_Release(handle);
}

TEST(ExportTable, TheVersionIsAnsweredWithoutAHandle) {
  intptr_t moved = 0;
  const Word args[kArguments] = {};
  EXPECT_EQ(Call(Lookup("ZelCam_GetDllVersion"), args, &moved), 263444);
  EXPECT_EQ(moved, 0);
}

}  // namespace
}  // namespace zelcnv::apitest
