// The extension interface: frames on demand, each frame's details, the stream's figures, and
// converters that come and go.
#include <mutex>

#include "camera/camera.h"
#include "platform/clock.h"
#include "platform/window_messages.h"

namespace zelcnv::camera {

int CZelCam::WaitFrame(void* buffer, int32_t size, int32_t topDown, int32_t timeoutMs,
                       FrameDetails* details) {
  if (details != nullptr && details->size != sizeof(FrameDetails)) {
    errors_.Push(kErrParameter);
    return FrameTap::kRefused;
  }
  ErrorNumber error = kErrNone;
  const FrameTap::Result result =
      stream_.Tap().Wait(buffer, size, topDown != 0, timeoutMs, details, &error);
  if (result == FrameTap::kRefused) errors_.Push(error);
  return result;
}

int CZelCam::GetFrameDetails(FrameDetails* details) {
  if (details == nullptr || details->size != sizeof(FrameDetails)) return Fail(kErrParameter);
  if (!stream_.Facts().LastAnnounced(details)) return Fail(kErrNotReady);
  return 1;
}

int CZelCam::GetStreamStats(StreamStats* stats) {
  if (stats == nullptr || stats->size != sizeof(StreamStats)) return Fail(kErrParameter);
  *stats = stream_.Facts().Stats(platform::MonotonicNow100ns());
  return 1;
}

int CZelCam::WatchDevices(bool enable) {
  if (!device_) return Fail(kErrNotReady);
  if (!watch_.Set(enable, watch_.Resuming(), *this)) return Fail(kErrThread);
  return 1;
}

int CZelCam::SetAutoResume(bool enable) {
  if (!device_) return Fail(kErrNotReady);
  if (!watch_.Set(watch_.Posting(), enable, *this)) return Fail(kErrThread);
  stream_.Tap().SetHoldOnEnd(enable);
  if (!enable) resumePending_.store(false);
  return 1;
}

uint32_t CZelCam::ConvertersPresent() {
  uint32_t present = device::CVXMSdkLib::PresentDevices();
  // The index is read only once the running transfer is seen, which it was set before.
  if (device_->TransferRunning()) present |= 1u << device_->GetDeviceIndex();
  return present;
}

void CZelCam::Looked(uint32_t present, uint32_t changed) {
  // The handle's list of converters follows the watch: a converter just arrived has a name.
  if (changed != 0) device_->SetPresent(present);
  if (watch_.Posting()) {
    for (uint32_t index = 0; index < device::kDeviceCount; ++index) {
      if ((changed >> index & 1u) == 0) continue;
      platform::PostWindowMessage(errors_.Window(), kMsgDeviceChange, index, present >> index & 1u);
    }
  }
  if (watch_.Resuming()) ResumeIfDue(present);
}

void CZelCam::ResumeIfDue(uint32_t present) {
  const bool ended = streamState_.load() == kStreamRunning && stream_.EndedByItself();
  if (!ended && !resumePending_.load()) return;
  // The exports' turn, as any call on the object: given up when the watch is stopped.
  if (!watch_.TryLock(turn_)) return;
  const std::lock_guard turn(turn_, std::adopt_lock);
  if (!watch_.Resuming()) return;
  if (streamState_.load() == kStreamRunning && stream_.EndedByItself()) {
    // The threads are collected and a recording ends now, not when the converter is back.
    StopStreaming(true);
    resumePending_.store(true);
  }
  const int index = device_->GetDeviceIndex();
  if (resumePending_.load() && (present >> index & 1u) != 0 && StartStreaming(true)) {
    resumePending_.store(false);
  }
}

}  // namespace zelcnv::camera
