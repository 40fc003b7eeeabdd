// The demo: attach a simulated converter, let the device library probe, reset and program it,
// read a single frame, then stream through the transfer thread and report what arrived.
#include "demo.h"

#include <cstdio>
#include <string>
#include <vector>

#include "ZelCnvSim.h"
#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "model/frame_stamp.h"
#include "platform/clock.h"

namespace zelcnv::tool {

namespace {

using device::CZelCnvSdk;

constexpr int kDemoDevice = 0;
constexpr int kSlots = 10;
constexpr int kPollIntervalMs = 10;
const char* const kStandardNames[] = {"525-line", "625-line", "525-line 860-sample",
                                      "625-line 860-sample"};

// The luma of a woven two-byte-sample picture.
std::vector<uint8_t> Luma(const std::vector<uint8_t>& picture) {
  std::vector<uint8_t> luma(picture.size() / 2);
  for (size_t i = 0; i < luma.size(); ++i) luma[i] = picture[2 * i];
  return luma;
}

bool WritePgm(const std::string& path, int width, int height, const std::vector<uint8_t>& luma) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P5\n%d %d\n255\n", width, height);
  bool ok = std::fwrite(luma.data(), 1, luma.size(), file) == luma.size();
  return std::fclose(file) == 0 && ok;
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
  CZelCnvSdk lib(kSlots);  // probes devices 0..7, selects 0 and resets it
  std::printf("simulated converter attached (%s)\n", options.simConfig.c_str());
  std::printf("probe: present");
  for (int i = 0; i < CZelCnvSdk::GetDeviceCount(); ++i) {
    if (lib.IsPresent(i)) std::printf(" %d", i);
  }
  std::printf("; using %s\n", lib.DevicePath());

  std::printf("registers 0x00-0x0F:");
  for (int reg = 0; reg < 0x10; ++reg) {
    int value = 0;
    if (lib.ReadRegister(reg, &value)) {
      std::printf(" %02X", value);
    } else {
      std::printf(" --");
    }
  }
  std::printf("\n");

  // Wide LowSpeed: the 720-sample lines, all the lines a field has.
  lib.SetSamplingClock(0);
  const int standard = lib.DetectVideoStandard();
  lib.SetVideoFormat(device::kModeWideLowSpeed | standard);
  lib.SetSampleWidth(1);
  int width = 0, height = 0;
  lib.GetFrameRect(nullptr, nullptr, &width, &height, nullptr);
  std::printf("video standard %d (%s): %d x %d, %d samples per frame, %d bytes per transfer\n",
              standard, kStandardNames[standard], width, height, lib.SamplesPerFrame(),
              lib.FrameBytes());

  std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 2);
  if (lib.ReadSingleFrame() != device::kStatusOk) return Fail("single frame read failed");
  lib.DecodeSingleFrame(picture.data(), 0, 0, device::kSelectorCopyFrame);
  uint32_t sequence = 0;
  zelsim::ReadFrameStamp(picture.data(), 2, &sequence);
  std::string single = options.outputDirectory + "/single-frame.pgm";
  std::printf("single frame: sequence %u, luma written to %s\n", sequence,
              WritePgm(single, width, height, Luma(picture)) ? single.c_str() : "(write failed)");

  if (lib.StartTransfer() != device::kStatusOk) return Fail("could not start the transfer");
  const uint32_t start = platform::TickCountMs();
  int consumed = 0, dropped = 0;
  int64_t previous = -1;
  while (platform::TickCountMs() - start < static_cast<uint32_t>(options.seconds) * 1000u) {
    platform::SleepMs(kPollIntervalMs);
    int poll = lib.PollFrame();
    if (poll == device::kPollTransferFailed) break;
    if (poll != device::kPollNewFrame) continue;
    lib.DecodeRingFrame(picture.data(), 0, 0, device::kSelectorCopyFrame);
    if (zelsim::ReadFrameStamp(picture.data(), 2, &sequence)) {
      if (previous >= 0) dropped += static_cast<int>(sequence - previous - 1);
      previous = sequence;
    }
    ++consumed;
  }
  const int status = lib.StopTransfer();
  const int transfers = lib.Transfer().transferCount.load();
  const uint32_t ticks = lib.LastTransferTicks();
  std::printf("streamed %d frames in %u ms (%.2f frames/s), final status %d\n", transfers, ticks,
              ticks != 0 ? transfers * 1000.0 / ticks : 0.0, status);
  std::printf("consumer decoded %d frames, last sequence %lld, %d skipped by the ring\n", consumed,
              static_cast<long long>(previous), dropped);
  std::string last = options.outputDirectory + "/stream-frame.pgm";
  std::printf("last streamed frame's luma written to %s\n",
              WritePgm(last, width, height, Luma(picture)) ? last.c_str() : "(write failed)");
  ZelSim_Detach(kDemoDevice);
  return status == device::kStatusOk ? 0 : 1;
}

}  // namespace zelcnv::tool
