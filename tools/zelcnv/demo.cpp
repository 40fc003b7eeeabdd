// The demo: attach a simulated converter, read its registers through the transport, read a
// single frame, then stream through the transfer thread and report what arrived.
#include "demo.h"

#include <cstdio>
#include <string>
#include <vector>

#include "ZelCnvSim.h"
#include "device/protocol.h"
#include "device/transport.h"
#include "device/vxm_sdk_lib.h"
#include "model/frame_stamp.h"
#include "platform/clock.h"

namespace zelcnv::tool {

namespace {

using device::CVXMSdkLib;

constexpr int kDemoDevice = 0;
constexpr int kSlots = 10;
constexpr uint8_t kStandardRegister = 0x88;

// The Wide LowSpeed rows of the two line standards: where the picture lies in a raw frame.
struct Timing {
  const char* name;
  int hStart, hActive, hTotal, vStart, vActive, vTotal;
  int SamplesPerFrame() const {
    int samples = hTotal * (vTotal + vStart + vActive);
    return (samples + 1023) / 1024 * 1024;
  }
};
constexpr Timing k525Lines{"525-line", 82, 720, 858, 12, 240, 263};
constexpr Timing k625Lines{"625-line", 81, 720, 864, 16, 285, 313};

// Luma of the woven picture, top row first.
std::vector<uint8_t> WeaveLuma(const Timing& t, const uint8_t* raw) {
  std::vector<uint8_t> luma(static_cast<size_t>(t.hActive) * 2 * t.vActive);
  for (int row = 0; row < 2 * t.vActive; ++row) {
    int line = row % 2 == 0 ? t.vStart + row / 2 : t.vTotal + t.vStart + row / 2;
    const uint8_t* src = raw + 2 * (line * t.hTotal + t.hStart);
    for (int x = 0; x < t.hActive; ++x) luma[row * t.hActive + x] = src[2 * x];
  }
  return luma;
}

bool WritePgm(const std::string& path, const Timing& t, const std::vector<uint8_t>& luma) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P5\n%d %d\n255\n", t.hActive, 2 * t.vActive);
  bool ok = std::fwrite(luma.data(), 1, luma.size(), file) == luma.size();
  return std::fclose(file) == 0 && ok;
}

int ReadRegister(platform::DeviceFile* handle, uint8_t reg) {
  uint8_t value = 0;
  return device::QueryIndexedRequest(handle, reg, &value, 1) == device::kStatusOk ? value : -1;
}

int Fail(const char* what) {
  std::fprintf(stderr, "zelcnv demo: %s\n", what);
  ZelSim_Detach(kDemoDevice);
  return 1;
}

}  // namespace

int RunDemo(const DemoOptions& options) {
  if (ZelSim_Attach(kDemoDevice, options.simConfig.c_str()) != 1) {
    std::fprintf(stderr, "zelcnv demo: the simulator refused \"%s\"\n", options.simConfig.c_str());
    return 1;
  }
  CVXMSdkLib lib(kSlots);
  lib.SetAlternateCodes(true, true);
  std::printf("simulated converter attached at %s (%s)\n", lib.DevicePath(),
              options.simConfig.c_str());

  platform::DeviceFile* handle = platform::OpenDeviceFile(lib.DevicePath());
  if (handle == nullptr) return Fail("cannot open the device");
  std::printf("registers 0x00-0x0F:");
  for (int reg = 0; reg < 0x10; ++reg) std::printf(" %02X", ReadRegister(handle, reg));
  int standard = ReadRegister(handle, kStandardRegister);
  std::printf("\nregister 0x88 (video standard): 0x%02X\n", standard);
  const Timing& timing = (standard & 0x0F) == 2 || (standard & 0x0F) == 3 ||
                                 (standard & 0x0F) == 10 || (standard & 0x0F) == 11
                             ? k625Lines
                             : k525Lines;
  const int samples = timing.SamplesPerFrame();
  const uint8_t size[4] = {static_cast<uint8_t>(samples), static_cast<uint8_t>(samples >> 8),
                           static_cast<uint8_t>(samples >> 16), 0};
  int status = device::SendSimpleRequest(handle, device::kRequestFrameSize, size, 4);
  platform::CloseDeviceFile(handle);
  if (status != device::kStatusOk) return Fail("the frame size request failed");

  lib.SetSampleWidth(1);
  if (lib.AllocateFrameMemory(samples) != device::kStatusOk) return Fail("out of memory");
  std::printf("%s timing: %d x %d picture, %d samples per frame, %d bytes per transfer\n",
              timing.name, timing.hActive, 2 * timing.vActive, samples, lib.FrameBytes());

  if (lib.ReadSingleFrame() != device::kStatusOk) return Fail("single frame read failed");
  std::vector<uint8_t> luma = WeaveLuma(timing, lib.SingleFrameBuffer());
  uint32_t sequence = 0;
  zelsim::ReadFrameStamp(luma.data(), 1, &sequence);
  std::string single = options.outputDirectory + "/single-frame.pgm";
  std::printf("single frame: sequence %u, luma written to %s\n", sequence,
              WritePgm(single, timing, luma) ? single.c_str() : "(write failed)");

  if (lib.StartTransfer() != device::kStatusOk) return Fail("could not start the transfer");
  const uint32_t start = platform::TickCountMs();
  int consumed = 0, skipped = 0;
  int64_t previous = -1;
  while (platform::TickCountMs() - start < static_cast<uint32_t>(options.seconds) * 1000u) {
    platform::SleepMs(10);  // the consumer's polling interval
    int poll = lib.PollFrame();
    if (poll == device::kPollTransferFailed) break;
    if (poll != device::kPollNewFrame) continue;
    int slot = lib.Transfer().readIndex.load();
    luma = WeaveLuma(timing, lib.Slots()[slot].data);
    if (zelsim::ReadFrameStamp(luma.data(), 1, &sequence)) {
      if (previous >= 0 && sequence != previous + 1)
        skipped += static_cast<int>(sequence - previous - 1);
      previous = sequence;
    }
    lib.Transfer().readIndex.store(slot + 1 == kSlots ? 0 : slot + 1);
    ++consumed;
  }
  status = lib.StopTransfer();
  const int transfers = lib.Transfer().transferCount.load();
  const uint32_t ticks = lib.LastTransferTicks();
  std::printf("streamed %d transfers in %u ms (%.2f frames/s), status %d\n", transfers, ticks,
              ticks != 0 ? transfers * 1000.0 / ticks : 0.0, status);
  std::printf("consumer took %d frames, last sequence %lld, %d frames dropped by the ring\n",
              consumed, static_cast<long long>(previous), skipped);
  std::string last = options.outputDirectory + "/stream-frame.pgm";
  std::printf("last streamed frame's luma written to %s\n",
              WritePgm(last, timing, luma) ? last.c_str() : "(write failed)");
  ZelSim_Detach(kDemoDevice);
  return status == device::kStatusOk ? 0 : 1;
}

}  // namespace zelcnv::tool
