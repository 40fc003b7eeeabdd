// Checks of the public header as C++ sees it, compared with the C view from header_check.c.
#include "ZelCnvSdk.h"

#include "header_check.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace {

template <typename A>
constexpr bool kIsWord = std::is_same_v<A, int> || std::is_pointer_v<A>;

// The x86 DLL passes and returns only 32-bit values: every result is an int and every argument
// an int or a pointer (window handles included). Only plain cdecl function types match the
// specialisation, so an export with another calling convention on x86 does not compile.
template <typename F>
struct ExportShape;

template <typename R, typename... A>
struct ExportShape<R (*)(A...)> {
  static constexpr bool kWords = std::is_same_v<R, int> && (kIsWord<A> && ...) &&
                                 (sizeof(void*) != 4 || ((sizeof(A) == 4) && ...));
  static constexpr bool HandleFirst() {
    if constexpr (sizeof...(A) == 0) {
      return false;
    } else {
      return std::is_same_v<std::tuple_element_t<0, std::tuple<A...>>, int>;
    }
  }
};

// Every export takes the handle first except the two that create it or need none.
constexpr bool TakesNoHandle(std::string_view name) {
  return name == "ZelCam_GetDllVersion" || name == "ZelCam_Initialize";
}
static_assert(std::is_same_v<decltype(&ZelCam_GetDllVersion), int (*)()>);
static_assert(std::is_same_v<decltype(&ZelCam_Initialize), int (*)(HWND)>);

#define CHECK_EXPORT(name)                                                                         \
  static_assert(ExportShape<decltype(&name)>::kWords, #name " must take and return 32-bit words"); \
  static_assert(TakesNoHandle(#name) || ExportShape<decltype(&name)>::HandleFirst(),               \
                #name " must take the handle first");
#define CHECK_FILTER_PAIR(Name, ID, id)                                          \
  static_assert(std::is_same_v<decltype(&ZelCam_Set##Name), int (*)(int, int)>,  \
                "ZelCam_Set" #Name " takes (handle, value)");                    \
  static_assert(std::is_same_v<decltype(&ZelCam_Get##Name), int (*)(int, int*)>, \
                "ZelCam_Get" #Name " takes (handle, valid)");

ZELCNV_OWN_EXPORTS(CHECK_EXPORT)
ZELCNV_UNSUPPORTED_EXPORTS(CHECK_EXPORT)
ZELCNV_FILTER_PAIRS(CHECK_FILTER_PAIR)

#define NAME_STRING(name) #name,
#define FILTER_PAIR_NAMES(Name, ID, id) "ZelCam_Set" #Name, "ZelCam_Get" #Name,

const char* const kOwnNames[] = {ZELCNV_OWN_EXPORTS(NAME_STRING)};
const char* const kFilterNames[] = {ZELCNV_FILTER_PAIRS(FILTER_PAIR_NAMES)};
const char* const kUnsupportedNames[] = {ZELCNV_UNSUPPORTED_EXPORTS(NAME_STRING)};

ZelCnvHeaderView CxxView() {
  ZelCnvHeaderView view{};
  view.wcharSize = sizeof(ZelCnvWChar);
  view.hwndSize = sizeof(HWND);
  view.frameInfoSize = sizeof(FrameInfo);
  view.frameInfoOffsets[0] = offsetof(FrameInfo, size);
  view.frameInfoOffsets[1] = offsetof(FrameInfo, width);
  view.frameInfoOffsets[2] = offsetof(FrameInfo, height);
  view.frameInfoOffsets[3] = offsetof(FrameInfo, bitsPerPixel);
  view.frameInfoOffsets[4] = offsetof(FrameInfo, frameRate);
  view.frameInfoOffsets[5] = offsetof(FrameInfo, buffer);
  view.cameraInfoSize = sizeof(CameraInfo);
  view.deviceListBytes = sizeof(char[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]);
  view.wideDeviceListBytes =
      sizeof(ZelCnvWChar[ZELCNV_DEVICE_LIST_ENTRIES][ZELCNV_DEVICE_NAME_CHARS]);
  view.ownExports = static_cast<int>(std::size(kOwnNames));
  view.filterExports = static_cast<int>(std::size(kFilterNames));
  view.unsupportedExports = static_cast<int>(std::size(kUnsupportedNames));
  return view;
}

TEST(HeaderExports, Declares116DistinctExportsInTheThreeGroups) {
  ZelCnvHeaderView c{};
  zelcnv_header_c_view(&c);
  const ZelCnvHeaderView cxx = CxxView();

  EXPECT_EQ(cxx.ownExports, 47);
  EXPECT_EQ(cxx.filterExports, 36);
  EXPECT_EQ(cxx.unsupportedExports, 33);
  EXPECT_EQ(c.ownExports, cxx.ownExports);
  EXPECT_EQ(c.filterExports, cxx.filterExports);
  EXPECT_EQ(c.unsupportedExports, cxx.unsupportedExports);

  std::set<std::string> names;
  for (const char* name : kOwnNames) names.insert(name);
  for (const char* name : kFilterNames) names.insert(name);
  for (const char* name : kUnsupportedNames) names.insert(name);
  EXPECT_EQ(names.size(), 116u) << "an export is listed twice";
  for (const std::string& name : names) EXPECT_EQ(name.rfind("ZelCam_", 0), 0u) << name;
}

TEST(HeaderLayout, CAndCxxSeeTheSameRecordsAndBuffers) {
  ZelCnvHeaderView c{};
  zelcnv_header_c_view(&c);
  const ZelCnvHeaderView cxx = CxxView();

  EXPECT_EQ(c.wcharSize, 2u);
  EXPECT_EQ(cxx.wcharSize, 2u);
  EXPECT_EQ(c.hwndSize, cxx.hwndSize);

  const bool x86 = sizeof(void*) == 4;
  EXPECT_EQ(cxx.frameInfoSize, x86 ? 24u : 32u);
  EXPECT_EQ(c.frameInfoSize, cxx.frameInfoSize);
  const std::size_t expected[6] = {0, 4, 8, 12, 16, x86 ? 20u : 24u};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(cxx.frameInfoOffsets[i], expected[i]) << "FrameInfo field " << i;
    EXPECT_EQ(c.frameInfoOffsets[i], expected[i]) << "FrameInfo field " << i;
  }

  EXPECT_EQ(cxx.cameraInfoSize, 36u);
  EXPECT_EQ(c.cameraInfoSize, 36u);
  EXPECT_EQ(cxx.cameraInfoSize, static_cast<std::size_t>(ZELCNV_CAMERA_INFO_SIZE));

  EXPECT_EQ(cxx.deviceListBytes, 2560u);
  EXPECT_EQ(c.deviceListBytes, 2560u);
  EXPECT_EQ(cxx.wideDeviceListBytes, 5120u);
  EXPECT_EQ(c.wideDeviceListBytes, 5120u);
}

TEST(HeaderConstants, FrameSizeMacrosPadRowsToFourBytes) {
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(640, 24), 1920);
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(858, 24), 2576);  // 2574 padded
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(641, 8), 644);
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(1, 8), 4);
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(3, 16), 8);
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(5, 48), 32);
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(720, 64), 5760);

  // Expressions as arguments keep their meaning.
  const int width = 640;
  EXPECT_EQ(ZELCNV_FRAME_STRIDE(width + 1, 16 + 8), 1924);
  EXPECT_EQ(ZELCNV_FRAME_BYTES(width, 480, 24), 921600);
  EXPECT_EQ(ZELCNV_FRAME_BYTES(width + 1, 240 * 2, 8), 644 * 480);
}

}  // namespace
