// The device library object: device path, frame ring, transfer thread and single-frame read.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/device_file.h"
#include "platform/frame_memory.h"
#include "platform/thread.h"

namespace zelcnv::device {

constexpr int kDeviceCount = 8;
constexpr int kDevicePathSize = 128;
constexpr char kDeviceBaseName[] = "ZQVD";

// One ring slot: a frame buffer of 2 x samples-per-frame bytes.
struct FrameSlot {
  platform::GlobalMemory* memory = nullptr;
  uint8_t* data = nullptr;
};

// Parameters and results shared between the library and its transfer thread. Fields the two
// threads both touch are atomic; a slot is published by the store of `writeIndex`.
struct TransferBlock {
  int32_t transferLength = 0;
  platform::Event* doneEvent = nullptr;
  std::atomic<uint32_t> elapsedTicks{0};
  std::atomic<int32_t> transferCount{0};
  std::atomic<int32_t> status{0};
  std::atomic<int32_t> stopped{1};
  std::atomic<int32_t> failed{0};
  int32_t slotCount = 0;
  FrameSlot* slots = nullptr;
  std::atomic<int32_t> writeIndex{0};
  std::atomic<int32_t> readIndex{0};
  int32_t useAlternateCodes = 0;
  const char* devicePath = nullptr;
};

// PollFrame results.
enum PollResult : int {
  kPollNotRunning = 0,
  kPollTransferFailed = 1,
  kPollNoNewFrame = 2,
  kPollNewFrame = 3,
};

class CVXMSdkLib {
 public:
  explicit CVXMSdkLib(int slotCount);
  CVXMSdkLib(const CVXMSdkLib&) = delete;
  CVXMSdkLib& operator=(const CVXMSdkLib&) = delete;
  // Frees the frame memory and the handles left. A running transfer thread is stopped first:
  // freeing the ring under it would leave the thread writing into freed memory.
  ~CVXMSdkLib();

  // Device selection: index 0..7 (else 22); rebuilds the current device path.
  int SelectDevice(int index);
  int GetDeviceIndex() const { return deviceIndex_; }
  const char* DevicePath() const { return devicePath_; }

  // Frees and reallocates the single-frame buffer and every ring slot for `samplesPerFrame`
  // samples (each buffer 2 x samples bytes, zero-filled). All or nothing: on failure nothing is
  // left allocated and the result is 7. Never call while the transfer thread runs.
  int AllocateFrameMemory(int samplesPerFrame);
  void FreeFrameMemory();
  int SamplesPerFrame() const { return samplesPerFrame_; }

  // Stores the sample width and tells the device (packet 0x0A); always 1.
  int SetSampleWidth(int twoBytes);
  bool TwoByteSamples() const { return twoByteSamples_ != 0; }
  int FrameBytes() const { return samplesPerFrame_ * (twoByteSamples_ ? 2 : 1); }

  // Transfer control.
  int StartTransfer();
  int StopTransfer();
  int PollFrame();
  int ReadSingleFrame();
  // Waits until the transfer thread has ended by itself (true) or `timeoutMs` passed.
  bool WaitTransferEnded(uint32_t timeoutMs);
  uint32_t LastTransferTicks() const { return lastTransferTicks_; }

  TransferBlock& Transfer() { return transfer_; }
  const FrameSlot* Slots() const { return slots_; }
  int SlotCount() const { return slotCount_; }
  uint8_t* SingleFrameBuffer() { return frameBuffer_; }

  void SetAlternateCodes(bool frames, bool singleRead) {
    transfer_.useAlternateCodes = frames ? 1 : 0;
    singleReadAlternate_ = singleRead ? 1 : 0;
  }

 protected:
  // Opens the current device path; null when it cannot be opened.
  platform::DeviceFile* OpenDevice() const;

 private:
  static void TransferThreadEntry(void* block);
  void ReleaseEndedThread();

  char baseName_[5] = {'Z', 'Q', 'V', 'D', '\0'};
  char devicePath_[kDevicePathSize] = {};
  int deviceIndex_ = 0;

  int slotCount_;
  FrameSlot* slots_ = nullptr;
  platform::GlobalMemory* frameMemory_ = nullptr;
  uint8_t* frameBuffer_ = nullptr;
  int samplesPerFrame_ = 0;
  int twoByteSamples_ = 0;

  TransferBlock transfer_;
  platform::Thread* transferThread_ = nullptr;
  uint32_t lastTransferTicks_ = 0;

  platform::DeviceFile* singleFrameHandle_ = nullptr;
  char singleFramePath_[kDevicePathSize] = {};
  int singleReadAlternate_ = 0;
};

}  // namespace zelcnv::device
