// The streaming state machine: preparing the device and the pictures, starting and stopping the
// preview thread and the device's transfer, the preview windows around them, and the preview
// thread itself, which takes the newest frame from the ring, converts it to the colour mode,
// draws it, offers it to the recorder, copies it into the application's buffer and announces it.
#include <cstring>

#include "camera/camera.h"
#include "imaging/field_weave.h"
#include "device/protocol.h"
#include "platform/clock.h"
#include "platform/window_messages.h"

namespace zelcnv::camera {

bool CZelCam::SizePictures(const ColourModeTraits& mode) {
  if (!output_.Create(imageWidth_, imageHeight_, static_cast<uint16_t>(mode.bitsPerPixel))) {
    return false;
  }
  return colour_.Create(imageWidth_, imageHeight_, mode);
}

bool CZelCam::PrepareStream() {
  // An object whose initialisation ran out of memory has nothing to stream into.
  if (!callback_.Ready()) return Refuse(kErrBuffer);
  if (!device_->IsPresent(device_->GetDeviceIndex())) return Refuse(kErrNoDevice);
  device_->SetSamplingClock(NormalRate());
  const int format = FormatCode(device_->DetectVideoStandard());
  device_->SetVideoFormat(format);
  platform::SleepMs(kFormatSettleMs);
  int width = 0, height = 0;
  device_->GetFrameRect(nullptr, nullptr, &width, &height, nullptr);
  imageWidth_ = width;
  imageHeight_ = height;

  // A mode outside the table (a damaged stored setting) has no pictures to size.
  const int index = settings_.Get().colourMode;
  const ColourModeTraits* mode = ModeTraits(index);
  if (mode == nullptr || !SizePictures(*mode)) return Refuse(kErrBuffer);
  streamColourMode_.store(index);
  device_->SetSampleWidth(mode->twoByteSamples);
  ApplyPictureControls();
  window_.FitDisplay(mode->displayBits);
  return true;
}

bool CZelCam::StartStreaming() {
  if (!device_) return Refuse(kErrNotReady);
  const int32_t state = streamState_.load();
  if (state == kStreamRunning) return true;
  if (state == kStreamArmed) return Refuse(kErrNotReady);
  if (!PrepareStream()) return Refuse(kErrNotReady);
  device_->StopFrameWaits(false);
  if (!previewWorker_.Start(&CZelCam::PreviewThreadEntry, this)) {
    StopStreaming();
    return Refuse(kErrThread);
  }
  if (device_->StartTransfer() != kStatusOk) {
    StopStreaming();
    return Refuse(kErrDeviceIo);
  }
  streamState_.store(kStreamRunning);
  return true;
}

bool CZelCam::StopStreaming() {
  if (!device_) return Refuse(kErrNotReady);
  // Whatever the thread waits for (a frame, the interval between polls), it leaves at once.
  previewWorker_.RequestStop();
  device_->StopFrameWaits(true);
  previewWorker_.Stop();
  // No more frames come: a recording ends with what it has.
  recorder_.Stop();
  if (streamState_.load() != kStreamIdle) {
    streamState_.store(kStreamIdle);
    if (device_->StopTransfer() != kStatusOk) return Refuse(kErrDeviceIo);
  }
  return true;
}

int CZelCam::Preview(WindowHandle window, void* buffer, int32_t size, int32_t topDown) {
  const int32_t state = streamState_.load();
  if (state == kStreamRunning || state == kStreamArmed) return Fail(kErrNotReady);
  callback_.Set(window, buffer, size, topDown);
  if (!window_.Open(this, imageWidth_, imageHeight_)) return Fail(kErrWindow);
  if (!StartStreaming()) {
    Close();
    return Fail(kErrCapture);
  }
  return 1;
}

int CZelCam::SetPreviewWindow(WindowHandle parent, int32_t x, int32_t y, int32_t width,
                              int32_t height) {
  if (!device_) return Fail(kErrNotReady);
  window_.Place(parent, x, y, width, height);
  return 1;
}

int CZelCam::Close() {
  // The stream stops first, so that no frame is being drawn with the context released below.
  StopStreaming();
  window_.Close();
  return 1;
}

CZelCam::ThreadCpu CZelCam::ThreadCpuTimes() const {
  ThreadCpu times;
  if (!previewWorker_.CpuTimeNs(&times.preview)) times.preview = 0;
  if (!device_ || !device_->TransferThreadCpuNs(&times.transfer)) times.transfer = 0;
  if (!recorder_.ThreadCpuNs(&times.recorder)) times.recorder = 0;
  return times;
}

void CZelCam::PreviewThreadEntry(void* camera) {
  static_cast<CZelCam*>(camera)->PreviewLoop();
}

void CZelCam::PreviewLoop() {
  uint32_t lastPollMs = platform::TickCountMs();
  while (previewWorker_.KeepGoing()) {
    // Asleep until there is something to poll: a frame, the transfer thread's end, or a stop.
    device_->WaitFrame(platform::kWaitForever);
    if (!previewWorker_.KeepGoing()) break;
    // At most one poll per wait time: the rest of it since the last poll, cut short by a stop. A
    // damaged stored interval below 0 would be an endless wait on Windows.
    const int32_t wait = settings_.Get().waitTime;
    const uint32_t since = platform::TickCountMs() - lastPollMs;
    if (wait > 0 && since < static_cast<uint32_t>(wait) &&
        previewWorker_.WaitForStop(static_cast<uint32_t>(wait) - since)) {
      break;
    }
    lastPollMs = platform::TickCountMs();
    // A transfer thread that is no longer running while the stream is on ended by itself: it
    // could not open the converter (unplugged before the start). Without this the stream would
    // run on, reported as started, without a frame or an error. The state is read first: this
    // thread starts before the transfer thread, and a poll from before that start must not be
    // taken for its end once the start has marked the stream running.
    const bool running = streamState_.load() == kStreamRunning;
    const Status poll = device_->PollFrame();
    const bool endedByItself = poll == kStatusNotRunning && running;
    if (poll == kStatusFrameFailed || endedByItself) {
      // On the stack before it is announced: a window procedure reading the error on the
      // notification finds it.
      errors_.Push(kErrTransferStopped);
      callback_.Post(0, kErrTransferStopped);
      break;
    }
    if (poll != kStatusOk) continue;
    // The callback fields hold still from here until the frame is announced: the conversion
    // copies the frame into the application's buffer as it goes.
    const auto held = callback_.Hold();
    // A buffer too small for the frame is left to DeliverFrame, which reports it.
    const imaging::FrameBitmap& back = output_.Back();
    uint8_t* const copyTo = callback_.BufferFor(int64_t{back.Stride()} * back.Height());
    device::FieldRows rows;
    const Status slot = device_->HeldRingFrame(&rows);
    const bool woven = slot == kStatusOk && WeaveIntoOutput(rows, copyTo, callback_.TopDown());
    // A slot is let go only when one is held: the reader's index must not move past another.
    if (slot != kStatusNullPointer) device_->ReleaseRingFrame();
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
      window_.Draw(colour_.Get(), StreamMode()->displayBits, StreamMode()->stretch);
    }
    if (recorder_.WantsFrame()) recorder_.Offer(colour_);
    DeliverFrame(output, copyTo != nullptr);
  }
}

