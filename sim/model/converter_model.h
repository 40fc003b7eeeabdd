// One simulated converter: its registers, its three pipes, the frames it sends and the faults a
// test can inject. Runs wherever a SimHost is provided (a test, the in-process host on Linux, the
// kernel-mode driver), so it uses no C++ runtime and allocates only when created.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "device_registers.h"
#include "device_timing.h"
#include "picture.h"
#include "sim_config.h"
#include "sim_host.h"
#include "wire_protocol.h"

namespace zelsim {

// The largest frame size a host may announce with request 0x09.
inline constexpr uint32_t kLargestSamplesPerFrame = 1u << 22;
// Answers not yet read; when more queue up, the oldest is dropped.
inline constexpr int kAnswerQueueDepth = 8;

// What bounds one frame transfer, owned by whoever issues it and handed to Control: the transfer
// fails once the model's clock reaches `deadlineNs`, and at once after Abort, which holds for
// every later transfer given the same limits. Read and written under the model's lock, except
// `deadlineNs`, which only the issuing thread writes, before the call.
struct TransferLimits {
  uint64_t deadlineNs = kNoDeadline;
  bool aborted = false;
};

class ConverterModel {
 public:
  // Power-on state, standard 525, realtime timing, default input contents. Null when the host
  // cannot provide the memory.
  static ConverterModel* Create(const SimHost& host);
  // No thread may be inside the model any more.
  static void Destroy(ConverterModel* model);

  // Apply configuration or fault words (see sim_config.h); false, with nothing changed, for a
  // text with any bad word, or once detached.
  bool Configure(const char* words);
  bool InjectFaults(const char* words);

  // For good: opens fail, every transfer fails and waiting transfers return at once.
  void Detach();

  // A connection token for one open handle; false while unplugged or detached. A token stays
  // dead after an unplug, even once the device is plugged in again.
  bool Open(uint32_t* connection);

  // One control transfer as the driver receives it: `in` holds the pipe number, `out` is the data
  // buffer (the request packet on the request pipe). `moved` (optional) receives the bytes moved.
  // Fails for an unknown code or pipe, a wrong size, an unknown request code or a bad parameter;
  // a frame transfer blocks until its frame is due (without holding the lock), or until `limits`
  // (optional) end it.
  bool Control(uint32_t connection, uint32_t code, const void* in, uint32_t inLength, void* out,
               uint32_t outLength, uint32_t* moved, TransferLimits* limits = nullptr);
  // From any thread: the transfer waiting with `limits` fails now, as does every later one given
  // them. A converter that has gone silent (a stall, manual timing) cannot hold a stop up.
  void Abort(TransferLimits* limits);

  // The device-side value of a register, -1 for an address outside 0..255.
  int ReadRegister(int address);
  // What the next frame will show.
  PictureParams CurrentPictureParams();

 private:
  explicit ConverterModel(const SimHost& host);

  class Guard;

  bool Usable(uint32_t connection) const;
  PictureParams ParamsLocked() const;
  uint8_t RegisterValue(uint8_t address) const;
  void WriteRegister(uint8_t address, uint8_t value);
  void ApplyConfig(const SimConfig& config);
  void ApplyFault(const FaultAction& fault);
  void RestartTimeline();

  bool HandleRequest(const uint8_t* packet, uint32_t length);
  void QueueAnswer(uint8_t byte0);
  bool ReadAnswer(uint8_t* out, uint32_t length);
  bool TransferFrame(uint32_t connection, uint8_t* out, uint32_t length, uint32_t* moved,
                     const TransferLimits* limits);
  void Prepare(const PictureParams& params);
  void ProduceFrame(uint32_t sequence, uint8_t* out, uint32_t limit);

  SimHost host_;
  uint8_t* rawTemplate_ = nullptr;   // a whole raw frame of the prepared state, without stamps
  uint8_t* movingSource_ = nullptr;  // the moving pattern, long enough for any shift
  bool preparedValid_ = false;
  PictureParams prepared_{};
  FrameGeometry preparedGeometry_{};

  uint8_t registers_[kRegisterCount] = {};
  uint8_t standard_ = 0;
  InputContent contents_[kInputCount] = {};
  TimingMode timing_ = TimingMode::kRealtime;
  uint8_t portLevel_ = 0;
  uint32_t samplesPerFrame_ = 0;
  uint8_t bytesPerSample_ = 1;

  uint8_t answers_[kAnswerQueueDepth][kPacketBytes] = {};
  int answerHead_ = 0;
  int answerCount_ = 0;
  uint8_t lastAnswer_[kPacketBytes] = {};
  bool haveAnswer_ = false;

  bool detached_ = false;
  bool plugged_ = true;
  uint32_t plugGeneration_ = 0;

  bool failAfterArmed_ = false;
  uint32_t failAfterLeft_ = 0;
  uint32_t shortLeft_ = 0;
  uint32_t stallMs_ = 0;
  uint32_t readFailLeft_ = 0;
  uint64_t releaseCredit_ = 0;

  // The device's frame timeline: frame `timelineFirst_ + k` is due `FrameOffsetNs(k)` after
  // `timelineStartNs_`. Restarted (and `timelineEpoch_` bumped) when the frame rate changes.
  uint64_t nextSequence_ = 0;
  uint64_t timelineStartNs_ = 0;
  uint64_t timelineFirst_ = 0;
  uint32_t timelineEpoch_ = 0;
};

}  // namespace zelsim
