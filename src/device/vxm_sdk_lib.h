// The device library object: device path, frame ring, transfer thread and single-frame read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "device/frame_numbering.h"
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
  // 1 while no thread runs: before the first start, and from the thread's end to the next start.
  std::atomic<int32_t> ended{1};
  std::atomic<int32_t> failed{0};
  // The thread's worker, which says whether it goes on.
  const platform::Worker* worker = nullptr;
  FrameRing* ring = nullptr;
  // Signalled after each published frame and once the thread has ended.
  platform::Event* published = nullptr;
  int32_t useAlternateCodes = 0;
  const char* devicePath = nullptr;
  // The standard's frame period, by which the thread numbers the frames it publishes.
  FramePeriod period;
  // The thread's open device file, so that a stop can cut short the transfer it waits in (a
  // converter gone silent sends nothing, for ever); a file opened after the stop is cancelled at
  // once.
  std::mutex deviceMutex;
  platform::DeviceFile* device = nullptr;  // under deviceMutex
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

// Where the rows of the picture a raw frame weaves lie in it: picture row 2k is row k of field 1,
// row 2k + 1 row k of field 2; rows of a field lie `pitchBytes` apart.
struct FieldRows {
  const uint8_t* field[2] = {nullptr, nullptr};  // picture rows 0 and 1
  size_t pitchBytes = 0;
  int32_t width = 0;   // pixels of a row
  int32_t height = 0;  // picture rows, both fields together
  int32_t bytesPerSample = 0;

