// The preview thread, which takes the newest frame from the ring, converts it to the colour mode,
// draws it, offers it to the recorder, copies it into the application's buffer and announces it.
#include "camera/preview_stream.h"

#include "device/protocol.h"
#include "imaging/field_weave.h"
#include "platform/clock.h"

namespace zelcnv::camera {

bool PreviewStream::SizePictures(int32_t width, int32_t height, int modeIndex) {
  const ColourModeTraits* mode = ModeTraits(modeIndex);
  if (mode == nullptr) return false;
  if (!output_.Create(width, height, static_cast<uint16_t>(mode->bitsPerPixel))) return false;
  if (!colour_.Create(width, height, *mode)) return false;
  modeIndex_.store(modeIndex);
  return true;
}

bool PreviewStream::Start() {
  endedByItself_.store(false);
  device_->StopFrameWaits(false);
  return worker_.Start(&PreviewStream::ThreadEntry, this);
}

void PreviewStream::Stop() {
  // Whatever the thread waits for (a frame, the interval between polls), it leaves at once.
  worker_.RequestStop();
  device_->StopFrameWaits(true);
  worker_.Stop();
}

void PreviewStream::ThreadEntry(void* stream) {
  static_cast<PreviewStream*>(stream)->Loop();
}

void PreviewStream::Loop() {
  uint32_t lastPollMs = platform::TickCountMs();
  while (worker_.KeepGoing()) {
    // Asleep until there is something to poll: a frame, the transfer thread's end, or a stop.
    device_->WaitFrame(platform::kWaitForever);
    if (!worker_.KeepGoing()) break;
    // At most one poll per wait time: the rest of it since the last poll, cut short by a stop. A
    // damaged stored interval below 0 would be an endless wait on Windows.
    const int32_t wait = settings_.Get().waitTime;
    const uint32_t since = platform::TickCountMs() - lastPollMs;
    if (wait > 0 && since < static_cast<uint32_t>(wait) &&
        worker_.WaitForStop(static_cast<uint32_t>(wait) - since)) {
      break;
    }
    lastPollMs = platform::TickCountMs();
    // A transfer thread that is no longer running while the stream is on ended by itself: it
    // could not open the converter (unplugged before the start). Without this the stream would
    // run on, reported as started, without a frame or an error. The state is read first: this
    // thread starts before the transfer thread, and a poll from before that start must not be
    // taken for its end once the start has marked the stream running.
    const bool running = state_.load() == kStreamRunning;
    const Status poll = device_->PollFrame();
    const bool endedByItself = poll == kStatusNotRunning && running;
    if (poll == kStatusFrameFailed || endedByItself) {
      EndByItself();
      break;
    }
    if (poll != kStatusOk) continue;
    // The callback fields hold still from here until the frame is announced: the conversion
    // copies the frame into the application's buffer as it goes, and into the buffers of the
    // threads waiting for it.
    const auto held = callback_.Hold();
    // A buffer too small for the frame is left to DeliverFrame, which reports it.
    const imaging::FrameBitmap& back = output_.Back();
    const int64_t frameBytes = int64_t{back.Stride()} * back.Height();
    uint8_t* const copyTo = callback_.BufferFor(frameBytes);
    copies_.clear();
    if (copyTo != nullptr) copies_.push_back({copyTo, callback_.TopDown()});
    std::unique_lock<std::mutex> waiters;
    if (tap_.Wanted()) waiters = tap_.Claim(frameBytes, &copies_);
    device::FieldRows rows;
    const Status slot = device_->HeldRingFrame(&rows);
    const device::SlotFacts slotFacts =
        slot == kStatusOk ? device_->HeldRingFacts() : device::SlotFacts{};
    const int64_t weaveStart = platform::MonotonicNow100ns();
    const bool woven = slot == kStatusOk && WeaveIntoOutput(rows, copies_);
    const int64_t conversion = platform::MonotonicNow100ns() - weaveStart;
    // A slot is let go only when one is held: the reader's index must not move past another.
    if (slot != kStatusNullPointer) device_->ReleaseRingFrame();
    const FrameDetails details = facts_.Describe(slotFacts, back);
    // The waiting threads have their frame now, before the window and the notification.
    if (waiters.owns_lock()) tap_.Deliver(waiters, woven, details);
    if (!woven) {
      errors_.Push(kErrCapture);
      callback_.Post(0, kErrCapture);
      continue;
    }
    const imaging::FrameBitmap& output = output_.Publish();
    // The window and the recorder share one colour conversion of the frame, made only for them:
    // the window draws the colour picture, which the recorder then copies; without a window on
    // screen the recorder's frame is converted straight from the output picture.
    colour_.NewFrame(output);
    if (window_.OnScreen()) {
      window_.Draw(colour_.Get(), Mode()->displayBits, Mode()->stretch);
    }
    if (recorder_.WantsFrame()) recorder_.Offer(colour_);
    DeliverFrame(output, copyTo != nullptr, details, conversion);
  }
}

void PreviewStream::EndByItself() {
  endedByItself_.store(true);
  facts_.End();
  // On the stack before it is announced: a window procedure reading the error on the
  // notification finds it.
  errors_.Push(kErrTransferStopped);
  callback_.Post(0, kErrTransferStopped);
  tap_.Ended();
}

bool PreviewStream::WeaveIntoOutput(const device::FieldRows& rows,
                                    std::span<const imaging::PictureCopy> copies) {
  const ColourModeTraits& mode = *Mode();
  const imaging::InterlacedFrame frame{{rows.field[0], rows.field[1]},
                                       rows.pitchBytes,
                                       rows.width,
                                       rows.height,
                                       rows.bytesPerSample};
  return imaging::WeaveFrame(frame, mode.toOutput, output_.Back(), copies);
}

void PreviewStream::DeliverFrame(const imaging::FrameBitmap& output, bool copied,
                                 const FrameDetails& details, int64_t conversion) {
  void* const buffer = callback_.Buffer();
  const int32_t size = callback_.BufferSize();
  if (!copied && buffer != nullptr && size != 0 &&
      !CopyOut(output, callback_.TopDown() ? 1 : 0, buffer, size)) {
    return;  // the failed copy was reported instead of the frame
  }
  // Before the notification: an application that asks on it is told of this frame.
  facts_.Announced(details, conversion, platform::MonotonicNow100ns());
  callback_.Announce(output.Width(), output.Height(), Mode()->bitsPerPixel);
}

bool PreviewStream::CopyOut(const imaging::FrameBitmap& bitmap, int32_t topDown, void* destination,
                            int32_t size) {
  const int64_t stride = bitmap.Stride();
  const int64_t needed = stride * bitmap.Height();
  if (size < 0 || size < needed) {
    errors_.Push(kErrBuffer);
    callback_.Post(0, kErrBuffer);
    return false;
  }
  bitmap.CopyPixels(static_cast<uint8_t*>(destination), topDown != 0);
  return true;
}

}  // namespace zelcnv::camera
