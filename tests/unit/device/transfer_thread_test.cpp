// The transfer thread and the ring, streaming from the simulated converter.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "ZelCnvSim.h"
#include "device/protocol.h"
#include "device/transport.h"
#include "device/vxm_sdk_lib.h"
#include "model/frame_stamp.h"
#include "model/picture.h"

namespace zelcnv::device {
namespace {

constexpr int kSlots = 10;
constexpr int kDevice = 3;
// 525-line timing, 720-sample lines, LowSpeed table: 720 x 480.
constexpr uint32_t kSamplesPerFrame = 442368;

// Polls a condition that has no notification of its own (an index another thread moves).
bool Eventually(const std::function<bool()>& condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class TransferThreadTest : public ::testing::Test {
 protected:
  void Attach(const char* config) {
    ASSERT_EQ(ZelSim_Attach(kDevice, config), 1);
    attached_ = true;
    ASSERT_EQ(lib_.SelectDevice(kDevice), kStatusOk);
    ASSERT_EQ(lib_.AllocateFrameMemory(kSamplesPerFrame), kStatusOk);
    platform::DeviceFile* handle = platform::OpenDeviceFile(lib_.DevicePath());
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(SendFrameSizeRequest(handle, kSamplesPerFrame), kStatusOk);
    platform::CloseDeviceFile(handle);
    lib_.SetSampleWidth(1);
    lib_.SetAlternateCodes(true, true);
  }

  void TearDown() override {
    if (lib_.Transfer().ended.load() == 0) {
      ZelSim_InjectFault(kDevice, "release=1000000");  // a manual device must not block the stop
      lib_.StopTransfer();
    }
    if (attached_) ZelSim_Detach(kDevice);
  }

  zelsim::PictureParams Params(zelsim::InputContent content) const {
    zelsim::PictureParams params{};
    params.standard = 0;
    params.squarePixels = false;
    params.samplesPerFrame = kSamplesPerFrame;
    params.bytesPerSample = 2;
    params.content = content;
    params.brightness = zelsim::kNeutralBrightness;
    params.saturation = zelsim::kNeutralSaturation;
    params.hue = zelsim::kNeutralHue;
    params.contrast = zelsim::kNeutralContrast;
    return params;
  }

  // The stamp of a raw frame, read from field 1's first active line; -1 for an empty slot.
  int64_t SlotSequence(int slot) const {
    zelsim::FrameGeometry g = zelsim::GeometryFor(Params(zelsim::InputContent::kBars));
    const uint8_t* line = lib_.Ring().Slot(slot) + 2 * (g.vStart * g.hTotal + g.hStart);
    uint32_t sequence = 0;
    return zelsim::ReadFrameStamp(line, 2, &sequence) ? int64_t{sequence} : -1;
  }

  // Weaves a raw slot into the decoded picture, rows alternating between the two fields.
  std::vector<uint8_t> Weave(const uint8_t* raw) const {
    zelsim::FrameGeometry g = zelsim::GeometryFor(Params(zelsim::InputContent::kBars));
    std::vector<uint8_t> picture(2 * g.vActive * g.hActive * 2);
    for (int row = 0; row < 2 * g.vActive; ++row) {
      int line = row % 2 == 0 ? g.vStart + row / 2 : g.vTotal + g.vStart + row / 2;
      std::memcpy(&picture[row * g.hActive * 2], raw + 2 * (line * g.hTotal + g.hStart),
                  g.hActive * 2);
    }
    return picture;
  }

  CVXMSdkLib lib_{kSlots};
  bool attached_ = false;
};

TEST_F(TransferThreadTest, WriterStepsOverTheSlotTheReaderHolds) {
  Attach("timing=manual");
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  lib_.Ring().SetReadIndex(3);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "fail-after=14"), 1);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=14"), 1);
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));

  // Fill order 0,1,2,4,...,9,0,1,2,4,5: the second lap overwrote slots 0-2, 4 and 5.
  int64_t first = SlotSequence(6) - 5;
  const int64_t frameInSlot[kSlots] = {9, 10, 11, -1, 12, 13, 5, 6, 7, 8};
  for (int slot = 0; slot < kSlots; ++slot) {
    int64_t expected = frameInSlot[slot] < 0 ? -1 : first + frameInSlot[slot];
    EXPECT_EQ(SlotSequence(slot), expected) << "slot " << slot;
  }
  EXPECT_EQ(lib_.Ring().WriteIndex(), 7) << "the failed transfer still advances";
  EXPECT_EQ(lib_.Transfer().transferCount.load(), 15);
  EXPECT_EQ(lib_.StopTransfer(), kStatusFrameFailed);
}

