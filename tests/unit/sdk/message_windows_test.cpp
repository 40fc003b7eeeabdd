// Message queues standing in for windows: order, bounds, and destroyed windows.
#include <gtest/gtest.h>

#include <thread>

#include "platform/posix/message_windows.h"
#include "platform/window_messages.h"

namespace zelcnv::platform {
namespace {

constexpr uint32_t kFrame = 0x8002;
constexpr uint32_t kError = 0x8003;

TEST(MessageWindowsTest, MessagesArriveInOrderWithTheirParameters) {
  void* window = CreateMessageWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(PostWindowMessage(window, kError, 0, 9));
  EXPECT_TRUE(PostWindowMessage(window, kFrame, 0x1234, 0));
  QueuedMessage message{};
  ASSERT_EQ(GetWindowMessage(window, &message, 0), 1);
  EXPECT_EQ(message.window, window);
  EXPECT_EQ(message.message, kError);
  EXPECT_EQ(message.lParam, 9);
  ASSERT_EQ(GetWindowMessage(window, &message, 0), 1);
  EXPECT_EQ(message.wParam, 0x1234u);
  EXPECT_EQ(GetWindowMessage(window, &message, 0), 0) << "empty: time-out";
  EXPECT_EQ(DestroyMessageWindow(window), 1);
}

TEST(MessageWindowsTest, UnknownAndDestroyedWindowsAreHarmless) {
  QueuedMessage message{};
  EXPECT_FALSE(PostWindowMessage(nullptr, kError, 0, 1));
  EXPECT_FALSE(PostWindowMessage(reinterpret_cast<void*>(0x42), kError, 0, 1));
  EXPECT_EQ(GetWindowMessage(reinterpret_cast<void*>(0x42), &message, 0), -1);
  void* window = CreateMessageWindow();
  EXPECT_EQ(DestroyMessageWindow(window), 1);
  EXPECT_EQ(DestroyMessageWindow(window), 0);
  EXPECT_FALSE(PostWindowMessage(window, kError, 0, 1));
  EXPECT_EQ(GetWindowMessage(window, &message, 0), -1);
}

TEST(MessageWindowsTest, AReaderWaitsForAPostAndIsReleasedByDestroy) {
  void* window = CreateMessageWindow();
  std::thread poster([window] { PostWindowMessage(window, kError, 0, 5); });
  QueuedMessage message{};
  EXPECT_EQ(GetWindowMessage(window, &message, -1), 1);
  EXPECT_EQ(message.lParam, 5);
  poster.join();
  std::thread destroyer([window] { DestroyMessageWindow(window); });
  EXPECT_EQ(GetWindowMessage(window, &message, -1), -1);
  destroyer.join();
}

TEST(MessageWindowsTest, AnUnreadQueueDropsOldFramesButKeepsErrors) {
  void* window = CreateMessageWindow();
  PostWindowMessage(window, kError, 0, 1);
  for (uintptr_t i = 0; i < 5000; ++i) PostWindowMessage(window, kFrame, i, 0);
  PostWindowMessage(window, kError, 0, 2);
  EXPECT_EQ(PendingWindowMessages(window), kMessageQueueCapacity);
  QueuedMessage message{};
  ASSERT_EQ(GetWindowMessage(window, &message, 0), 1);
  EXPECT_EQ(message.lParam, 1) << "the first error survived";
  ASSERT_EQ(GetWindowMessage(window, &message, 0), 1);
  EXPECT_EQ(message.message, kFrame);
  EXPECT_EQ(message.wParam, 5000u - (kMessageQueueCapacity - 2)) << "only the newest frames";
  int errors = 0;
  while (GetWindowMessage(window, &message, 0) == 1) errors += message.message == kError;
  EXPECT_EQ(errors, 1);

  // Errors alone are kept beyond the capacity, up to the hard limit.
  for (int i = 0; i < kMessageQueueHardLimit + 10; ++i) PostWindowMessage(window, kError, 0, i);
  EXPECT_EQ(PendingWindowMessages(window), kMessageQueueHardLimit);
  EXPECT_FALSE(PostWindowMessage(window, kFrame, 0, 0)) << "a frame cannot displace an error";
  DestroyMessageWindow(window);
}

}  // namespace
}  // namespace zelcnv::platform
