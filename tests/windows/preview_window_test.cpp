// The preview window as a Windows application sees it: a child of its window or a captioned
// window of its own, the frames drawn into it 1:1 or scaled to its client area, and gone after
// ZelCam_Close. Runs against the DLL and the simulator's driver, under Xvfb.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"

namespace {

constexpr int kPreviewControlId = 6540;
constexpr DWORD kMessageWaitMs = 20000;

HWND CreateTopWindow(const char* title, DWORD style, int width, int height) {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZelCnvWindowTest";
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExA(0, "ZelCnvWindowTest", title, style, 0, 0, width, height, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// Pumps the thread's messages until `window` receives MSG_FRAME_NOTIFY; its lParam, or -1.
intptr_t WaitFrameNotify(HWND window) {
  const DWORD deadline = GetTickCount() + kMessageWaitMs;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == window && msg.message == MSG_FRAME_NOTIFY) return msg.lParam;
      DispatchMessageA(&msg);
    }
    const DWORD now = GetTickCount();
    if (static_cast<int32_t>(deadline - now) <= 0) return -1;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, deadline - now, QS_ALLINPUT);
  }
}

class PreviewWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
    ASSERT_EQ(ZelSim_Attach(0, "timing=manual input0=ramp"), 1);
    notify_ = CreateTopWindow("notifications", WS_OVERLAPPED, 10, 10);
    handle_ = ZelCam_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    ASSERT_EQ(ZelCam_SetColorMode(handle_, 24), 1);
    ASSERT_EQ(ZelCam_SetWaitTime(handle_, 1), 1);
    width_ = ZelCam_Width(handle_);
    height_ = ZelCam_Height(handle_);
    stride_ = (width_ * 3 + 3) / 4 * 4;
    buffer_.assign(static_cast<size_t>(stride_) * height_, 0);
  }

  void TearDown() override {
    // A manual converter holds the transfer in flight: run freely so that the stop completes.
    ZelSim_Configure(0, "timing=free");
    if (handle_ != 0) ZelCam_Release(handle_);
    if (notify_ != nullptr) DestroyWindow(notify_);
    ZelSim_Detach(0);
  }

  int StartWithBuffer() {
    return ZelCam_CallBackPreview(handle_, notify_, buffer_.data(),
                                  static_cast<int>(buffer_.size()), 1);
  }

  // Closes the preview; the converter runs freely first, as a stop waits for the transfer in
  // flight and manual timing would hold it.
  int Close() {
    EXPECT_EQ(ZelSim_Configure(0, "timing=free"), 1);
    return ZelCam_Close(handle_);
  }

  // One more frame: drawn, copied into the buffer and announced.
  void NextFrame() {
    ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    ASSERT_EQ(WaitFrameNotify(notify_), 0);
  }

  // The frame's pixel at (x, y) of the picture (top row first), as a GDI colour.
  COLORREF FramePixel(int x, int y) const {
    const uint8_t* p = &buffer_[static_cast<size_t>(y) * stride_ + static_cast<size_t>(x) * 3];
    return RGB(p[2], p[1], p[0]);
  }

  int handle_ = 0;
  HWND notify_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  std::vector<uint8_t> buffer_;
};

TEST_F(PreviewWindowTest, OwnWindowShowsEachFrameOneToOneAndScaledAfterAResize) {
  ASSERT_EQ(StartWithBuffer(), 1);
  HWND own = FindWindowA(nullptr, "Active Window");
  ASSERT_NE(own, nullptr);
  char className[64] = {};
  GetClassNameA(own, className, sizeof(className));
  EXPECT_EQ(std::string(className).rfind("VideoRenderer_", 0), 0u) << className;
  EXPECT_TRUE(IsWindowVisible(own));
  RECT client{};
  ASSERT_TRUE(GetClientRect(own, &client));
  EXPECT_EQ(client.right, width_);
  EXPECT_EQ(client.bottom, height_);

  NextFrame();
  HDC dc = GetDC(own);
  for (int y : {0, 1, height_ / 2, height_ - 1}) {
    for (int x : {0, 3, width_ / 2 + 1, width_ - 1}) {
      EXPECT_EQ(GetPixel(dc, x, y), FramePixel(x, y)) << "at " << x << ", " << y;
    }
  }

  // Half the size: every shown pixel is one of the 2 x 2 frame pixels it stands for.
  RECT frame{0, 0, width_ / 2, height_ / 2};
  AdjustWindowRectEx(&frame, GetWindowLongA(own, GWL_STYLE), FALSE, 0);
  ASSERT_TRUE(SetWindowPos(own, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                           SWP_NOMOVE | SWP_NOZORDER));
  ASSERT_TRUE(GetClientRect(own, &client));
  ASSERT_EQ(client.right, width_ / 2);
  NextFrame();
  for (int y : {0, height_ / 4, height_ / 2 - 1}) {
    for (int x : {0, width_ / 4 + 1, width_ / 2 - 1}) {
      const COLORREF shown = GetPixel(dc, x, y);
      bool found = false;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) found = found || shown == FramePixel(2 * x + dx, 2 * y + dy);
      }
      EXPECT_TRUE(found) << "at " << x << ", " << y;
    }
  }
  ReleaseDC(own, dc);

  EXPECT_EQ(Close(), 1);
  EXPECT_FALSE(IsWindow(own));
  EXPECT_EQ(FindWindowA(nullptr, "Active Window"), nullptr);
}

