// A handle's recorder: the AVI file, the 24-bit frame the preview thread hands over, and the
// recorder thread that appends it. The preview thread offers every frame it converts; the
// recorder takes one whenever it has written the last, so frames in between are dropped, and it
// finishes the file with the first frame after its time (or when it is stopped).
#pragma once

#include <atomic>
#include <cstdint>

#include "camera/colour_picture.h"
#include "camera/error_stack.h"
#include "imaging/avi_recorder.h"
#include "imaging/frame_bitmap.h"
#include "platform/worker.h"

namespace zelcnv::camera {

class Recorder {
 public:
  explicit Recorder(ErrorStack& errors) : errors_(errors) {}
  ~Recorder() { Stop(); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // A recording of `durationMs` from output pictures of `width` x `height` x `bits`, into
  // `fileName`. A recorder whose recording has ended is collected first; call only when
  // !Recording().
  [[nodiscard]] Status Start(const char* fileName, int32_t durationMs, int32_t width,
                             int32_t height, int bits);
  // True from Start until the recording's time has passed, a frame failed, or Stop.
  bool Recording() const { return recording_.load() != 0; }
  // Ends the recorder thread, finishing its file with the frames written so far.
  void Stop();

  // Preview thread: whether a recording runs and the recorder has taken the last frame.
  bool WantsFrame() const { return recording_.load() != 0 && frameReady_.load() == 0; }
  // Preview thread, when WantsFrame: hands the frame over in 24-bit colour, rows bottom row first
  // as the file's.
  void Offer(ColourPicture& colour);

  // The recorder thread's processor time so far (Worker::CpuTimeNs); false when none runs.
  bool ThreadCpuNs(uint64_t* nanoseconds) const { return worker_.CpuTimeNs(nanoseconds); }

 private:
  static void ThreadEntry(void* recorder);
  void Loop();
  void Finish(uint32_t now);

  ErrorStack& errors_;
  imaging::AviRecorder avi_;
  platform::Worker worker_;
  // frameReady_ hands frame_ over: the preview thread fills it only while frameReady_ is 0 and
  // then sets it; the recorder thread clears it once the frame is written.
  std::atomic<int32_t> recording_{0};
  std::atomic<int32_t> frameReady_{0};
  uint32_t startTime_ = 0;  // recorder thread only, from the first frame on
  uint32_t endTime_ = 0;
  imaging::FrameBitmap frame_;  // the 24-bit frame
};

}  // namespace zelcnv::camera
