// A handle's preview thread with the output and colour pictures it writes and the stream's colour
// mode. The application's thread sizes the pictures, starts and stops the thread and weaves a
// snapshot while no stream runs; Loop runs on the preview thread, which alone writes the pictures
// and the frame records while a stream runs. What it uses of the camera's other parts comes by
// reference; the camera stops the thread before any of them goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "camera/colour_picture.h"
#include "camera/frame_callback.h"
#include "camera/frame_tap.h"
#include "camera/output_pictures.h"
#include "camera/preview_window.h"
#include "camera/recorder.h"
#include "camera/stream_facts.h"
#include "device/zel_cnv_sdk.h"
#include "platform/worker.h"
#include "settings/settings_store.h"

namespace zelcnv::camera {

// Streaming states.
enum StreamState : int32_t { kStreamIdle = 0, kStreamRunning = 1, kStreamArmed = 2 };

class PreviewStream {
 public:
  // `state` is the camera's StreamState, which the preview thread reads.
  PreviewStream(const std::unique_ptr<device::CZelCnvSdk>& device,
                const settings::SharedSettings& settings, ErrorStack& errors,
                FrameCallback& callback, PreviewWindow& window, Recorder& recorder,
                const std::atomic<int32_t>& state)
      : device_(device),
        settings_(settings),
        errors_(errors),
        callback_(callback),
        window_(window),
        recorder_(recorder),
        state_(state) {}
  PreviewStream(const PreviewStream&) = delete;
  PreviewStream& operator=(const PreviewStream&) = delete;

  // Sizes the pictures for `width` x `height` frames of mode `modeIndex`, which becomes the
  // stream's; false (the mode left as it was) for a mode outside the table or out of memory.
  [[nodiscard]] bool SizePictures(int32_t width, int32_t height, int modeIndex);
  // The colour mode the stream was prepared for: its index (-1 before the first), its traits
  // (null when there is none).
  int ModeIndex() const { return modeIndex_.load(); }
  const ColourModeTraits* Mode() const { return ModeTraits(modeIndex_.load()); }
  OutputPictures& Output() { return output_; }
  // The details and figures of the stream's frames, and the threads waiting for the next one.
  StreamFacts& Facts() { return facts_; }
  FrameTap& Tap() { return tap_; }
  // The thread ended because the transfer did (a failed transfer, or a converter gone); cleared
  // by the next start.
  bool EndedByItself() const { return endedByItself_.load(); }

  // With a device only: starts the preview thread (false when it cannot be made) and ends it.
  [[nodiscard]] bool Start();
  void Stop();
  // The preview thread's processor time so far (Worker::CpuTimeNs); false when none runs.
  bool CpuTimeNs(uint64_t* nanoseconds) const { return worker_.CpuTimeNs(nanoseconds); }

  // A raw frame (a ring slot, or the single-frame read) woven through the stream's colour mode
  // into the back output picture, and copied band by band into each of `copies`. False, the
  // picture and the copies left as they were, when the frame does not match the picture.
  [[nodiscard]] bool WeaveIntoOutput(const device::FieldRows& rows,
                                     std::span<const imaging::PictureCopy> copies);
  // `bitmap` into `destination` (top row first unless `topDown` is 0); a buffer smaller than the
  // picture is reported (pushed and posted) and receives nothing.
  [[nodiscard]] bool CopyOut(const imaging::FrameBitmap& bitmap, int32_t topDown, void* destination,
                             int32_t size);

 private:
  static void ThreadEntry(void* stream);
  void Loop();
  // Copies the output picture into the application's buffer (unless the conversion `copied` it
  // already) and announces the frame with its `details` and the time its conversion took. While
  // the callback is held.
  void DeliverFrame(const imaging::FrameBitmap& output, bool copied, const FrameDetails& details,
                    int64_t conversion);
  // The transfer ended while the stream ran: reported, and the waiters told.
  void EndByItself();

  const std::unique_ptr<device::CZelCnvSdk>& device_;
  const settings::SharedSettings& settings_;
  ErrorStack& errors_;
  FrameCallback& callback_;
  PreviewWindow& window_;
  Recorder& recorder_;
  const std::atomic<int32_t>& state_;

  // Written by the preview thread while a stream runs, by a snapshot otherwise; read by copies
  // and saves on the application's thread.
  OutputPictures output_;
  ColourPicture colour_;                      // preview thread
  std::vector<imaging::PictureCopy> copies_;  // preview thread: where a frame goes besides
  StreamFacts facts_;
  FrameTap tap_;
  std::atomic<bool> endedByItself_{false};
  // The colour mode the running stream was prepared for: a mode chosen meanwhile takes effect at
  // the next start, as the bitmaps and the sample width are sized for this one.
  std::atomic<int32_t> modeIndex_{-1};
  // Last, so that it stops before the pictures go.
  platform::Worker worker_;
};

}  // namespace zelcnv::camera