bool CZelCam::WeaveIntoOutput(const device::FieldRows& rows, uint8_t* copyTo, bool topDown) {
  const ColourModeTraits& mode = *StreamMode();
  const imaging::InterlacedFrame frame{{rows.field[0], rows.field[1]},
                                       rows.pitchBytes,
                                       rows.width,
                                       rows.height,
                                       rows.bytesPerSample};
  return imaging::WeaveFrame(frame, mode.toOutput, output_.Back(), copyTo, topDown);
}

void CZelCam::DeliverFrame(const imaging::FrameBitmap& output, bool copied) {
  void* const buffer = callback_.Buffer();
  const int32_t size = callback_.BufferSize();
  if (!copied && buffer != nullptr && size != 0 &&
      !CopyOut(output, callback_.TopDown() ? 1 : 0, buffer, size)) {
    return;  // the failed copy was reported instead of the frame
  }
  callback_.Announce(output.Width(), output.Height(), StreamMode()->bitsPerPixel);
}

bool CZelCam::CopyOut(const imaging::FrameBitmap& bitmap, int32_t topDown, void* destination,
                      int32_t size) {
  const int64_t stride = bitmap.Stride();
  const int64_t needed = stride * bitmap.Height();
  if (size < 0 || size < needed) {
    errors_.Push(kErrBuffer);
    callback_.Post(0, kErrBuffer);
    return false;
  }
  uint8_t* out = static_cast<uint8_t*>(destination);
  const uint8_t* rows = bitmap.Bits();
  if (topDown == 0) {
    if (needed > 0) std::memcpy(out, rows, static_cast<size_t>(needed));
    return true;
  }
  for (int32_t row = bitmap.Height() - 1; row >= 0; --row, out += stride) {
    std::memcpy(out, rows + row * stride, static_cast<size_t>(stride));
  }
  return true;
}

}  // namespace zelcnv::camera
