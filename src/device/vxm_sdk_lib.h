// The device library object: device path, frame ring, transfer thread and single-frame read.
#pragma once

#include <atomic>
#include <cstddef>
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

// The frame geometry a timing row gives: where the picture lies in a raw frame.
struct FrameGeometry {
  int32_t frameLeft = 0;
  int32_t frameTop = 0;
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  int32_t pitch = 0;        // samples per buffer line, blanking included
  int32_t windowStart = 0;  // first active sample of a line
  int32_t fieldLines = 0;   // lines per field
  int32_t fieldStart = 0;   // first active line of a field
  int32_t fieldActive = 0;  // active lines per field
  int32_t bufferLines = 0;
  int32_t frameSamples = 0;
  int32_t samplesPerFrame = 0;  // frameSamples rounded up to whole blocks
};

// Decode dispatch: the converter always decodes through its video decoder (YUV path).
constexpr int kDecodeModeDefault = 1;
constexpr int kDecodeModeDecoder = 3;
// DecodeSingleFrame / DecodeRingFrame selector that asks for the raw active frame.
constexpr int kSelectorCopyFrame = 1;

class CVXMSdkLib {
 public:
  explicit CVXMSdkLib(int slotCount);
  CVXMSdkLib(const CVXMSdkLib&) = delete;
  CVXMSdkLib& operator=(const CVXMSdkLib&) = delete;
  // Frees the frame memory and the handles left. A running transfer thread is stopped first:
  // freeing the ring under it would leave the thread writing into freed memory.
  virtual ~CVXMSdkLib();

  // Enumeration: which of the device indices 0..7 could be opened when probed.
  void ProbeDevices();
  int IsPresent(int index) const;
  // Index 0..7 (else 22); rebuilds the current device path.
  int SelectDevice(int index);
  int GetDeviceIndex() const { return deviceIndex_; }
  static int GetDeviceCount() { return kDeviceCount; }
  const char* DevicePath() const { return devicePath_; }

  // Frees and reallocates the single-frame buffer and every ring slot for `samplesPerFrame`
  // samples (each buffer 2 x samples bytes, zero-filled). All or nothing: on failure nothing is
  // left allocated and the result is 7. Refused with 21 while the transfer thread runs.
  int AllocateFrameMemory(int samplesPerFrame);
  void FreeFrameMemory();
  int SamplesPerFrame() const { return geometry_.samplesPerFrame; }
  const FrameGeometry& Geometry() const { return geometry_; }

  // Stores the sample width and tells the device (packet 0x0A); always 1.
  int SetSampleWidth(int twoBytes);
  bool TwoByteSamples() const { return twoByteSamples_ != 0; }
  int BytesPerSample() const { return twoByteSamples_ != 0 ? 2 : 1; }
  int FrameBytes() const { return geometry_.samplesPerFrame * BytesPerSample(); }

  // Transfer control.
  int StartTransfer();
  int StopTransfer();
  int PollFrame();
  int ReadSingleFrame();
  bool TransferRunning() const { return transfer_.stopped.load() == 0; }
  // Waits until the transfer thread has ended by itself (true) or `timeoutMs` passed.
  bool WaitTransferEnded(uint32_t timeoutMs);
  uint32_t LastTransferTicks() const { return lastTransferTicks_; }

  // Decoding a raw frame (layout of the current geometry) into a picture.
  // BGR24 of an inclusive region, rows alternating between the fields: status 0, 5 or 14.
  virtual int DecodeRegion(uint8_t* output, const uint8_t* raw, int colour, int reserved, int left,
                           int top, int right, int bottom);
  virtual int DecodeFrame(uint8_t* output, const uint8_t* raw, int colour, int reserved);
  // The raw active frame, fields woven, frameWidth x bytes-per-sample per row: always 0.
  virtual int CopyFrame(uint8_t* output, const uint8_t* raw);
  // The single-frame buffer or the ring's read slot into `output`, which holds `capacity`
  // bytes: a frame of the current geometry that does not fit is refused with 5, nothing written.
  int DecodeSingleFrame(uint8_t* output, size_t capacity, int colour, int reserved, int selector);
  int DecodeRingFrame(uint8_t* output, size_t capacity, int colour, int reserved, int selector);
  // Bytes a decode with `selector` writes for the current geometry and sample width.
  size_t DecodedBytes(int selector) const;

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
  int Dispatch(uint8_t* output, size_t capacity, const uint8_t* raw, int colour, int reserved,
               int selector);

  FrameGeometry geometry_;
  int32_t interlaced_ = 0;
  int32_t twoByteSamples_ = 0;
  int32_t decodeMode_ = kDecodeModeDefault;

 private:
  static void TransferThreadEntry(void* block);
  void ReleaseEndedThread();

  char baseName_[5] = {'Z', 'Q', 'V', 'D', '\0'};
  char devicePath_[kDevicePathSize] = {};
  int deviceIndex_ = 0;
  int32_t present_[kDeviceCount] = {};

  int slotCount_;
  FrameSlot* slots_ = nullptr;
  platform::GlobalMemory* frameMemory_ = nullptr;
  uint8_t* frameBuffer_ = nullptr;

  TransferBlock transfer_;
  platform::Thread* transferThread_ = nullptr;
  uint32_t lastTransferTicks_ = 0;

  platform::DeviceFile* singleFrameHandle_ = nullptr;
  char singleFramePath_[kDevicePathSize] = {};
  int singleReadAlternate_ = 0;
};

}  // namespace zelcnv::device
