// The simulated converters hosted in this process, reached as the library reaches them: through
// the device-file seam at their paths, and controlled through the ZelSim_* functions.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvSim.h"
#include "inprocess/sim_inprocess.h"
#include "model/device_registers.h"
#include "model/frame_stamp.h"
#include "model/wire_protocol.h"
#include "platform/device_file.h"

namespace zelsim::test {
namespace {

namespace platform = zelcnv::platform;

// One open device file, speaking the pipes.
class Handle {
 public:
  explicit Handle(int index) : file_(platform::OpenDeviceFile(DevicePath(index).c_str())) {}
  ~Handle() { platform::CloseDeviceFile(file_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  bool Transfer(uint32_t pipe, void* buffer, uint32_t length, uint32_t* moved = nullptr) {
    const uint8_t in[4] = {static_cast<uint8_t>(pipe), 0, 0, 0};
    return platform::ControlTransfer(file_, kCodeAltInDirect, in, sizeof in, buffer, length, moved);
  }
  bool Send(std::initializer_list<uint8_t> bytes) {
    uint8_t packet[kPacketBytes] = {};
    std::memcpy(packet, bytes.begin(), bytes.size());
    return Transfer(kRequestPipe, packet, kPacketBytes);
  }
  int ReadRegister(uint8_t address) {
    uint8_t answer[kPacketBytes] = {};
    if (!Send({kRequestReadRegister, address})) return -1;
    Transfer(kAnswerPipe, answer, kPacketBytes);
    return Transfer(kAnswerPipe, answer, kPacketBytes) ? answer[0] : -1;
  }
  bool Frame(std::vector<uint8_t>* frame, uint32_t length) {
    frame->assign(length, 0);
    uint32_t moved = 0;
    return Transfer(kVideoPipe, frame->data(), length, &moved) && moved == length;
  }

 private:
  platform::DeviceFile* file_;
};

// The sequence number of a raw frame, from field 1's first active line.
int64_t SequenceOf(const PictureParams& params, const std::vector<uint8_t>& raw) {
  const FrameGeometry g = GeometryFor(params);
  const size_t offset = (size_t(g.vStart) * g.hTotal + g.hStart) * params.bytesPerSample;
  uint32_t sequence = 0;
  return ReadFrameStamp(&raw[offset], params.bytesPerSample, &sequence) ? sequence : -1;
}

class InProcessHostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  }
};

TEST_F(InProcessHostTest, AttachServesThePathAndDetachWithdrawsIt) {
  EXPECT_EQ(DevicePath(3), "\\\\.\\ZQVD-3");
  EXPECT_EQ(ZelSim_Attach(-1, nullptr), 0);
  EXPECT_EQ(ZelSim_Attach(ZELSIM_MAX_DEVICES, nullptr), 0);
  EXPECT_FALSE(Handle(0).IsOpen());
  ASSERT_EQ(ZelSim_Attach(0, nullptr), 1);
  EXPECT_EQ(ZelSim_Attach(0, nullptr), 0) << "attached already";
  EXPECT_TRUE(Handle(0).IsOpen());
  EXPECT_FALSE(Handle(1).IsOpen());
  EXPECT_EQ(ZelSim_Detach(0), 1);
  EXPECT_EQ(ZelSim_Detach(0), 0);
  EXPECT_EQ(ZelSim_Detach(-1), 0);
  EXPECT_FALSE(Handle(0).IsOpen());
  ASSERT_EQ(ZelSim_Attach(0, ""), 1) << "an index is free again after a detach";
  EXPECT_TRUE(Handle(0).IsOpen());
}

TEST_F(InProcessHostTest, RefusedCallsChangeNothing) {
  EXPECT_EQ(ZelSim_Attach(1, "standard=16"), 0);
  EXPECT_FALSE(Handle(1).IsOpen());
  EXPECT_EQ(ZelSim_Configure(1, "port=1"), 0) << "not attached";
  EXPECT_EQ(ZelSim_InjectFault(1, "unplug"), 0);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(1, 0x01), -1);

