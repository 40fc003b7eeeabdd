// The transfer thread: streams whole frames from the video pipe into the ring, and the
// consumer's side of the ring. The writer steps over the slot the reader holds; the reader
// always jumps to the newest complete slot, so frames are dropped, never queued.
#include <cstring>

#include "device/protocol.h"
#include "device/transport.h"
#include "device/vxm_sdk_lib.h"
#include "platform/clock.h"

namespace zelcnv::device {

namespace {

int NextSlot(int index, int slotCount) {
  return index + 1 >= slotCount ? 0 : index + 1;
}

void RunTransferLoop(TransferBlock& block) {
  uint8_t request[kPacketSize] = {};
  request[0] = kRequestFrame;
  int32_t count = 0;
  uint32_t elapsed = 0;
  int32_t status = kStatusNoDevice;

  if (platform::DeviceFile* device = platform::OpenDeviceFile(block.devicePath)) {
    const uint32_t start = platform::TickCountMs();
    status = kStatusOk;
    const uint32_t length = static_cast<uint32_t>(block.transferLength);
    while (block.stopped.load() != 1 && status != kStatusFrameFailed) {
      int32_t index = block.writeIndex.load();
      uint8_t* buffer = block.slots[index].data;
      uint32_t moved = 0;
      // The frame request's own outcome does not matter: only the frame transfer decides.
      (void)PipeTransfer(device, kRequestPipe, kPacketSize, request, &moved, 0, false);
      moved = 0;
      int result = PipeTransfer(device, kVideoPipe, block.transferLength, buffer, &moved, 1,
                                block.useAlternateCodes != 0);
      if (result != kTransferOk || moved != length) status = kStatusFrameFailed;
      ++count;
      index = NextSlot(index, block.slotCount);
      if (index == block.readIndex.load()) index = NextSlot(index, block.slotCount);
      block.writeIndex.store(index);  // publishes the slot just filled
    }
    elapsed = platform::TickCountMs() - start;
    platform::CloseDeviceFile(device);
  }

  block.elapsedTicks.store(elapsed);
  block.transferCount.store(count);
  block.status.store(status);
  // `failed` before `stopped`: a poll must never see a failed thread as merely stopped.
  block.failed.store(status == kStatusFrameFailed ? 1 : 0);
  block.stopped.store(1);
  platform::SignalEvent(block.doneEvent);  // last touch of the block
}

}  // namespace

void CVXMSdkLib::TransferThreadEntry(void* block) {
  RunTransferLoop(*static_cast<TransferBlock*>(block));
}

int CVXMSdkLib::StartTransfer() {
  if (transfer_.stopped.load() == 0) return kStatusAlreadyRunning;
  ReleaseEndedThread();
  if (slots_ == nullptr || geometry_.samplesPerFrame <= 0) return kStatusNoMemory;

  transfer_.transferLength = FrameBytes();
  transfer_.doneEvent = platform::CreateManualEvent();
  if (transfer_.doneEvent == nullptr) return kStatusNoMemory;
  transfer_.devicePath = devicePath_;
  transfer_.failed.store(0);
  transfer_.status.store(0);
  transfer_.slotCount = slotCount_;
  transfer_.slots = slots_;
  transfer_.writeIndex.store(0);
  transfer_.readIndex.store(0);
  transfer_.stopped.store(0);

  transferThread_ = platform::StartThread(TransferThreadEntry, &transfer_, true);
  if (transferThread_ == nullptr) {
    transfer_.stopped.store(1);
    platform::CloseEvent(transfer_.doneEvent);
    transfer_.doneEvent = nullptr;
    return kStatusNoMemory;
  }
  return kStatusOk;
}

void CVXMSdkLib::ReleaseEndedThread() {
  if (transfer_.doneEvent != nullptr) {
    // The thread may still be between publishing `stopped` and signalling: wait for the signal.
    platform::WaitEvent(transfer_.doneEvent, platform::kWaitForever);
    platform::CloseEvent(transfer_.doneEvent);
    transfer_.doneEvent = nullptr;
  }
  if (transferThread_ != nullptr) {
    platform::CloseThread(transferThread_);
    transferThread_ = nullptr;
  }
}

int CVXMSdkLib::StopTransfer() {
  if (transfer_.stopped.load() == 1 && transfer_.failed.load() == 0) {
    // Never started, already stopped, or ended because the device could not be opened; the
    // handles of the last case are released here so they do not leak.
    ReleaseEndedThread();
    return kStatusOk;
  }
  transfer_.stopped.store(1);  // seen by the thread once per frame transfer
  ReleaseEndedThread();
  lastTransferTicks_ = transfer_.elapsedTicks.load();
  transfer_.stopped.store(1);
  transfer_.failed.store(0);
  return transfer_.status.load();
}

bool CVXMSdkLib::WaitTransferEnded(uint32_t timeoutMs) {
  if (transfer_.doneEvent == nullptr) return transfer_.stopped.load() == 1;
  return platform::WaitEvent(transfer_.doneEvent, timeoutMs);
}

int CVXMSdkLib::PollFrame() {
  if (transfer_.failed.load() == 1) return kPollTransferFailed;
  if (transfer_.stopped.load() == 1) return kPollNotRunning;
  const int32_t slotCount = transfer_.slotCount;
  int32_t w = transfer_.writeIndex.load();
  int32_t r = transfer_.readIndex.load();
  if (w < r) w += slotCount;
  if (w - r < 1) return kPollNoNewFrame;
  r = w - 1;
  if (r < 0) r = slotCount - 1;
  if (r >= slotCount) r -= slotCount;
  transfer_.readIndex.store(r);
  return kPollNewFrame;
}

int CVXMSdkLib::ReadSingleFrame() {
  const int32_t length = FrameBytes();
  // A handle opened on another device path is stale once the device number changed.
  if (singleFrameHandle_ != nullptr && std::strcmp(singleFramePath_, devicePath_) != 0) {
    platform::CloseDeviceFile(singleFrameHandle_);
    singleFrameHandle_ = nullptr;
  }
  if (singleFrameHandle_ == nullptr) {
    singleFrameHandle_ = OpenDevice();
    if (singleFrameHandle_ == nullptr) return kStatusNoDevice;
    std::memcpy(singleFramePath_, devicePath_, sizeof singleFramePath_);
  }
  uint32_t moved = 0;
  int result = PipeTransfer(singleFrameHandle_, kVideoPipe, length, frameBuffer_, &moved, 1,
                            singleReadAlternate_ != 0);
  if (result != kTransferOk || moved != static_cast<uint32_t>(length)) {
    // A failed handle (device unplugged) would fail every later read: reopen next time.
    platform::CloseDeviceFile(singleFrameHandle_);
    singleFrameHandle_ = nullptr;
    return kStatusFrameFailed;
  }
  return kStatusOk;
}

}  // namespace zelcnv::device
