// Under Wine against the zqvdsim driver: register and frame transfers as raw DeviceIoControl
// calls, transfers that wait for their frame while other handles keep working, and the ways a
// waiting transfer ends early.
#include <future>
#include <string>

#include "driver_test_support.h"
#include "model/device_registers.h"

namespace zelsim::test {
namespace {

using namespace std::chrono_literals;

// How long a transfer that an unplug or detach ends may take; its stall would last an hour.
constexpr auto kPromptly = 5s;
// A guard for work that must not be held up by a waiting transfer.
constexpr auto kGuard = 30s;

class DriverTransfers : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int index : attached_) ZelSim_Detach(index);
  }

  void Attach(int index, const char* config) {
    ASSERT_EQ(ZelSim_Attach(index, config), 1);
    attached_.push_back(index);
  }

  std::vector<int> attached_;
};

// A video transfer on its own handle and thread, as the library's transfer thread makes it.
std::future<IoResult> TransferInBackground(int index, std::vector<uint8_t>* frame) {
  const PictureParams params = Params(index);
  frame->assign(RawFrameBytes(params), 0xEE);
  return std::async(std::launch::async, [index, frame] {
    DeviceHandle device = DeviceHandle::Converter(index);
    if (!device.valid()) return IoResult{false, 0, device.openError()};
    return PipeTransfer(device.get(), kVideoPipe, frame->data(), static_cast<DWORD>(frame->size()));
  });
}

TEST_F(DriverTransfers, RegisterWritesReadBackThroughRawRequests) {
  Attach(0, nullptr);
  const std::pair<uint8_t, uint8_t> writes[] = {
      {kRegBrightness, 0x5A}, {kRegHue, 0xA5}, {kRegClockControl, 0x81}, {0xF0, 0x3C}};
  for (const auto& [address, value] : writes) {
    SCOPED_TRACE(address);
    ASSERT_TRUE(WriteRegister(0, address, value));
    EXPECT_EQ(ZelSim_ReadDeviceRegister(0, address), value);
    EXPECT_EQ(ReadRegister(0, address), value);
  }
  // The standard register reports the configured standard whatever is written to it.
  ASSERT_EQ(ZelSim_Configure(0, "standard=625"), 1);
  ASSERT_TRUE(WriteRegister(0, kRegStandardStatus, 0x07));
  EXPECT_EQ(ReadRegister(0, kRegStandardStatus), 2);
}

TEST_F(DriverTransfers, FailedAnswerReadConsumesNoAnswer) {
  Attach(0, nullptr);
  ASSERT_TRUE(WriteRegister(0, kRegContrast, 0x42));
  DeviceHandle device = DeviceHandle::Converter(0);
  ASSERT_TRUE(SendRequest(device.get(), {kRequestReadRegister, kRegContrast}));
  ASSERT_EQ(ZelSim_InjectFault(0, "read-fail=1"), 1);
  uint8_t answer[kPacketBytes] = {};
  const IoResult failed =
      PipeTransfer(device.get(), kAnswerPipe, answer, sizeof answer, kCodeOutDirect);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.error, static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(ReadAnswer(device.get()), 0x42);
}