  ASSERT_EQ(ZelSim_Attach(1, "standard=625"), 1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(1, kRegStandardStatus), 2);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(1, 256), -1);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(1, -1), -1);
  EXPECT_EQ(ZelSim_Configure(1, "standard=525 timing=never"), 0);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(1, kRegStandardStatus), 2);
  EXPECT_EQ(ZelSim_InjectFault(1, nullptr), 0);
  EXPECT_EQ(ZelSim_InjectFault(1, ""), 0);
  EXPECT_EQ(ZelSim_InjectFault(1, "unplug reboot"), 0);
  EXPECT_TRUE(Handle(1).IsOpen());
  PictureParams params{};
  EXPECT_FALSE(GetDevicePictureParams(2, &params));
  EXPECT_FALSE(GetDevicePictureParams(1, nullptr));
}

TEST_F(InProcessHostTest, RequestsThroughTheDeviceFileReachTheDevice) {
  ASSERT_EQ(ZelSim_Attach(2, "port=1"), 1);
  Handle handle(2);
  ASSERT_TRUE(handle.Send({kRequestWriteRegister, 0x8A, 0x33}));
  EXPECT_EQ(ZelSim_ReadDeviceRegister(2, 0x8A), 0x33);
  EXPECT_EQ(handle.ReadRegister(0x8A), 0x33);
  ASSERT_EQ(ZelSim_InjectFault(2, "read-fail=1"), 1);
  EXPECT_EQ(handle.ReadRegister(0x01), 0x15) << "the second read decides";
  ASSERT_TRUE(handle.Send({kRequestPortQuery}));
  uint8_t answer[kPacketBytes] = {};
  ASSERT_TRUE(handle.Transfer(kAnswerPipe, answer, kPacketBytes));
  EXPECT_EQ(answer[0], kPortLevelBit);
}

TEST_F(InProcessHostTest, FramesMatchTheExpectedPictureOfTheDevicesParameters) {
  ASSERT_EQ(ZelSim_Attach(4, "timing=free input0=moving"), 1);
  Handle handle(4);
  ASSERT_TRUE(handle.Send({kRequestWriteRegister, kRegClockControl, 0xC0}));
  ASSERT_TRUE(handle.Send({kRequestSampleWidth, 1}));
  PictureParams params{};
  ASSERT_TRUE(GetDevicePictureParams(4, &params));
  EXPECT_EQ(params.content, InputContent::kMoving);
  const FrameGeometry g = GeometryFor(params);
  std::vector<uint8_t> raw;
  ASSERT_TRUE(handle.Frame(&raw, RawFrameBytes(params)));
  const int64_t sequence = SequenceOf(params, raw);
  ASSERT_GE(sequence, 0);
  std::vector<uint8_t> expected(ExpectedPictureBytes(params));
  ASSERT_TRUE(RenderExpectedPicture(params, static_cast<uint32_t>(sequence), expected.data(),
                                    expected.size()));
  const size_t rowBytes = size_t(g.hActive) * 2;
  for (int32_t row = 0; row < 2 * g.vActive; ++row) {
    const int32_t line = row % 2 == 0 ? g.vStart + row / 2 : g.vTotal + g.vStart + row / 2;
    ASSERT_EQ(0, std::memcmp(&raw[(size_t(line) * g.hTotal + g.hStart) * 2],
                             &expected[row * rowBytes], rowBytes))
        << "row " << row;
  }
}

TEST_F(InProcessHostTest, RealtimeFramesFollowTheDeviceClock) {
  ASSERT_EQ(ZelSim_Attach(5, "standard=625"), 1);
  Handle handle(5);
  PictureParams params{};
  ASSERT_TRUE(GetDevicePictureParams(5, &params));
  std::vector<uint8_t> raw;
  ASSERT_TRUE(handle.Frame(&raw, RawFrameBytes(params)));
  const int64_t first = SequenceOf(params, raw);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(handle.Frame(&raw, RawFrameBytes(params)));
  EXPECT_GT(SequenceOf(params, raw), first) << "each transfer waits for a later frame";
}

