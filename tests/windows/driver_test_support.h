// Talking to the simulated-converter driver the way the library talks to the converter's own
// driver: CreateFileA on \\.\ZQVD-N and DeviceIoControl with the wire protocol's pipes, codes and
// request packets, plus the driver's own view of a converter through its control device.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <utility>
#include <vector>

#include "ZelCnvSim.h"
#include "model/frame_stamp.h"
#include "model/picture.h"
#include "model/wire_protocol.h"
#include "sim_control.h"

namespace zelsim::test {

// A device handle, closed when it goes out of scope.
class DeviceHandle {
 public:
  DeviceHandle() = default;
  // Opens `path` as the library opens the converter; invalid() when that fails.
  explicit DeviceHandle(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr)),
        error_(handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}
  static DeviceHandle Converter(int index) { return DeviceHandle(DevicePath(index)); }
  ~DeviceHandle() { Close(); }
  DeviceHandle(DeviceHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)), error_(other.error_) {}
  DeviceHandle& operator=(DeviceHandle&& other) noexcept {
    Close();
    handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
    error_ = other.error_;
    return *this;
  }

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // GetLastError() of a failed open.
  DWORD openError() const { return error_; }
  void Close() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
};

// The outcome of one DeviceIoControl.
struct IoResult {
  bool ok;
  DWORD moved;
  DWORD error;  // GetLastError() when !ok
};

inline IoResult Control(HANDLE handle, DWORD code, const void* in, DWORD inLength, void* out,
                        DWORD outLength) {
  DWORD moved = 0;
  const bool ok = DeviceIoControl(handle, code, const_cast<void*>(in), inLength, out, outLength,
                                  &moved, nullptr) != FALSE;
  return IoResult{ok, moved, ok ? 0 : GetLastError()};
}

// One pipe transfer: the pipe number as the 4-byte input, `buffer` as the data.
inline IoResult PipeTransfer(HANDLE handle, uint32_t pipe, void* buffer, DWORD length,
                             DWORD code = kCodeInDirect) {
  const uint8_t in[kPipeNumberBytes] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8),
                                        static_cast<uint8_t>(pipe >> 16),
                                        static_cast<uint8_t>(pipe >> 24)};
  return Control(handle, code, in, sizeof in, buffer, length);
}

// A request packet: `bytes` first, zeros after.
inline bool SendRequest(HANDLE handle, std::initializer_list<uint8_t> bytes) {
  uint8_t packet[kPacketBytes] = {};
  std::memcpy(packet, bytes.begin(), bytes.size());
  const IoResult result = PipeTransfer(handle, kRequestPipe, packet, sizeof packet);
  return result.ok && result.moved == kPacketBytes;
}

// Byte 0 of the next answer, -1 when the read fails.
inline int ReadAnswer(HANDLE handle) {
  uint8_t answer[kPacketBytes] = {};
  const IoResult result = PipeTransfer(handle, kAnswerPipe, answer, sizeof answer, kCodeOutDirect);
  return result.ok && result.moved == kPacketBytes ? answer[0] : -1;
}

// Register access as the library does it, each on a handle of its own.
inline bool WriteRegister(int index, uint8_t address, uint8_t value) {
  DeviceHandle device = DeviceHandle::Converter(index);
  return device.valid() && SendRequest(device.get(), {kRequestWriteRegister, address, value});
}

// The query is answered on the second read; -1 when anything fails.
inline int ReadRegister(int index, uint8_t address) {
  DeviceHandle device = DeviceHandle::Converter(index);
  if (!device.valid() || !SendRequest(device.get(), {kRequestReadRegister, address})) return -1;
  if (ReadAnswer(device.get()) < 0) return -1;
  return ReadAnswer(device.get());
}

inline PictureParams Params(int index) {
  PictureParams params{};
  EXPECT_TRUE(GetDevicePictureParams(index, &params)) << "converter " << index;
  return params;
}

// Announces the frame size the geometry of `params` needs (request 0x09), as the library does
// when it selects a video format: at power-on the device's size cuts the frame short.
inline bool AnnounceWholeFrames(HANDLE handle, const PictureParams& params) {
  const uint32_t samples =
      (GeometryFor(params).frameSamples + kSampleBlock - 1) / kSampleBlock * kSampleBlock;
  return SendRequest(
      handle,
      {kRequestSamplesPerFrame, static_cast<uint8_t>(samples), static_cast<uint8_t>(samples >> 8),
       static_cast<uint8_t>(samples >> 16), static_cast<uint8_t>(samples >> 24)});
}

// The stamp of a raw frame of a converter with `params`, at `field`'s first or last active line.
inline bool RawFrameStamp(const std::vector<uint8_t>& frame, const PictureParams& params, int field,
                          StampLine line, FrameStamp* stamp) {
  const FrameGeometry g = GeometryFor(params);
  const int32_t row = field * g.vTotal + g.vStart + (line == kStampLineFirst ? 0 : g.vActive - 1);
  const size_t offset = (size_t(row) * g.hTotal + g.hStart) * params.bytesPerSample;
  if (offset + size_t{kStampSamples} * params.bytesPerSample > frame.size()) return false;
  return ReadFrameStamp(frame.data() + offset, params.bytesPerSample, stamp);
}

// One frame from the video pipe into `frame`, sized for the converter's current frame.
inline IoResult ReadFrame(HANDLE handle, const PictureParams& params, std::vector<uint8_t>* frame,
                          DWORD code = kCodeAltInDirect) {
  frame->assign(RawFrameBytes(params), 0xEE);
  return PipeTransfer(handle, kVideoPipe, frame->data(), static_cast<DWORD>(frame->size()), code);
}

// The driver publishes how many video transfers it holds but cannot signal a change: poll it.
inline bool AwaitWaitingTransfers(int index, uint32_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    control::DeviceState state{};
    if (QueryDeviceState(index, &state) && state.waitingTransfers == count) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
}

}  // namespace zelsim::test
