// The preview window seam, held to the same results on every platform: classes, window sizes,
// visibility, and drawing through the window's device context.
#include <gtest/gtest.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/preview_window.h"
#include "platform/surface.h"
#include "test_surface.h"

namespace zelcnv::platform {
namespace {

constexpr char kClass[] = "ZelCnvPreviewSeamTest";

class PreviewWindowSeamTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RegisterPreviewClass(kClass)); }
  void TearDown() override {
    if (window_ != nullptr) DestroyPreviewWindow(window_);
    UnregisterPreviewClass(kClass);
  }
  void* window_ = nullptr;
};

TEST_F(PreviewWindowSeamTest, ClassesAreRegisteredOnceAndWindowsNeedOne) {
  EXPECT_FALSE(RegisterPreviewClass(kClass)) << "registered already";
  WindowSpec spec{"ZelCnvNoSuchClass", "t", kOwnWindowStyle, 0, 0, 100, 80, nullptr, 0};
  EXPECT_EQ(CreatePreviewWindow(spec), nullptr);
  UnregisterPreviewClass("ZelCnvNoSuchClass");  // harmless
}

TEST_F(PreviewWindowSeamTest, OwnWindowHasTheClientAreaItWasSizedFor) {
  int32_t rect[4] = {0, 0, 160, 120};
  ASSERT_TRUE(AdjustWindowRectangle(rect, kOwnWindowStyle));
  EXPECT_LE(rect[0], 0);
  EXPECT_GE(rect[2], 160);
  WindowSpec spec{kClass,  "seam", kOwnWindowStyle, 20, 20, rect[2] - rect[0], rect[3] - rect[1],
                  nullptr, 0};
  window_ = CreatePreviewWindow(spec);
  ASSERT_NE(window_, nullptr);
  EXPECT_TRUE(ShowPreviewWindow(window_));
  EXPECT_TRUE(IsWindowShown(window_));
  int32_t width = 0, height = 0;
  ASSERT_TRUE(GetClientSize(window_, &width, &height));
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 120);
  int32_t screenWidth = 0, screenHeight = 0;
  ScreenSize(&screenWidth, &screenHeight);
  EXPECT_GT(screenWidth, 160);
  EXPECT_GT(screenHeight, 120);

  DestroyPreviewWindow(window_);
  EXPECT_FALSE(GetClientSize(window_, &width, &height));
  EXPECT_EQ(width, 0);
  EXPECT_FALSE(IsWindowShown(window_));
  window_ = nullptr;
}

TEST_F(PreviewWindowSeamTest, WhatIsDrawnIntoTheWindowIsThere) {
  int32_t rect[4] = {0, 0, 64, 48};
  ASSERT_TRUE(AdjustWindowRectangle(rect, kOwnWindowStyle));
  WindowSpec spec{kClass,  "draw", kOwnWindowStyle, 40, 40, rect[2] - rect[0], rect[3] - rect[1],
                  nullptr, 0};
  window_ = CreatePreviewWindow(spec);
  ASSERT_NE(window_, nullptr);
  ASSERT_TRUE(ShowPreviewWindow(window_));
  SurfaceDc* dc = GetWindowDc(window_);
  ASSERT_NE(dc, nullptr);

  Surface source(64, 48, 24), readBack(64, 48, 24);
  ASSERT_TRUE(source.Ready() && readBack.Ready());
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = source.At(x, y);
      p[0] = static_cast<uint8_t>(4 * x);
      p[1] = static_cast<uint8_t>(5 * y);
      p[2] = static_cast<uint8_t>(x ^ y);
    }
  }
  ASSERT_TRUE(BlitSurface(dc, 0, 0, 64, 48, source.Dc(), 0, 0));
  ASSERT_TRUE(BlitSurface(readBack.Dc(), 0, 0, 64, 48, dc, 0, 0));
  for (int y : {0, 17, 47}) {
    for (int x : {0, 31, 63}) {
      EXPECT_EQ(std::memcmp(readBack.At(x, y), source.At(x, y), 3), 0) << "at " << x << ", " << y;
    }
  }
  ReleaseWindowDc(window_, dc);
}

// Drawing is for windows someone can see: shown and not minimised on Windows; never the POSIX
// windows, which no screen shows.
TEST_F(PreviewWindowSeamTest, OnlyAWindowOnAScreenIsOnScreen) {
  WindowSpec spec{kClass, "screen", kOwnWindowStyle, 30, 30, 120, 90, nullptr, 0};
  window_ = CreatePreviewWindow(spec);
  ASSERT_NE(window_, nullptr);
  ASSERT_TRUE(ShowPreviewWindow(window_));
  ASSERT_TRUE(IsWindowShown(window_));
#ifdef _WIN32
  EXPECT_TRUE(IsWindowOnScreen(window_));
  WindowSpec childSpec{kClass, "child", kChildWindowStyle, 0, 0, 60, 40, window_, 1};
  void* child = CreatePreviewWindow(childSpec);
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(IsWindowOnScreen(child));
  ShowWindow(static_cast<HWND>(window_), SW_MINIMIZE);
  EXPECT_FALSE(IsWindowOnScreen(window_)) << "minimised";
  EXPECT_FALSE(IsWindowOnScreen(child)) << "inside a minimised window";
  ShowWindow(static_cast<HWND>(window_), SW_RESTORE);
  EXPECT_TRUE(IsWindowOnScreen(child));
  ShowWindow(static_cast<HWND>(window_), SW_HIDE);
  EXPECT_FALSE(IsWindowOnScreen(child)) << "inside a hidden window";
  DestroyPreviewWindow(child);
#else
  EXPECT_FALSE(IsWindowOnScreen(window_));
#endif
  DestroyPreviewWindow(window_);
  EXPECT_FALSE(IsWindowOnScreen(window_)) << "destroyed";
  window_ = nullptr;
}

}  // namespace
}  // namespace zelcnv::platform