TEST_F(InProcessHostTest, DetachEndsTransfersOnOpenHandles) {
  ASSERT_EQ(ZelSim_Attach(6, "timing=manual"), 1);
  Handle waiting(6);
  Handle idle(6);
  PictureParams params{};
  ASSERT_TRUE(GetDevicePictureParams(6, &params));
  std::atomic<bool> delivered{true};
  std::jthread transfer([&] {
    std::vector<uint8_t> raw;
    delivered = waiting.Frame(&raw, RawFrameBytes(params));
  });
  ASSERT_EQ(ZelSim_Detach(6), 1);
  transfer.join();
  EXPECT_FALSE(delivered);
  EXPECT_FALSE(idle.Send({kRequestFrame}));
  ASSERT_EQ(ZelSim_Attach(6, nullptr), 1);
  EXPECT_FALSE(idle.Send({kRequestFrame})) << "a handle on the old device stays dead";
  EXPECT_TRUE(Handle(6).Send({kRequestFrame}));
}

TEST_F(InProcessHostTest, UnplugRefusesOpensUntilReplug) {
  ASSERT_EQ(ZelSim_Attach(7, nullptr), 1);
  Handle before(7);
  ASSERT_EQ(ZelSim_InjectFault(7, "unplug"), 1);
  EXPECT_FALSE(Handle(7).IsOpen());
  EXPECT_FALSE(before.Send({kRequestFrame}));
  ASSERT_EQ(ZelSim_InjectFault(7, "replug"), 1);
  EXPECT_TRUE(Handle(7).Send({kRequestFrame}));
}

TEST_F(InProcessHostTest, ConvertersRunIndependentlyUnderConcurrentUse) {
  const char* kStandards[] = {"525", "625", "525w", "625w", "1", "3", "11", "9"};
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) {
    ASSERT_EQ(ZelSim_Attach(i, (std::string("timing=free standard=") + kStandards[i]).c_str()), 1);
  }
  const int kExpected[] = {0, 2, 4, 10, 1, 3, 11, 9};
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) {
    EXPECT_EQ(ZelSim_ReadDeviceRegister(i, kRegStandardStatus), kExpected[i]);
  }

  // A transfer thread streams from device 0 while another handle works its registers, the test
  // thread reconfigures it and device 7 comes and goes.
  constexpr int kFrames = 40;
  constexpr uint32_t kSamples = 442368;  // table B row 0, the power-on clock's row
  {
    Handle setup(0);
    ASSERT_TRUE(setup.Send({kRequestSampleWidth, 1}));
    ASSERT_TRUE(setup.Send(
        {kRequestSamplesPerFrame, kSamples & 0xFF, (kSamples >> 8) & 0xFF, kSamples >> 16}));
  }
  std::atomic<int> framesOk{0};
  std::jthread streaming([&] {
    Handle handle(0);
    std::vector<uint8_t> raw;
    for (int i = 0; i < kFrames; ++i) {
      if (handle.Frame(&raw, 2 * kSamples)) ++framesOk;
    }
  });
  std::jthread registers([&] {
    Handle handle(0);
    for (int i = 0; i < 200; ++i) {
      handle.Send({kRequestWriteRegister, kRegBrightness, static_cast<uint8_t>(i)});
      handle.ReadRegister(kRegBrightness);
    }
  });
  std::jthread churn([&] {
    for (int i = 0; i < 20; ++i) {
      ZelSim_Detach(7);
      ZelSim_Attach(7, "timing=free");
      Handle handle(7);
      handle.Send({kRequestFrame});
    }
  });
  for (int i = 0; i < 50; ++i) {
    ZelSim_Configure(0, i % 2 ? "input0=moving" : "input0=ramp");
    ZelSim_InjectFault(0, "clear");
    ZelSim_ReadDeviceRegister(0, kRegBrightness);
  }
  streaming.join();
  registers.join();
  churn.join();
  EXPECT_EQ(framesOk, kFrames);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(3, kRegStandardStatus), 10) << "others untouched";
}

}  // namespace
}  // namespace zelsim::test