  // Rows of field 0 (the picture's even rows) or 1 (its odd rows).
  int32_t Rows(int which) const { return which == 0 ? (height + 1) / 2 : height / 2; }
  const uint8_t* Row(int32_t pictureRow) const {
    return field[pictureRow % 2] + static_cast<size_t>(pictureRow / 2) * pitchBytes;
  }
};

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
  // The converters whose device paths open now: bit i for index i.
  static uint32_t PresentDevices();
  [[nodiscard]] bool IsPresent(int index) const;
  // What a watch over the device paths saw, from its own thread.
  void SetPresent(uint32_t present);
  // Index 0..7 (else kStatusBadDeviceIndex); rebuilds the current device path.
  Status SelectDevice(int index);
  int GetDeviceIndex() const { return deviceIndex_; }
  static int GetDeviceCount() { return kDeviceCount; }
  const char* DevicePath() const { return devicePath_; }

  // Frees and reallocates the single-frame buffer and every ring slot for `samplesPerFrame`
  // samples (each buffer 2 x samples bytes, zero-filled). All or nothing: on failure nothing is
  // left allocated (kStatusNoMemory). Refused with kStatusAlreadyRunning while the transfer
  // thread runs.
  [[nodiscard]] Status AllocateFrameMemory(int samplesPerFrame);
  void FreeFrameMemory();
  int SamplesPerFrame() const { return geometry_.samplesPerFrame; }
  const FrameGeometry& Geometry() const { return geometry_; }

  // Stores the sample width and tells the device (a sample-width request).
  void SetSampleWidth(bool twoBytes);
  bool TwoByteSamples() const { return twoByteSamples_ != 0; }
  int BytesPerSample() const { return twoByteSamples_ != 0 ? 2 : 1; }
  int FrameBytes() const { return geometry_.samplesPerFrame * BytesPerSample(); }

  // Transfer control. The frame period numbers the frames of the transfers started after it.
  void SetFramePeriod(FramePeriod period) { transfer_.period = period; }
  [[nodiscard]] Status StartTransfer();
  // Cancels the frame transfer in flight and returns once the thread has ended, whatever the
  // converter does: the thread's final status (kStatusOk when none had to be stopped; a transfer
  // cut short by the stop is not a failure).
  Status StopTransfer();
  // The consumer's look at the ring: kStatusOk when it now holds the newest frame it had not
  // taken, kStatusNoNewFrame, kStatusFrameFailed once the thread ended on a failed transfer, or
  // kStatusNotRunning.
  [[nodiscard]] Status PollFrame();
  // The consumer's wait for something to poll: returns once a frame it has not taken is
  // published, the transfer thread is not running (ended by itself, stopped or not started), or
  // frame waits are stopped; false when `timeoutMs` passed first. One consumer at a time.
  bool WaitFrame(uint32_t timeoutMs);
  // While stopped, WaitFrame returns at once; stopping wakes a consumer waiting now. From any
  // thread; a stream's owner stops the waits before it stops the consumer and lets them go on
  // before it starts one.
  void StopFrameWaits(bool stop);
  // One frame into the single-frame buffer, waiting at most `timeoutMs` for it
  // (kStatusFrameFailed after that; the next read opens the device again).
  [[nodiscard]] Status ReadSingleFrame(uint32_t timeoutMs = platform::kWaitForever);
  bool TransferRunning() const { return transfer_.ended.load() == 0; }
  // Whether another device library object of this process streams from the selected converter
  // (from its transfer start to its stop). Its set-up and format programming then leave the
  // converter alone: a reset, a new format or sample width would change the frames under the
  // other stream's feet.
  [[nodiscard]] bool StreamedElsewhere() const;
  // Waits until the transfer thread has ended by itself (true) or `timeoutMs` passed.
  [[nodiscard]] bool WaitTransferEnded(uint32_t timeoutMs);
  uint32_t LastTransferTicks() const { return lastTransferTicks_; }
  // The transfer thread's processor time so far (Worker::CpuTimeNs); false when none runs.
  bool TransferThreadCpuNs(uint64_t* nanoseconds) const {
    return transferWorker_.CpuTimeNs(nanoseconds);
  }

  // The picture rows of the slot the ring's reader holds (after PollFrame found a new frame), read
  // in place: kStatusNullPointer when the reader holds no slot, kStatusBadRegion for a geometry
  // without pixels. The slot stays the reader's, untouched by the transfer thread, until
  // ReleaseRingFrame.
  [[nodiscard]] Status HeldRingFrame(FieldRows* rows) const;
  // The capture time and number of the slot the reader holds (HeldRingFrame gave kStatusOk).
  const SlotFacts& HeldRingFacts() const { return ring_.ReadFacts(); }
  void ReleaseRingFrame() { ring_.ReleaseRead(); }
  // The same for the frame the last ReadSingleFrame read.
  [[nodiscard]] Status HeldSingleFrame(FieldRows* rows) const;

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
  // The picture rows of `raw` under the current geometry and sample width.
  FieldRows RowsOf(const uint8_t* raw) const;
  Status RowsIn(const uint8_t* raw, FieldRows* rows) const;

  FrameGeometry geometry_;
  int32_t twoByteSamples_ = 0;

 private:
  static void TransferThreadEntry(void* block);
  // Collects a transfer thread that ended by itself.
  void ReleaseEndedThread();

  char devicePath_[kDevicePathSize] = {};
  int deviceIndex_ = 0;
  std::atomic<bool> present_[kDeviceCount] = {};

  FrameRing ring_;
  platform::GlobalMemory* frameMemory_ = nullptr;
  uint8_t* frameBuffer_ = nullptr;

  TransferBlock transfer_;
  platform::Worker transferWorker_;
  // The converter this object's transfer streams from until it is stopped (-1: none), counted in
  // `streams_`, the process's streams per converter.
  int32_t streamingFrom_ = -1;
  static std::atomic<int32_t> streams_[kDeviceCount];
  // Made by the first transfer start (a consumer may wait already); lives as long as this object.
  std::atomic<platform::Event*> frameEvent_{nullptr};
  std::atomic<bool> frameWaitsStopped_{false};
  uint32_t lastTransferTicks_ = 0;

  platform::DeviceFile* singleFrameHandle_ = nullptr;
  char singleFramePath_[kDevicePathSize] = {};
  int singleReadAlternate_ = 0;
};

}  // namespace zelcnv::device