TEST_F(TransferThreadTest, WrapOntoReadIndexZeroContinuesAtSlotOne) {
  Attach("timing=manual");
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "fail-after=11"), 1);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=11"), 1);
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));
  int64_t first = SlotSequence(0);
  ASSERT_GE(first, 0);
  EXPECT_EQ(SlotSequence(1), first + 10) << "slot 0 is held, so frame 10 goes to slot 1";
  EXPECT_EQ(SlotSequence(2), first + 2);
  EXPECT_EQ(lib_.StopTransfer(), kStatusFrameFailed);
}

TEST_F(TransferThreadTest, PollReportsNoFrameUntilTheFirstTransferThenTheNewestSlot) {
  Attach("timing=manual");
  EXPECT_EQ(lib_.PollFrame(), kStatusNotRunning);
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  EXPECT_EQ(lib_.StartTransfer(), kStatusAlreadyRunning);
  EXPECT_EQ(lib_.PollFrame(), kStatusNoNewFrame);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=3"), 1);
  ASSERT_TRUE(Eventually([&] { return lib_.Ring().WriteIndex() == 3; }));
  EXPECT_EQ(lib_.PollFrame(), kStatusOk);
  EXPECT_EQ(lib_.Ring().ReadIndex(), 2);
  lib_.Ring().SetReadIndex(3);  // the consumer is done with slot 2
  EXPECT_EQ(lib_.PollFrame(), kStatusNoNewFrame);

  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=1000000"), 1);
  ASSERT_TRUE(Eventually([&] { return lib_.Ring().WriteIndex() != 3; }));
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
  EXPECT_EQ(lib_.PollFrame(), kStatusNotRunning);
  EXPECT_GT(lib_.Transfer().transferCount.load(), 3);
}

// The consumer's wait ends for a frame it has not taken, for the transfer thread's end and for a
// stop of the waits; otherwise it lasts its time.
TEST_F(TransferThreadTest, FrameWaitsEndWithANewFrameTheThreadsEndOrAStop) {
  Attach("timing=manual");
  EXPECT_TRUE(lib_.WaitFrame(platform::kWaitForever)) << "no transfer: nothing to wait for";
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  EXPECT_FALSE(lib_.WaitFrame(20)) << "nothing published";

  std::thread release([] { ZelSim_InjectFault(kDevice, "release=1"); });
  EXPECT_TRUE(lib_.WaitFrame(60000));
  release.join();
  EXPECT_EQ(lib_.PollFrame(), kStatusOk);
  lib_.ReleaseRingFrame();  // the consumer is done with it
  EXPECT_FALSE(lib_.WaitFrame(20)) << "the frame was taken";

  std::thread stop([this] { lib_.StopFrameWaits(true); });
  EXPECT_TRUE(lib_.WaitFrame(60000)) << "woken by the stop";
  stop.join();
  EXPECT_TRUE(lib_.WaitFrame(platform::kWaitForever)) << "stopped: at once";
  lib_.StopFrameWaits(false);
  EXPECT_FALSE(lib_.WaitFrame(20));

  ASSERT_EQ(ZelSim_InjectFault(kDevice, "unplug"), 1);
  EXPECT_TRUE(lib_.WaitFrame(60000)) << "woken by the thread's end";
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));
  EXPECT_EQ(lib_.PollFrame(), kStatusFrameFailed);
  EXPECT_EQ(lib_.StopTransfer(), kStatusFrameFailed);
}

TEST_F(TransferThreadTest, ShortTransferEndsTheThreadAndStopReportsItOnce) {
  Attach("timing=free");
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "short=1"), 1);
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));
  EXPECT_EQ(lib_.PollFrame(), kStatusFrameFailed);
  EXPECT_EQ(lib_.Transfer().transferCount.load(), 1);
  EXPECT_EQ(lib_.StopTransfer(), kStatusFrameFailed);
  EXPECT_EQ(lib_.Transfer().failed.load(), 0);
  EXPECT_EQ(lib_.PollFrame(), kStatusNotRunning);
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
  // The library can stream again after the failure.
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  ASSERT_TRUE(Eventually([&] { return lib_.PollFrame() == kStatusOk; }));
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
}

TEST_F(TransferThreadTest, StopWithoutStartAndAThreadThatCouldNotOpenTheDevice) {
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
  // No converter at this path: the thread ends at once with status 10, which stop reports as 0.
  ASSERT_EQ(lib_.SelectDevice(7), kStatusOk);
  ASSERT_EQ(lib_.AllocateFrameMemory(kSamplesPerFrame), kStatusOk);
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));
  EXPECT_EQ(lib_.Transfer().status.load(), kStatusNoDevice);
  EXPECT_EQ(lib_.Transfer().transferCount.load(), 0);
  EXPECT_EQ(lib_.PollFrame(), kStatusNotRunning);
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
  EXPECT_EQ(lib_.StartTransfer(), kStatusOk) << "the ended thread's handles were released";
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
}

