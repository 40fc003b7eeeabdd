// A converter whose every answer comes from the fuzzer: opens that fail, request and answer
// transfers that fail or move too few or too many bytes, garbage answers, short, long and failing
// frames. Initialisation, enumeration, register access, the video standard, the I/O port, single
// frames and a streaming run either work or report a failure; none reads or writes outside its
// buffers, none hangs.
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "imaging/field_weave.h"
#include "fuzz_input.h"
#include "platform/posix/device_namespace.h"

using namespace zelcnv;

namespace {

constexpr char kDevicePath[] = "\\\\.\\ZQVD-0";

// The script every connection reads its next answer from; shared with the transfer thread.
class Script {
 public:
  void Reset(const uint8_t* data, size_t size) {
    std::lock_guard lock(mutex_);
    bytes_.assign(data, data + size);
    at_ = 0;
  }
  uint8_t Byte() {
    std::lock_guard lock(mutex_);
    return at_ < bytes_.size() ? bytes_[at_++] : 0;
  }
  bool Exhausted() {
    std::lock_guard lock(mutex_);
    return at_ >= bytes_.size();
  }
  // Fills `out` from the script, repeating what is left.
  void Fill(uint8_t* out, size_t length) {
    std::lock_guard lock(mutex_);
    const size_t left = at_ < bytes_.size() ? bytes_.size() - at_ : 0;
    if (left == 0) {
      std::memset(out, 0, length);
      return;
    }
    size_t done = length < left ? length : left;
    std::memcpy(out, bytes_.data() + at_, done);
    while (done < length) {
      const size_t step = length - done < done ? length - done : done;
      std::memcpy(out + done, out, step);
      done += step;
    }
    at_ += length < left ? length : left;
  }

 private:
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
  size_t at_ = 0;
};

Script& TheScript() {
  static Script* script = new Script;
  return *script;
}

class ScriptedConnection final : public platform::DeviceConnection {
 public:
  bool Control(uint32_t, const void* in, uint32_t inLength, void* out, uint32_t outLength,
               uint32_t* bytesMoved, uint32_t /*timeoutMs*/) override {
    Script& script = TheScript();
    // An exhausted script is an unplugged converter: every transfer fails, nothing blocks.
    if (script.Exhausted()) return false;
    uint32_t pipe = 0;
    if (in != nullptr && inLength >= 4) std::memcpy(&pipe, in, 4);
    const uint8_t action = script.Byte();
    switch (action % 6) {
      case 0:
        return false;  // the driver fails the transfer
      case 1:          // nothing moved
        *bytesMoved = 0;
        return true;
      case 2:  // short: part of the buffer
        *bytesMoved = outLength != 0 ? script.Byte() % outLength : 0;
        break;
      case 3:  // a count larger than the buffer, as a broken driver might report
        *bytesMoved = outLength + 1 + script.Byte();
        break;
      default:  // whole
        *bytesMoved = outLength;
        break;
    }
    // Device-to-host pipes receive the script's bytes, within the buffer only.
    if (pipe != device::kRequestPipe && out != nullptr) {
      script.Fill(static_cast<uint8_t*>(out), outLength);
    }
    return true;
  }
};

class ScriptedBackend final : public platform::DeviceBackend {
 public:
  std::unique_ptr<platform::DeviceConnection> Open() override {
    if (TheScript().Byte() % 8 == 0) return nullptr;  // the converter refuses to open
    return std::make_unique<ScriptedConnection>();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered =
      platform::RegisterDevicePath(kDevicePath, std::make_shared<ScriptedBackend>());
  if (!registered) __builtin_trap();
  zelcnv::fuzz::FuzzInput plan(data, size);
  const uint8_t first = plan.Byte();
  TheScript().Reset(data + (size != 0 ? 1 : 0), size != 0 ? size - 1 : 0);

  device::CZelCnvSdk lib(2);  // probe, select 0, reset
  int value = 0;
  // Any answer may fail here; what counts is that none crashes or reports nonsense.
  (void)lib.ReadRegister(first, &value);
  if (value < 0 || value > 255) __builtin_trap();
  (void)lib.WriteRegister(0x09, first);
  (void)lib.SelectInput(first % 7);
  const int standard = lib.DetectVideoStandard();
  if (standard < 0 || standard > 3) __builtin_trap();
  int level = 0;
  (void)lib.QueryIoPort(&level);
  (void)lib.SetSamplingClock(first & 1);
  (void)lib.SetVideoFormat((first & 0x70) | standard);
  (void)lib.SetSampleWidth((first & 0x80) != 0 ? 1 : 0);

  // A picture sized for this very geometry takes every frame the library reads.
  const device::FrameGeometry& g = lib.Geometry();
  imaging::FrameBitmap picture;
  const bool sized =
      picture.Create(g.frameWidth, g.frameHeight, uint16_t(8 * lib.BytesPerSample())) != 0;
  const auto weave = [&](Status held, const device::FieldRows& rows) {
    if (held != kStatusOk || !sized) return;
    const imaging::InterlacedFrame frame{{rows.field[0], rows.field[1]},
                                         rows.pitchBytes,
                                         rows.width,
                                         rows.height,
                                         rows.bytesPerSample};
    if (!imaging::WeaveFrame(frame, nullptr, picture, nullptr, false)) __builtin_trap();
  };
  device::FieldRows rows;
  if (lib.ReadSingleFrame() == kStatusOk) weave(lib.HeldSingleFrame(&rows), rows);
  if (lib.StartTransfer() == kStatusOk) {
    // Until the transfer thread fails (an exhausted script fails every transfer) or a few
    // frames have come.
    for (int polls = 0, frames = 0; polls < 100000 && frames < 3; ++polls) {
      const int poll = lib.PollFrame();
      if (poll == kStatusFrameFailed || poll == kStatusNotRunning) break;
      if (poll != kStatusOk) continue;
      ++frames;
      weave(lib.HeldRingFrame(&rows), rows);
      lib.ReleaseRingFrame();
    }
    lib.StopTransfer();
  }
  return 0;
}