TEST_F(DriverTransfers, FrameTransferDeliversAWholeStampedFrame) {
  Attach(0, "timing=free");
  DeviceHandle device = DeviceHandle::Converter(0);
  ASSERT_TRUE(AnnounceWholeFrames(device.get(), Params(0)));
  std::vector<uint8_t> frame;
  uint32_t previous = 0;
  // Every transfer code moves a frame; only the pipe decides the direction.
  const DWORD codes[] = {kCodeInDirect, kCodeAltInDirect, kCodeOutDirect, kCodeAltOutDirect};
  for (size_t i = 0; i < std::size(codes); ++i) {
    SCOPED_TRACE(codes[i]);
    const PictureParams params = Params(0);
    const IoResult result = ReadFrame(device.get(), params, &frame, codes[i]);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.moved, RawFrameBytes(params));
    FrameStamp first{}, last{};
    ASSERT_TRUE(RawFrameStamp(frame, params, 0, kStampLineFirst, &first));
    ASSERT_TRUE(RawFrameStamp(frame, params, 1, kStampLineLast, &last));
    EXPECT_EQ(first.sequence, last.sequence);
    EXPECT_EQ(last.field, kStampFieldSecond);
    if (i > 0) {
      EXPECT_EQ(first.sequence, previous + 1);
    }
    previous = first.sequence;
  }
  // Two-byte samples double the frame, and the stamp follows.
  ASSERT_TRUE(SendRequest(device.get(), {kRequestSampleWidth, 1}));
  const PictureParams wide = Params(0);
  ASSERT_EQ(wide.bytesPerSample, 2);
  const IoResult result = ReadFrame(device.get(), wide, &frame);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.moved, RawFrameBytes(wide));
  FrameStamp stamp{};
  ASSERT_TRUE(RawFrameStamp(frame, wide, 0, kStampLineFirst, &stamp));
  EXPECT_EQ(stamp.sequence, previous + 1);
}

TEST_F(DriverTransfers, ShortAndFailedFramesEndAsTheDeviceDecides) {
  Attach(0, "timing=free");
  DeviceHandle device = DeviceHandle::Converter(0);
  const PictureParams params = Params(0);
  std::vector<uint8_t> frame;

  ASSERT_EQ(ZelSim_InjectFault(0, "short=1"), 1);
  IoResult result = ReadFrame(device.get(), params, &frame);
  EXPECT_TRUE(result.ok) << "a short frame still succeeds";
  EXPECT_EQ(result.moved, RawFrameBytes(params) / 2);
  EXPECT_EQ(frame.back(), 0xEE) << "bytes past the short frame were written";

  ASSERT_EQ(ZelSim_InjectFault(0, "fail-after=0"), 1);
  result = ReadFrame(device.get(), params, &frame);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(result.moved, 0u);

  ASSERT_EQ(ZelSim_InjectFault(0, "clear"), 1);
  frame.assign(RawFrameBytes(params) - 1, 0);
  EXPECT_FALSE(PipeTransfer(device.get(), kVideoPipe, frame.data(), DWORD(frame.size())).ok)
      << "a buffer smaller than the frame";
  EXPECT_TRUE(ReadFrame(device.get(), params, &frame).ok);
}

TEST_F(DriverTransfers, UnplugOrDetachEndsAWaitingTransferPromptly) {
  for (const std::string ending : {"unplug", "detach"}) {
    SCOPED_TRACE(ending);
    ASSERT_EQ(ZelSim_Attach(4, "timing=realtime"), 1);
    ASSERT_EQ(ZelSim_InjectFault(4, "stall=3600000"), 1);
    std::vector<uint8_t> frame;
    std::future<IoResult> transfer = TransferInBackground(4, &frame);
    ASSERT_TRUE(AwaitWaitingTransfers(4, 1));

    if (ending == "unplug") {
      ASSERT_EQ(ZelSim_InjectFault(4, "unplug"), 1);
    } else {
      ASSERT_EQ(ZelSim_Detach(4), 1);
    }
    ASSERT_EQ(transfer.wait_for(kPromptly), std::future_status::ready);
    EXPECT_FALSE(transfer.get().ok);
    if (ending == "unplug") {
      EXPECT_TRUE(AwaitWaitingTransfers(4, 0));
      ASSERT_EQ(ZelSim_Detach(4), 1);
    }
  }
}

