// Measures the simulated converter's real-time pacing as a Windows program sees it through the
// driver: streams frames from \\.\ZQVD-0 for a while and prints how many arrived, how long that
// took and which device frames were skipped. A 525-line converter is due 30000/1001 frames a
// second, so 10 s should bring 300 +/- 3 frames.
//
//   zelsim_stream_timing [seconds] [standard]      (defaults: 10 s, 525)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model/frame_stamp.h"
#include "model/picture.h"
#include "model/wire_protocol.h"
#include "sim_control.h"

namespace {

constexpr int kIndex = 0;

bool PipeTransfer(HANDLE device, uint32_t code, uint32_t pipe, void* buffer, DWORD length,
                  DWORD* moved) {
  const uint8_t in[zelsim::kPipeNumberBytes] = {static_cast<uint8_t>(pipe), 0, 0, 0};
  return DeviceIoControl(device, code, const_cast<uint8_t*>(in), sizeof in, buffer, length, moved,
                         nullptr) != FALSE;
}

double SecondsSince(const LARGE_INTEGER& start, const LARGE_INTEGER& frequency) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

int Measure(double seconds, const std::string& standard) {
  zelsim::PictureParams params{};
  if (!zelsim::GetDevicePictureParams(kIndex, &params)) {
    std::fprintf(stderr, "no converter %d: is the zqvdsim driver running?\n", kIndex);
    return 1;
  }
  const zelsim::FrameGeometry g = zelsim::GeometryFor(params);
  const DWORD frameBytes = zelsim::RawFrameBytes(params);
  const size_t stampOffset = (size_t(g.vStart) * g.hTotal + g.hStart) * params.bytesPerSample;
  std::vector<uint8_t> frame(frameBytes);

  HANDLE device = CreateFileA(zelsim::DevicePath(kIndex).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "cannot open %s\n", zelsim::DevicePath(kIndex).c_str());
    return 1;
  }
  uint8_t request[zelsim::kPacketBytes] = {zelsim::kRequestFrame};
  LARGE_INTEGER frequency, start;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int frames = 0;
  int failures = 0;
  uint32_t first = 0, last = 0;
  double firstAt = 0, elapsed = 0;
  for (;;) {
    DWORD moved = 0;
    PipeTransfer(device, zelsim::kCodeInDirect, zelsim::kRequestPipe, request, sizeof request,
                 &moved);
    const bool ok = PipeTransfer(device, zelsim::kCodeInDirect, zelsim::kVideoPipe, frame.data(),
                                 frameBytes, &moved);
    const double now = SecondsSince(start, frequency);
    if (now > seconds) break;  // a frame that arrives after the window does not count
    elapsed = now;
    uint32_t sequence = 0;
    if (!ok || moved != frameBytes ||
        !zelsim::ReadFrameStamp(frame.data() + stampOffset, params.bytesPerSample, &sequence)) {
      ++failures;
      continue;
    }
    if (frames == 0) {
      first = sequence;
      firstAt = now;
    }
    last = sequence;
    ++frames;
  }
  CloseHandle(device);
  const uint32_t span = frames > 0 ? last - first + 1 : 0;
  // The rate counts the intervals between frames, not the wait for the first one.
  const double rate = frames > 1 ? (frames - 1) / (elapsed - firstAt) : 0.0;
  std::printf(
      "standard %s: %d frames in %.3f s (window %.1f s), %.3f frames/s; device frames "
      "%u..%u, %u skipped, %d failed transfers\n",
      standard.c_str(), frames, elapsed, seconds, rate, first, last,
      span - static_cast<uint32_t>(frames), failures);
  return failures == 0 && frames > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  const std::string standard = argc > 2 ? argv[2] : "525";
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: zelsim_stream_timing [seconds] [standard]\n");
    return 2;
  }
  ZelSim_Detach(kIndex);
  const std::string config = "timing=realtime standard=" + standard;
  if (ZelSim_Attach(kIndex, config.c_str()) != 1) {
    std::fprintf(stderr, "cannot attach converter %d with \"%s\": is the zqvdsim driver running?\n",
                 kIndex, config.c_str());
    return 1;
  }
  const int result = Measure(seconds, standard);
  ZelSim_Detach(kIndex);
  return result;
}
