// The device library object: device path, frame ring, transfer thread and single-frame read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "device/frame_ring.h"
#include "device/protocol.h"
#include "platform/device_file.h"
#include "platform/frame_memory.h"
#include "platform/worker.h"

namespace zelcnv::device {

constexpr int kDeviceCount = 8;
constexpr int kDevicePathSize = 128;
constexpr char kDeviceBaseName[] = "ZQVD";

// Parameters and results shared between the library and its transfer thread. Fields the two
// threads both touch are atomic; the frames themselves travel through the ring.
struct TransferBlock {
  int32_t transferLength = 0;
  std::atomic<uint32_t> elapsedTicks{0};
  std::atomic<int32_t> transferCount{0};
  std::atomic<int32_t> status{kStatusOk};
  std::atomic<int32_t> stopped{1};
  std::atomic<int32_t> failed{0};
  FrameRing* ring = nullptr;
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
  [[nodiscard]] bool IsPresent(int index) const;
  // Index 0..7 (else kStatusBadDeviceIndex); rebuilds the current device path.
  LibStatus SelectDevice(int index);
  int GetDeviceIndex() const { return deviceIndex_; }
  static int GetDeviceCount() { return kDeviceCount; }
  const char* DevicePath() const { return devicePath_; }

  // Frees and reallocates the single-frame buffer and every ring slot for `samplesPerFrame`
  // samples (each buffer 2 x samples bytes, zero-filled). All or nothing: on failure nothing is
  // left allocated (kStatusNoMemory). Refused with kStatusAlreadyRunning while the transfer
  // thread runs.
  [[nodiscard]] LibStatus AllocateFrameMemory(int samplesPerFrame);
  void FreeFrameMemory();
  int SamplesPerFrame() const { return geometry_.samplesPerFrame; }
  const FrameGeometry& Geometry() const { return geometry_; }

  // Stores the sample width and tells the device (a sample-width request).
  void SetSampleWidth(bool twoBytes);
  bool TwoByteSamples() const { return twoByteSamples_ != 0; }
  int BytesPerSample() const { return twoByteSamples_ != 0 ? 2 : 1; }
  int FrameBytes() const { return geometry_.samplesPerFrame * BytesPerSample(); }

  // Transfer control.
  [[nodiscard]] LibStatus StartTransfer();
  // The transfer thread's final status (kStatusOk when none had to be stopped).
  LibStatus StopTransfer();
  [[nodiscard]] PollResult PollFrame();
  [[nodiscard]] LibStatus ReadSingleFrame();
  bool TransferRunning() const { return transfer_.stopped.load() == 0; }
  // Waits until the transfer thread has ended by itself (true) or `timeoutMs` passed.
  [[nodiscard]] bool WaitTransferEnded(uint32_t timeoutMs);
  uint32_t LastTransferTicks() const { return lastTransferTicks_; }

  // Decoding a raw frame (layout of the current geometry) into a picture.
  // BGR24 of an inclusive region, rows alternating between the fields: kStatusOk,
  // kStatusBadRegion or kStatusNullPointer.
  [[nodiscard]] virtual LibStatus DecodeRegion(uint8_t* output, const uint8_t* raw, int colour,
                                               int reserved, int left, int top, int right,
                                               int bottom);
  [[nodiscard]] virtual LibStatus DecodeFrame(uint8_t* output, const uint8_t* raw, int colour,
                                              int reserved);
  // The raw active frame, fields woven, frameWidth x bytes-per-sample per row.
  virtual void CopyFrame(uint8_t* output, const uint8_t* raw);
  // The single-frame buffer or the ring's read slot into `output`, which holds `capacity`
  // bytes: a frame of the current geometry that does not fit is refused (kStatusBadRegion),
  // nothing written.
  [[nodiscard]] LibStatus DecodeSingleFrame(uint8_t* output, size_t capacity, int colour,
                                            int reserved, int selector);
  [[nodiscard]] LibStatus DecodeRingFrame(uint8_t* output, size_t capacity, int colour,
                                          int reserved, int selector);
  // Bytes a decode with `selector` writes for the current geometry and sample width.
  size_t DecodedBytes(int selector) const;

  TransferBlock& Transfer() { return transfer_; }
  FrameRing& Ring() { return ring_; }
  const FrameRing& Ring() const { return ring_; }
  uint8_t* SingleFrameBuffer() { return frameBuffer_; }

  void SetAlternateCodes(bool frames, bool singleRead) {
    transfer_.useAlternateCodes = frames ? 1 : 0;
    singleReadAlternate_ = singleRead ? 1 : 0;
  }

 protected:
  // Opens the current device path; null when it cannot be opened.
  platform::DeviceFile* OpenDevice() const;
  LibStatus Dispatch(uint8_t* output, size_t capacity, const uint8_t* raw, int colour, int reserved,
                     int selector);

  FrameGeometry geometry_;
  int32_t interlaced_ = 0;
  int32_t twoByteSamples_ = 0;
  int32_t decodeMode_ = kDecodeModeDefault;

 private:
  static void TransferThreadEntry(void* block);
  // Collects a transfer thread that ended by itself.
  void ReleaseEndedThread();

  char baseName_[5] = {'Z', 'Q', 'V', 'D', '\0'};
  char devicePath_[kDevicePathSize] = {};
  int deviceIndex_ = 0;
  bool present_[kDeviceCount] = {};

  FrameRing ring_;
  platform::GlobalMemory* frameMemory_ = nullptr;
  uint8_t* frameBuffer_ = nullptr;

  TransferBlock transfer_;
  platform::Worker transferWorker_;
  uint32_t lastTransferTicks_ = 0;

  platform::DeviceFile* singleFrameHandle_ = nullptr;
  char singleFramePath_[kDevicePathSize] = {};
  int singleReadAlternate_ = 0;
};

}  // namespace zelcnv::device
