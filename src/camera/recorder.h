// A handle's recorder: the AVI file, the 24-bit frame the preview thread hands over, and the
// recorder thread that appends it. The preview thread offers every frame it converts; the
// recorder takes one whenever it has written the last, so frames in between are dropped, and it
// finishes the file with the first frame after its time (or when it is stopped).
#pragma once

#include <atomic>
#include <cstdint>

#include "camera/colour_modes.h"
#include "camera/error_stack.h"
#include "imaging/avi_recorder.h"
#include "imaging/frame_bitmap.h"
#include "platform/worker.h"

namespace zelcnv::camera {

// The file's 24-bit frame of an output picture, in one pass with the rows kept in order (both
// bottom row first). A copy is refused only where a picture has no pixels; `frame` then stays as
// it was.
void MakeRecordingFrame(const imaging::FrameBitmap& output, RecordConversion conversion,
                        imaging::FrameBitmap* frame);

class Recorder {
 public:
  enum class StartResult { kStarted, kFileFailed, kNoMemory, kThreadFailed };

  explicit Recorder(ErrorStack& errors) : errors_(errors) {}
  ~Recorder() { Stop(); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // A recording of `durationMs` from output pictures of `width` x `height` x `bits`, into
  // `fileName`. A recorder whose recording has ended is collected first; call only when
  // !Recording().
  [[nodiscard]] StartResult Start(const char* fileName, int32_t durationMs, int32_t width,
                                  int32_t height, int bits);
  // True from Start until the recording's time has passed, a frame failed, or Stop.
  bool Recording() const { return recording_.load() != 0; }
  // Ends the recorder thread, finishing its file with the frames written so far.
  void Stop();

  // Preview thread, after each converted frame: hands `output` over as the file's 24-bit frame,
  // rows bottom row first like the output picture's, unless no recording runs or the recorder
  // has not taken the last frame yet.
  void Offer(const imaging::FrameBitmap& output, RecordConversion conversion);

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