TEST_F(PreviewWindowTest, EveryColourModeShowsThePicture) {
  // Colour bars look the same in every frame: what mode 24 shows, every colour mode shows; mode
  // 8 shows the luma as grey.
  ASSERT_EQ(ZelSim_Configure(0, "input0=bars"), 1);
  const int points[][2] = {{5, 5},
                           {width_ / 8, height_ / 2},
                           {width_ / 2, height_ / 3},
                           {width_ * 5 / 8, height_ / 2},
                           {width_ - 6, height_ - 6}};
  std::vector<COLORREF> colours;
  for (int bits : {24, 16, 32, 48, 64, 8}) {
    SCOPED_TRACE(bits);
    ASSERT_EQ(ZelCam_SetColorMode(handle_, bits), 1);
    const int stride = (width_ * bits / 8 + 3) / 4 * 4;
    buffer_.assign(static_cast<size_t>(stride) * height_, 0);
    ASSERT_EQ(StartWithBuffer(), 1);
    NextFrame();
    HWND own = FindWindowA(nullptr, "Active Window");
    ASSERT_NE(own, nullptr);
    HDC dc = GetDC(own);
    for (size_t i = 0; i < std::size(points); ++i) {
      const int x = points[i][0], y = points[i][1];
      const COLORREF shown = GetPixel(dc, x, y);
      if (bits == 24) {
        EXPECT_EQ(shown, FramePixel(x, y)) << "at " << x << ", " << y;
        colours.push_back(shown);
      } else if (bits == 8) {
        const uint8_t luma = buffer_[static_cast<size_t>(y) * stride + x];
        EXPECT_EQ(shown, RGB(luma, luma, luma)) << "at " << x << ", " << y;
      } else {
        EXPECT_EQ(shown, colours[i]) << "at " << x << ", " << y;
      }
    }
    ReleaseDC(own, dc);
    EXPECT_EQ(Close(), 1);
    ASSERT_EQ(ZelSim_Configure(0, "timing=manual"), 1);
  }
  EXPECT_GT(std::set<COLORREF>(colours.begin(), colours.end()).size(), 3u) << "colour bars";
}

TEST_F(PreviewWindowTest, ChildWindowTakesThePlaceAndSizeGiven) {
  HWND parent = CreateTopWindow("parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 800, 600);
  ASSERT_NE(parent, nullptr);
  ASSERT_EQ(ZelCam_SetPreviewWindow(handle_, parent, 10, 20, 320, 240), 1);
  ASSERT_EQ(StartWithBuffer(), 1);
  HWND child = GetDlgItem(parent, kPreviewControlId);
  ASSERT_NE(child, nullptr);
  char title[64] = {};
  GetWindowTextA(child, title, sizeof(title));
  EXPECT_STREQ(title, "ActiveMovie Window");
  RECT placed{};
  GetWindowRect(child, &placed);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 320);
  EXPECT_EQ(placed.bottom - placed.top, 240);

  NextFrame();
  HDC dc = GetDC(child);
  const COLORREF shown = GetPixel(dc, 160, 120);
  ReleaseDC(child, dc);
  EXPECT_NE(shown, RGB(0, 0, 0)) << "the ramp is drawn over the black background";

  EXPECT_EQ(Close(), 1);
  EXPECT_EQ(GetDlgItem(parent, kPreviewControlId), nullptr);
  DestroyWindow(parent);
}

// A window nobody can see costs no drawing, yet every frame still reaches the buffer; once shown,
// the next frame is drawn.
TEST_F(PreviewWindowTest, AHiddenWindowStillGetsEveryFrameAndIsDrawnOnceShown) {
  HWND parent = CreateTopWindow("hidden parent", WS_OVERLAPPEDWINDOW, 800, 600);
  ASSERT_NE(parent, nullptr);
  ASSERT_EQ(ZelCam_SetPreviewWindow(handle_, parent, 0, 0, width_, height_), 1);
  ASSERT_EQ(StartWithBuffer(), 1);
  HWND child = GetDlgItem(parent, kPreviewControlId);
  ASSERT_NE(child, nullptr);
  EXPECT_FALSE(IsWindowVisible(child));
  const int x = width_ / 2, y = height_ / 2;
  for (int i = 0; i < 2; ++i) {
    std::fill(buffer_.begin(), buffer_.end(), uint8_t{0});
    NextFrame();
    EXPECT_NE(FramePixel(x, y), RGB(0, 0, 0)) << "frame " << i << " reached the buffer";
  }
  ShowWindow(parent, SW_SHOW);
  RedrawWindow(parent, nullptr, nullptr,
               RDW_ERASE | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  NextFrame();
  HDC dc = GetDC(child);
  EXPECT_EQ(GetPixel(dc, x, y), FramePixel(x, y));
  ReleaseDC(child, dc);
  EXPECT_EQ(Close(), 1);
  DestroyWindow(parent);
}

}  // namespace
