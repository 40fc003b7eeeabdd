// The transfer thread: streams whole frames from the video pipe into the frame ring; its start,
// its stop and the consumer's poll; and the single-frame read.
#include <cstring>

#include "device/protocol.h"
#include "device/transport.h"
#include "device/vxm_sdk_lib.h"
#include "platform/clock.h"

namespace zelcnv::device {

namespace {

// The thread's device file, where a stop finds it to cancel.
void ShowDevice(TransferBlock& block, platform::DeviceFile* device) {
  std::lock_guard lock(block.deviceMutex);
  block.device = device;
  if (device != nullptr && !block.worker->KeepGoing()) platform::CancelDeviceFile(device);
}

void RunTransferLoop(TransferBlock& block) {
  uint8_t request[kPacketSize] = {};
  request[0] = kRequestFrame;
  int32_t count = 0;
  uint32_t elapsed = 0;
  Status status = kStatusNoDevice;
  FrameRing& ring = *block.ring;
  FrameNumbering numbering;
  numbering.Start(block.period);

  if (platform::DeviceFile* device = platform::OpenDeviceFile(block.devicePath)) {
    ShowDevice(block, device);
    const uint32_t start = platform::TickCountMs();
    status = kStatusOk;
    const uint32_t length = static_cast<uint32_t>(block.transferLength);
    while (block.worker->KeepGoing() && status != kStatusFrameFailed) {
      uint32_t moved = 0;
      // The frame request's own outcome does not matter: only the frame transfer decides.
      (void)PipeTransfer(device, kRequestPipe, kPacketSize, request, &moved, 0, false);
      moved = 0;
      const Status result = PipeTransfer(device, kVideoPipe, block.transferLength, ring.WriteSlot(),
                                         &moved, 1, block.useAlternateCodes != 0);
      // A transfer the stop cut short is no frame and no failure.
      if (!block.worker->KeepGoing()) break;
      if (result != kStatusOk || moved != length) status = kStatusFrameFailed;
      ++count;
      const int64_t arrived = platform::MonotonicNow100ns();
      // A failed frame still advances the ring, as it does the count.
      ring.Publish({arrived, numbering.Number(arrived)});
      platform::SignalEvent(block.published);
    }
    elapsed = platform::TickCountMs() - start;
    ShowDevice(block, nullptr);
    platform::CloseDeviceFile(device);
  }

  block.elapsedTicks.store(elapsed);
  block.transferCount.store(count);
  block.status.store(status);
  // `failed` before `ended`: a poll must never see a failed thread as merely ended.
  block.failed.store(status == kStatusFrameFailed ? 1 : 0);
  block.ended.store(1);
  platform::SignalEvent(block.published);
}

}  // namespace

void CVXMSdkLib::TransferThreadEntry(void* block) {
  RunTransferLoop(*static_cast<TransferBlock*>(block));
}

Status CVXMSdkLib::StartTransfer() {
  if (transfer_.ended.load() == 0) return kStatusAlreadyRunning;
  ReleaseEndedThread();
  if (!ring_.Allocated() || geometry_.samplesPerFrame <= 0) return kStatusNoMemory;
  if (frameEvent_.load() == nullptr) frameEvent_.store(platform::CreateManualEvent());
  if (frameEvent_.load() == nullptr) return kStatusNoMemory;

  transfer_.transferLength = FrameBytes();
  transfer_.devicePath = devicePath_;
  transfer_.failed.store(0);
  transfer_.status.store(kStatusOk);
  transfer_.ring = &ring_;
  transfer_.published = frameEvent_.load();
  transfer_.worker = &transferWorker_;
  ring_.Rewind();
  transfer_.ended.store(0);
  if (!transferWorker_.Start(TransferThreadEntry, &transfer_, true)) {
    transfer_.ended.store(1);
    return kStatusNoMemory;
  }
  streamingFrom_ = deviceIndex_;
  streams_[deviceIndex_].fetch_add(1);
  return kStatusOk;
}

bool CVXMSdkLib::StreamedElsewhere() const {
  const int32_t own = streamingFrom_ == deviceIndex_ ? 1 : 0;
  return streams_[deviceIndex_].load() > own;
}

void CVXMSdkLib::ReleaseEndedThread() {
  // The thread may still be between publishing `ended` and returning: the worker waits.
  transferWorker_.Stop();
}

Status CVXMSdkLib::StopTransfer() {
  if (streamingFrom_ >= 0) {
    streams_[streamingFrom_].fetch_sub(1);
    streamingFrom_ = -1;
  }
  if (transfer_.ended.load() == 1 && transfer_.failed.load() == 0) {
    // Never started, already stopped, or ended because the device could not be opened; the
    // thread of the last case is collected here so that it does not linger.
    ReleaseEndedThread();
    return kStatusOk;
  }
  transferWorker_.RequestStop();  // seen by the thread once per frame transfer
  {
    // The transfer it waits in now ends at once, as does any it would start.
    std::lock_guard lock(transfer_.deviceMutex);
    if (transfer_.device != nullptr) platform::CancelDeviceFile(transfer_.device);
  }
  ReleaseEndedThread();
  lastTransferTicks_ = transfer_.elapsedTicks.load();
  transfer_.failed.store(0);
  return static_cast<Status>(transfer_.status.load());
}

bool CVXMSdkLib::WaitTransferEnded(uint32_t timeoutMs) {
  if (!transferWorker_.Started()) return transfer_.ended.load() == 1;
  return transferWorker_.WaitEnded(timeoutMs);
}

Status CVXMSdkLib::PollFrame() {
  if (transfer_.failed.load() == 1) return kStatusFrameFailed;
  if (transfer_.ended.load() == 1) return kStatusNotRunning;
  return ring_.TakeNewest() ? kStatusOk : kStatusNoNewFrame;
}

bool CVXMSdkLib::WaitFrame(uint32_t timeoutMs) {
  // Cleared before the conditions are read: whatever the transfer thread publishes from here on
  // signals again.
  platform::Event* event = frameEvent_.load();
  platform::ClearEvent(event);
  if (event == nullptr || frameWaitsStopped_.load() || transfer_.ended.load() == 1 ||
      ring_.HasNewFrame()) {
    return true;
  }
  return platform::WaitEvent(event, timeoutMs);
}

void CVXMSdkLib::StopFrameWaits(bool stop) {
  frameWaitsStopped_.store(stop);
  if (stop) platform::SignalEvent(frameEvent_.load());
}

Status CVXMSdkLib::ReadSingleFrame(uint32_t timeoutMs) {
  const int32_t length = FrameBytes();
  // A handle opened on another device path is stale once the device number changed.
  if (singleFrameHandle_ != nullptr && std::strcmp(singleFramePath_, devicePath_) != 0) {
    platform::CloseDeviceFile(singleFrameHandle_);
    singleFrameHandle_ = nullptr;
  }
  const uint32_t start = platform::TickCountMs();
  // A handle kept from an earlier read may have died with the converter since (unplugged and
  // back, as a bus reset does): when its transfer fails, a fresh one gets what time is left.
  for (bool kept = singleFrameHandle_ != nullptr;; kept = false) {
    if (singleFrameHandle_ == nullptr) {
      singleFrameHandle_ = OpenDevice();
      if (singleFrameHandle_ == nullptr) return kStatusNoDevice;
      std::memcpy(singleFramePath_, devicePath_, sizeof singleFramePath_);
    }
    const uint32_t spent = platform::TickCountMs() - start;
    const uint32_t left = timeoutMs == platform::kWaitForever
                              ? timeoutMs
                              : (spent < timeoutMs ? timeoutMs - spent : 0);
    uint32_t moved = 0;
    const Status result = PipeTransfer(singleFrameHandle_, kVideoPipe, length, frameBuffer_, &moved,
                                       1, singleReadAlternate_ != 0, left);
    if (result == kStatusOk && moved == static_cast<uint32_t>(length)) return kStatusOk;
    // A failed handle (device unplugged) would fail every later read: reopen next time.
    platform::CloseDeviceFile(singleFrameHandle_);
    singleFrameHandle_ = nullptr;
    // A short frame came through a working handle: that is the converter's failure.
    if (!kept || result == kStatusOk || platform::TickCountMs() - start >= timeoutMs) {
      return kStatusFrameFailed;
    }
  }
}

}  // namespace zelcnv::device