TEST_F(DriverTransfers, RegisterWorkGoesOnWhileAVideoTransferWaits) {
  Attach(0, "timing=manual");
  Attach(1, nullptr);
  std::vector<uint8_t> frame;
  std::future<IoResult> transfer = TransferInBackground(0, &frame);
  ASSERT_TRUE(AwaitWaitingTransfers(0, 1));

  auto registerWork = std::async(std::launch::async, [] {
    for (int i = 0; i < 25; ++i) {
      const auto value = static_cast<uint8_t>(0x20 + i);
      for (int index : {0, 1}) {
        if (!WriteRegister(index, kRegSaturation, value)) return false;
        if (ReadRegister(index, kRegSaturation) != value) return false;
      }
    }
    return true;
  });
  ASSERT_EQ(registerWork.wait_for(kGuard), std::future_status::ready)
      << "register work is held up by the waiting transfer";
  EXPECT_TRUE(registerWork.get());
  EXPECT_EQ(transfer.wait_for(0s), std::future_status::timeout) << "nothing released a frame";

  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  ASSERT_EQ(transfer.wait_for(kGuard), std::future_status::ready);
  const IoResult result = transfer.get();
  ASSERT_TRUE(result.ok) << result.error;
  FrameStamp stamp{};
  EXPECT_TRUE(RawFrameStamp(frame, Params(0), 0, kStampLineFirst, &stamp));
}

TEST_F(DriverTransfers, TwoConvertersStreamAtOnce) {
  Attach(0, "timing=free");
  Attach(1, "timing=free input0=ramp");
  auto stream = [](int index) {
    DeviceHandle device = DeviceHandle::Converter(index);
    const PictureParams params = Params(index);
    std::vector<uint8_t> frame;
    std::vector<uint32_t> sequences;
    for (int i = 0; i < 30; ++i) {
      FrameStamp stamp{};
      if (!ReadFrame(device.get(), params, &frame).ok ||
          !RawFrameStamp(frame, params, 0, kStampLineFirst, &stamp)) {
        break;
      }
      sequences.push_back(stamp.sequence);
    }
    return sequences;
  };
  auto first = std::async(std::launch::async, stream, 0);
  auto second = std::async(std::launch::async, stream, 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadRegister(1, kRegBrightness), 0x80);
  for (auto* result : {&first, &second}) {
    const std::vector<uint32_t> sequences = result->get();
    ASSERT_EQ(sequences.size(), 30u);
    for (size_t i = 1; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], sequences[i - 1] + 1);
  }
}

// A transfer still queued behind another can be cancelled; the one waiting for its frame is not
// disturbed.
TEST_F(DriverTransfers, CancelledQueuedTransferLeavesTheQueue) {
  Attach(0, "timing=manual");
  HANDLE device = CreateFileA(DevicePath(0).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  ASSERT_NE(device, INVALID_HANDLE_VALUE);
  const PictureParams params = Params(0);
  std::vector<uint8_t> frames[2];
  OVERLAPPED overlapped[2] = {};
  const uint8_t pipe[kPipeNumberBytes] = {kVideoPipe, 0, 0, 0};
  for (int i = 0; i < 2; ++i) {
    frames[i].assign(RawFrameBytes(params), 0);
    overlapped[i].hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const BOOL done =
        DeviceIoControl(device, kCodeInDirect, const_cast<uint8_t*>(pipe), sizeof pipe,
                        frames[i].data(), DWORD(frames[i].size()), nullptr, &overlapped[i]);
    ASSERT_FALSE(done);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    ASSERT_TRUE(AwaitWaitingTransfers(0, i + 1));
  }

  ASSERT_TRUE(CancelIoEx(device, &overlapped[1]));
  DWORD moved = 0;
  EXPECT_FALSE(GetOverlappedResult(device, &overlapped[1], &moved, TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  EXPECT_TRUE(AwaitWaitingTransfers(0, 1));

  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  ASSERT_EQ(WaitForSingleObject(overlapped[0].hEvent, 30000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetOverlappedResult(device, &overlapped[0], &moved, FALSE));
  EXPECT_EQ(moved, RawFrameBytes(params));
  for (OVERLAPPED& o : overlapped) CloseHandle(o.hEvent);
  CloseHandle(device);
}

}  // namespace
}  // namespace zelsim::test