TEST_F(TransferThreadTest, StartWithoutFrameMemoryStartsNothing) {
  lib_.FreeFrameMemory();
  EXPECT_EQ(lib_.StartTransfer(), kStatusNoMemory);
  EXPECT_EQ(lib_.PollFrame(), kStatusNotRunning);
}

TEST_F(TransferThreadTest, UnplugEndsABlockedTransferAtOnce) {
  Attach("timing=realtime");
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  ASSERT_TRUE(Eventually([&] { return lib_.PollFrame() == kStatusOk; }));
  // A stall far longer than any wait below: only the unplug can end the transfer in flight.
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "stall=600000"), 1);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "unplug"), 1);
  ASSERT_TRUE(lib_.WaitTransferEnded(20000));
  EXPECT_EQ(lib_.PollFrame(), kStatusFrameFailed);
  EXPECT_EQ(lib_.StopTransfer(), kStatusFrameFailed);
}

TEST_F(TransferThreadTest, StopDuringABlockedTransferEndsWhenTheDeviceGoesAway) {
  Attach("timing=manual");
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  // One frame through: the thread holds its device handle and waits for the next frame.
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=1"), 1);
  ASSERT_TRUE(Eventually([&] { return lib_.Ring().WriteIndex() == 1; }));
  std::thread unplug([] { ZelSim_Detach(kDevice); });
  // The stop waits for the transfer in flight; the detach fails that transfer.
  int status = lib_.StopTransfer();
  unplug.join();
  attached_ = false;
  EXPECT_TRUE(status == kStatusOk || status == kStatusFrameFailed) << status;
  EXPECT_EQ(lib_.PollFrame(), kStatusNotRunning);
}

TEST_F(TransferThreadTest, FramesThroughTheRingAreInOrderAndNeverTorn) {
  Attach("timing=free input0=moving");
  const zelsim::PictureParams params = Params(zelsim::InputContent::kMoving);
  std::vector<uint8_t> expected(zelsim::ExpectedPictureBytes(params));
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  int64_t previous = -1;
  for (int frames = 0; frames < 300;) {
    int poll = lib_.PollFrame();
    ASSERT_NE(poll, kStatusFrameFailed);
    if (poll != kStatusOk) {
      std::this_thread::yield();
      continue;
    }
    int slot = lib_.Ring().ReadIndex();
    std::vector<uint8_t> picture = Weave(lib_.Ring().Slot(slot));
    uint32_t rows[4];
    const int last = static_cast<int>(picture.size() / (720 * 2)) - 1;
    const int stamped[4] = {0, 1, last - 1, last};
    for (int i = 0; i < 4; ++i) {
      ASSERT_TRUE(zelsim::ReadFrameStamp(&picture[stamped[i] * 720 * 2], 2, &rows[i]));
      EXPECT_EQ(rows[i], rows[0]) << "stamp of row " << stamped[i];
    }
    EXPECT_GT(int64_t{rows[0]}, previous);
    previous = rows[0];
    ASSERT_TRUE(zelsim::RenderExpectedPicture(params, rows[0], expected.data(), expected.size()));
    ASSERT_EQ(picture, expected) << "frame " << rows[0] << " differs from the device's picture";
    lib_.Ring().SetReadIndex(slot + 1 == kSlots ? 0 : slot + 1);
    ++frames;
  }
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
}

TEST_F(TransferThreadTest, SingleFrameReadsReopenAfterADeviceChangeOrFailure) {
  EXPECT_EQ(lib_.ReadSingleFrame(), kStatusNoDevice);
  Attach("timing=free");
  ASSERT_EQ(lib_.ReadSingleFrame(), kStatusOk);
  uint32_t sequence = 0;
  std::vector<uint8_t> picture = Weave(lib_.SingleFrameBuffer());
  EXPECT_TRUE(zelsim::ReadFrameStamp(picture.data(), 2, &sequence));

  ASSERT_EQ(ZelSim_InjectFault(kDevice, "short=1"), 1);
  EXPECT_EQ(lib_.ReadSingleFrame(), kStatusFrameFailed);
  EXPECT_EQ(lib_.ReadSingleFrame(), kStatusOk);

  ASSERT_EQ(lib_.SelectDevice(kDevice + 1), kStatusOk);
  EXPECT_EQ(lib_.ReadSingleFrame(), kStatusNoDevice) << "the new path is opened, not the old one";
  ASSERT_EQ(lib_.SelectDevice(kDevice), kStatusOk);
  EXPECT_EQ(lib_.ReadSingleFrame(), kStatusOk);
}

}  // namespace
}  // namespace zelcnv::device
