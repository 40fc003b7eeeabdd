// Where a stream's frames go besides the preview window: the application's buffer (top row first
// or last), the window that is told of each frame, and the records those notifications point at.
// The application's thread changes the fields; the preview thread holds them still from reading
// them until the frame is copied and announced, so that once a change has returned nothing more
// lands in the buffer it withdrew.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "camera/error_stack.h"
#include "camera/frame_record.h"

namespace zelcnv::camera {

// Frames per second in tenths, over windows of a second: the figure each frame record carries.
class FrameRateMeter {
 public:
  FrameRateMeter();
  // Counts a frame; the rate of the last whole window.
  int32_t Count();

 private:
  int32_t tenths_ = 0;
  int32_t frames_ = 0;
  uint32_t windowStart_;
};

class FrameCallback {
 public:
  FrameCallback();
  ~FrameCallback();
  FrameCallback(const FrameCallback&) = delete;
  FrameCallback& operator=(const FrameCallback&) = delete;

  // False when the records could not be had (out of memory): no stream can announce frames.
  bool Ready() const { return records_ != nullptr; }

  // Application's thread: waits for a frame being copied into the old buffer.
  void Set(WindowHandle window, void* buffer, int32_t size, int32_t topDown);

  // Preview thread: the fields hold still while the returned lock lives.
  [[nodiscard]] std::unique_lock<std::mutex> Hold() { return std::unique_lock(mutex_); }
  void* Buffer() const { return buffer_.load(); }
  int32_t BufferSize() const { return size_.load(); }
  bool TopDown() const { return topDown_.load() != 0; }
  // The buffer when it holds `needed` bytes, else null.
  uint8_t* BufferFor(int64_t needed) const;

  // Posts a frame notification to the window, if there is one.
  void Post(uintptr_t wParam, intptr_t lParam) const;
  // Fills the next record in turn (those of the last few notifications stay as they are for an
  // application still reading them) and announces the frame with it.
  void Announce(int32_t width, int32_t height, int32_t bitsPerPixel);

 private:
  std::mutex mutex_;
  std::atomic<WindowHandle> window_{nullptr};
  std::atomic<void*> buffer_{nullptr};
  std::atomic<int32_t> size_{0};
  std::atomic<int32_t> topDown_{0};
  // kFrameRecords records that outlive this object (frame_record.h); null only when memory ran
  // out.
  FrameInfo* const records_;
  int next_ = 0;         // preview thread
  FrameRateMeter rate_;  // preview thread
};

}  // namespace zelcnv::camera
