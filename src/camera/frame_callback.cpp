// The frame callback: the application's buffer and window, the frame records and the rate.
#include "camera/frame_callback.h"

#include "platform/clock.h"
#include "platform/window_messages.h"

namespace zelcnv::camera {

namespace {

constexpr uint32_t kRateWindowMs = 1000;

}  // namespace

FrameRateMeter::FrameRateMeter() : windowStart_(platform::MultimediaTimeMs()) {}

int32_t FrameRateMeter::Count() {
  ++frames_;
  const uint32_t now = platform::MultimediaTimeMs();
  const uint32_t elapsed = now - windowStart_;
  if (elapsed > kRateWindowMs) {
    tenths_ =
        static_cast<int32_t>(static_cast<double>(frames_) * 10000.0 / static_cast<double>(elapsed));
    frames_ = 0;
    windowStart_ = now;
  }
  return tenths_;
}

FrameCallback::FrameCallback() : records_(AcquireFrameRecords()) {
  if (records_ == nullptr) return;
  for (int i = 0; i < kFrameRecords; ++i) records_[i] = {sizeof(FrameInfo), 0, 0, 0, 0, nullptr};
}

FrameCallback::~FrameCallback() {
  // Notifications still queued may point at the records: they are only handed back.
  ReturnFrameRecords(records_);
}

void FrameCallback::Set(WindowHandle window, void* buffer, int32_t size, int32_t topDown) {
  const std::lock_guard lock(mutex_);
  window_.store(window);
  buffer_.store(buffer);
  size_.store(size);
  topDown_.store(topDown);
}

uint8_t* FrameCallback::BufferFor(int64_t needed) const {
  void* const buffer = buffer_.load();
  const int32_t size = size_.load();
  if (buffer == nullptr || size == 0 || size < needed) return nullptr;
  return static_cast<uint8_t*>(buffer);
}

void FrameCallback::Post(uintptr_t wParam, intptr_t lParam) const {
  if (WindowHandle window = window_.load()) {
    platform::PostWindowMessage(window, kMsgFrameNotify, wParam, lParam);
  }
}

void FrameCallback::Announce(int32_t width, int32_t height, int32_t bitsPerPixel) {
  FrameInfo* record = &records_[next_];
  next_ = (next_ + 1) % kFrameRecords;
  *record = {sizeof(FrameInfo), width, height, bitsPerPixel, rate_.Count(), buffer_.load()};
  Post(reinterpret_cast<uintptr_t>(record), 0);
}

}  // namespace zelcnv::camera
