#include "converter_model.h"

#include <new>
#include <string.h>

#include "frame_stamp.h"

namespace zelsim {

namespace {

constexpr uint64_t kNsPerMs = 1000000;
constexpr InputContent kDefaultContents[kInputCount] = {
    InputContent::kBars, InputContent::kRamp, InputContent::kMoving,
    InputContent::kNone, InputContent::kNone, InputContent::kNone,
};
// Packet byte 1 of request 0x0A.
constexpr uint8_t kOneByteSamples = 0;
constexpr uint8_t kTwoByteSamples = 1;

bool IsTransferCode(uint32_t code) {
  return code == kCodeOutDirect || code == kCodeInDirect || code == kCodeAltOutDirect ||
         code == kCodeAltInDirect;
}

uint32_t LoadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t Min(uint32_t a, uint32_t b) {
  return a < b ? a : b;
}

// Copies what fits below `limit`: a short frame or a frame cut by the announced size simply ends.
void PutClipped(uint8_t* out, uint32_t limit, uint32_t offset, const uint8_t* src, uint32_t n) {
  if (offset >= limit) return;
  memcpy(out + offset, src, Min(n, limit - offset));
}

}  // namespace

class ConverterModel::Guard {
 public:
  explicit Guard(const SimHost& host) : host_(host) { host_.lock(host_.context); }
  ~Guard() { host_.unlock(host_.context); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  const SimHost& host_;
};

ConverterModel::ConverterModel(const SimHost& host) : host_(host) {
  LoadPowerOnRegisters(registers_);
  for (int i = 0; i < kInputCount; ++i) contents_[i] = kDefaultContents[i];
  // Power-on frame size: the host's reset format, 525-line square pixels, LowSpeed.
  samplesPerFrame_ = RowSamplesPerFrame(kTimingTableB[1]);
  timelineStartNs_ = host_.nowNs(host_.context);
}

ConverterModel* ConverterModel::Create(const SimHost& host) {
  if (host.nowNs == nullptr || host.lock == nullptr || host.unlock == nullptr ||
      host.wait == nullptr || host.wakeAll == nullptr || host.alloc == nullptr ||
      host.free == nullptr) {
    return nullptr;
  }
  void* memory = host.alloc(host.context, sizeof(ConverterModel));
  const size_t templateBytes = size_t{LargestFrameSamples()} * 2;
  const size_t movingBytes = size_t(kMovingPeriod + LargestActiveWidth()) * 2;
  uint8_t* rawTemplate = static_cast<uint8_t*>(host.alloc(host.context, templateBytes));
  uint8_t* movingSource = static_cast<uint8_t*>(host.alloc(host.context, movingBytes));
  if (memory == nullptr || rawTemplate == nullptr || movingSource == nullptr) {
    if (memory != nullptr) host.free(host.context, memory);
    if (rawTemplate != nullptr) host.free(host.context, rawTemplate);
    if (movingSource != nullptr) host.free(host.context, movingSource);
    return nullptr;
  }
  ConverterModel* model = new (memory) ConverterModel(host);
  model->rawTemplate_ = rawTemplate;
  model->movingSource_ = movingSource;
  return model;
}

void ConverterModel::Destroy(ConverterModel* model) {
  if (model == nullptr) return;
  const SimHost host = model->host_;
  uint8_t* rawTemplate = model->rawTemplate_;
  uint8_t* movingSource = model->movingSource_;
  model->~ConverterModel();
  host.free(host.context, rawTemplate);
  host.free(host.context, movingSource);
  host.free(host.context, model);
}

bool ConverterModel::Configure(const char* words) {
  SimConfig config;
  if (!ParseConfig(words, &config)) return false;
  Guard guard(host_);
  if (detached_) return false;
  ApplyConfig(config);
  host_.wakeAll(host_.context);
  return true;
}

bool ConverterModel::InjectFaults(const char* words) {
  FaultList faults;
  if (!ParseFaults(words, &faults)) return false;
  Guard guard(host_);
  if (detached_) return false;
  for (int i = 0; i < faults.count; ++i) ApplyFault(faults.actions[i]);
  host_.wakeAll(host_.context);
  return true;
}

void ConverterModel::Detach() {
  Guard guard(host_);
  detached_ = true;
  host_.wakeAll(host_.context);
}

bool ConverterModel::Open(uint32_t* connection) {
  if (connection == nullptr) return false;
  Guard guard(host_);
  if (detached_ || !plugged_) return false;
  *connection = plugGeneration_;
  return true;
}

bool ConverterModel::Control(uint32_t connection, uint32_t code, const void* in, uint32_t inLength,
                             void* out, uint32_t outLength, uint32_t* moved,
                             TransferLimits* limits) {
  uint32_t ignored = 0;
  if (moved == nullptr) moved = &ignored;
  *moved = 0;
  if (!IsTransferCode(code) || in == nullptr || inLength != kPipeNumberBytes) return false;
  if (out == nullptr) return false;
  const uint32_t pipe = LoadLe32(static_cast<const uint8_t*>(in));
  uint8_t* buffer = static_cast<uint8_t*>(out);

  Guard guard(host_);
  if (!Usable(connection)) return false;
  switch (pipe) {
    case kRequestPipe:
      if (!HandleRequest(buffer, outLength)) return false;
      *moved = kPacketBytes;
      return true;
    case kAnswerPipe:
      if (!ReadAnswer(buffer, outLength)) return false;
      *moved = kPacketBytes;
      return true;
    case kVideoPipe:
      return TransferFrame(connection, buffer, outLength, moved, limits);
    default:
      return false;
  }
}

void ConverterModel::Abort(TransferLimits* limits) {
  if (limits == nullptr) return;
  Guard guard(host_);
  limits->aborted = true;
  host_.wakeAll(host_.context);
}

int ConverterModel::ReadRegister(int address) {
  if (address < 0 || address >= kRegisterCount) return -1;
  Guard guard(host_);
  return RegisterValue(static_cast<uint8_t>(address));
}

PictureParams ConverterModel::CurrentPictureParams() {
  Guard guard(host_);
  return ParamsLocked();
}

bool ConverterModel::Usable(uint32_t connection) const {
  return !detached_ && plugged_ && connection == plugGeneration_;
}

PictureParams ConverterModel::ParamsLocked() const {
  PictureParams params;
  params.standard = standard_;
  params.squarePixels = (registers_[kRegClockControl] & kClockSquarePixelsBit) != 0;
  params.samplesPerFrame = samplesPerFrame_;
  params.bytesPerSample = bytesPerSample_;
  const int input = SelectedInput(registers_[kRegInputSelectA], registers_[kRegInputSelectB]);
  params.content = input == kNoInput ? InputContent::kNone : contents_[input];
  params.brightness = registers_[kRegBrightness];
  params.saturation = registers_[kRegSaturation];
  params.hue = registers_[kRegHue];
  params.contrast = registers_[kRegContrast];
  return params;
}

uint8_t ConverterModel::RegisterValue(uint8_t address) const {
  // The standard register reports what the decoder detects, whatever was written to it.
  if (address == kRegStandardStatus) return standard_;
  return registers_[address];
}

void ConverterModel::WriteRegister(uint8_t address, uint8_t value) {
  if (address == kRegResetStrobe) {
    LoadPowerOnRegisters(registers_);
  } else if (address != kRegStandardStatus) {
    registers_[address] = value;
  }
}

void ConverterModel::ApplyConfig(const SimConfig& config) {
  if (config.hasStandard) {
    const bool rateChanges = Is625LineStandard(config.standard) != Is625LineStandard(standard_);
    standard_ = config.standard;
    if (rateChanges) RestartTimeline();
  }
  for (int i = 0; i < kInputCount; ++i) {
    if (config.hasContent[i]) contents_[i] = config.content[i];
  }
  if (config.hasTiming && config.timing != timing_) {
    timing_ = config.timing;
    // Frames released for an earlier manual period must not leak into this one.
    if (timing_ == TimingMode::kManual) releaseCredit_ = 0;
    if (timing_ == TimingMode::kRealtime) RestartTimeline();
  }
  if (config.hasPort) portLevel_ = config.portLevel;
}

void ConverterModel::ApplyFault(const FaultAction& fault) {
  switch (fault.kind) {
    case FaultKind::kUnplug:
      plugged_ = false;
      ++plugGeneration_;
      break;
    case FaultKind::kReplug:
      plugged_ = true;
      break;
    case FaultKind::kFailAfter:
      failAfterArmed_ = true;
      failAfterLeft_ = fault.value;
      break;
    case FaultKind::kShort:
      shortLeft_ = fault.value;
      break;
    case FaultKind::kStall:
      stallMs_ = fault.value;
      break;
    case FaultKind::kReadFail:
      readFailLeft_ = fault.value;
      break;
    case FaultKind::kRelease:
      releaseCredit_ += fault.value;
      break;
    case FaultKind::kClear:
      failAfterArmed_ = false;
      failAfterLeft_ = 0;
      shortLeft_ = 0;
      stallMs_ = 0;
      readFailLeft_ = 0;
      break;
  }
}

void ConverterModel::RestartTimeline() {
  timelineStartNs_ = host_.nowNs(host_.context);
  timelineFirst_ = nextSequence_;
  ++timelineEpoch_;
}

bool ConverterModel::HandleRequest(const uint8_t* packet, uint32_t length) {
  if (length != kPacketBytes) return false;
  switch (packet[0]) {
    case kRequestFrame:
      // The frame itself is sent when the host reads the video pipe.
      return true;
    case kRequestWriteRegister:
      WriteRegister(packet[1], packet[2]);
      return true;
    case kRequestReset:
      LoadPowerOnRegisters(registers_);
      return true;
    case kRequestSamplesPerFrame: {
      const uint32_t samples = LoadLe32(packet + 1);
      if (samples == 0 || samples > kLargestSamplesPerFrame) return false;
      samplesPerFrame_ = samples;
      return true;
    }
    case kRequestSampleWidth:
      if (packet[1] == kOneByteSamples) {
        bytesPerSample_ = 1;
      } else if (packet[1] == kTwoByteSamples) {
        bytesPerSample_ = 2;
      } else {
        return false;
      }
      return true;
    case kRequestReadRegister:
      QueueAnswer(RegisterValue(packet[1]));
      return true;
    case kRequestPortQuery:
      QueueAnswer(portLevel_ != 0 ? kPortLevelBit : 0);
      return true;
    default:
      // The host library sends no other code; refusing makes a stray one visible.
      return false;
  }
}

void ConverterModel::QueueAnswer(uint8_t byte0) {
  if (answerCount_ == kAnswerQueueDepth) {
    answerHead_ = (answerHead_ + 1) % kAnswerQueueDepth;
    --answerCount_;
  }
  uint8_t* answer = answers_[(answerHead_ + answerCount_) % kAnswerQueueDepth];
  memset(answer, 0, kPacketBytes);
  answer[0] = byte0;
  ++answerCount_;
  memcpy(lastAnswer_, answer, kPacketBytes);
  haveAnswer_ = true;
}

bool ConverterModel::ReadAnswer(uint8_t* out, uint32_t length) {
  if (length != kPacketBytes) return false;
  if (readFailLeft_ > 0) {
    --readFailLeft_;
    return false;
  }
  if (answerCount_ > 0) {
    memcpy(out, answers_[answerHead_], kPacketBytes);
    answerHead_ = (answerHead_ + 1) % kAnswerQueueDepth;
    --answerCount_;
    return true;
  }
  // The host reads every answer twice; the second read finds the queue empty and gets the same.
  if (!haveAnswer_) return false;
  memcpy(out, lastAnswer_, kPacketBytes);
  return true;
}

// Called and returns with the lock held; the lock is given up only inside host_.wait, so every
// condition is checked again after each wait.
bool ConverterModel::TransferFrame(uint32_t connection, uint8_t* out, uint32_t length,
                                   uint32_t* moved, const TransferLimits* limits) {
  bool stalling = false;
  uint64_t stallUntil = 0;
  bool haveTarget = false;
  uint64_t target = 0;
  uint32_t targetEpoch = 0;
  const uint64_t giveUpAt = limits != nullptr ? limits->deadlineNs : kNoDeadline;
  // Every wait ends by the transfer's own deadline at the latest.
  auto waitUntil = [&](uint64_t deadline) {
    host_.wait(host_.context, deadline < giveUpAt ? deadline : giveUpAt);
  };
  for (;;) {
    if (!Usable(connection)) return false;
    if (limits != nullptr && limits->aborted) return false;
    const uint32_t frameBytes = samplesPerFrame_ * bytesPerSample_;
    if (length < frameBytes) return false;
    if (failAfterArmed_ && failAfterLeft_ == 0) return false;
    const uint64_t now = host_.nowNs(host_.context);
    if (now >= giveUpAt) return false;
    if (stallMs_ != 0) {
      stalling = true;
      stallUntil = now + stallMs_ * kNsPerMs;
      stallMs_ = 0;
      // The converter sends nothing meanwhile: the frames due in the stall are lost, and the
      // frame chosen before it is one of them.
      haveTarget = false;
    }
    if (stalling && now < stallUntil) {
      waitUntil(stallUntil);
      continue;
    }
    uint64_t sequence = nextSequence_;
    if (timing_ == TimingMode::kManual) {
      if (releaseCredit_ == 0) {
        waitUntil(kNoDeadline);
        continue;
      }
      --releaseCredit_;
    } else if (timing_ == TimingMode::kRealtime) {
      // Choose the frame once: a late wake-up must still deliver it rather than the one after.
      if (!haveTarget || targetEpoch != timelineEpoch_ || target < nextSequence_) {
        const uint64_t elapsed = now > timelineStartNs_ ? now - timelineStartNs_ : 0;
        target = timelineFirst_ + FirstFrameAtOrAfter(standard_, elapsed);
        if (target < nextSequence_) target = nextSequence_;
        targetEpoch = timelineEpoch_;
        haveTarget = true;
      }
      const uint64_t due = timelineStartNs_ + FrameOffsetNs(standard_, target - timelineFirst_);
      if (now < due) {
        waitUntil(due);
        continue;
      }
      sequence = target;
    }

    const PictureParams params = ParamsLocked();
    if (!preparedValid_ || !(params == prepared_)) Prepare(params);
    uint32_t limit = frameBytes;
    if (shortLeft_ > 0) {
      --shortLeft_;
      limit = frameBytes / 2;
    }
    ProduceFrame(static_cast<uint32_t>(sequence), out, limit);
    nextSequence_ = sequence + 1;
    if (failAfterArmed_ && failAfterLeft_ > 0) --failAfterLeft_;
    *moved = limit;
    return true;
  }
}

void ConverterModel::Prepare(const PictureParams& params) {
  const FrameGeometry g = GeometryFor(params);
  const uint32_t b = params.bytesPerSample;
  ToneTable tone;
  MakeToneTable(params, &tone);
  FillBlanking(rawTemplate_, g.frameSamples, static_cast<int>(b));
  if (params.content == InputContent::kMoving) {
    // Active lines are filled per frame from this source at the field's shift.
    RenderMovingSamples(params, tone, 0, kMovingPeriod + g.hActive, movingSource_);
  } else {
    // Still content is the same on every active line of both fields.
    const uint32_t lineBytes = static_cast<uint32_t>(g.hTotal) * b;
    const uint32_t activeBytes = static_cast<uint32_t>(g.hActive) * b;
    uint8_t* first = rawTemplate_ + static_cast<uint32_t>(g.vStart) * lineBytes +
                     static_cast<uint32_t>(g.hStart) * b;
    RenderContentLine(params, g, tone, 0, 0, first);
    for (int field = 0; field < 2; ++field) {
      for (int32_t line = 0; line < g.vActive; ++line) {
        const uint32_t index = static_cast<uint32_t>(field * g.vTotal + g.vStart + line);
        uint8_t* dst = rawTemplate_ + index * lineBytes + static_cast<uint32_t>(g.hStart) * b;
        if (dst != first) memcpy(dst, first, activeBytes);
      }
    }
  }
  prepared_ = params;
  preparedGeometry_ = g;
  preparedValid_ = true;
}

void ConverterModel::ProduceFrame(uint32_t sequence, uint8_t* out, uint32_t limit) {
  const FrameGeometry& g = preparedGeometry_;
  const uint32_t b = prepared_.bytesPerSample;
  const uint32_t templateBytes = g.frameSamples * b;
  const uint32_t copied = Min(templateBytes, limit);
  memcpy(out, rawTemplate_, copied);
  // Past the last active line of field 2 the frame is padding up to the announced size.
  if (limit > copied) memset(out + copied, 0, limit - copied);

  const uint32_t lineBytes = static_cast<uint32_t>(g.hTotal) * b;
  const uint32_t activeBytes = static_cast<uint32_t>(g.hActive) * b;
  const uint32_t windowOffset = static_cast<uint32_t>(g.hStart) * b;
  auto activeLineOffset = [&](int field, int32_t line) {
    return static_cast<uint32_t>(field * g.vTotal + g.vStart + line) * lineBytes + windowOffset;
  };
  for (int field = 0; field < 2; ++field) {
    if (prepared_.content == InputContent::kMoving) {
      const uint8_t* source = movingSource_ + MovingShift(sequence, field) * b;
      for (int32_t line = 0; line < g.vActive; ++line) {
        PutClipped(out, limit, activeLineOffset(field, line), source, activeBytes);
      }
    }
    uint8_t stampBytes[kStampSamples * 2];
    const uint8_t lines[2] = {kStampLineFirst, kStampLineLast};
    for (uint8_t which : lines) {
      const int32_t line = which == kStampLineFirst ? 0 : g.vActive - 1;
      WriteFrameStamp(stampBytes, static_cast<int>(b),
                      FrameStamp{sequence, static_cast<uint8_t>(field), which});
      PutClipped(out, limit, activeLineOffset(field, line), stampBytes, kStampSamples * b);
    }
  }
}

}  // namespace zelsim
