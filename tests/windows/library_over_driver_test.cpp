// Under Wine: the library's own device code (enumeration, transport, transfer thread) against
// the zqvdsim driver, through the real CreateFileA / DeviceIoControl path.
#include <functional>

#include "device/protocol.h"
#include "device/transport.h"
#include "device/vxm_sdk_lib.h"
#include "driver_test_support.h"
#include "model/device_registers.h"

namespace zelcnv::device {
namespace {

constexpr int kSlots = 4;
constexpr int kDevice = 3;

// The ring indices move on the transfer thread without a notification of their own.
bool Eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

class LibraryOverDriver : public ::testing::Test {
 protected:
  void TearDown() override {
    if (lib_.TransferRunning()) {
      ZelSim_InjectFault(kDevice, "release=1000000");
      lib_.StopTransfer();
    }
    ZelSim_Detach(kDevice);
  }

  // The converter, selected, with ring memory for its power-on frame size.
  void Attach(const char* config) {
    ASSERT_EQ(ZelSim_Attach(kDevice, config), 1);
    ASSERT_EQ(lib_.SelectDevice(kDevice), kStatusOk);
    params_ = zelsim::test::Params(kDevice);
    ASSERT_EQ(lib_.AllocateFrameMemory(static_cast<int>(params_.samplesPerFrame)), kStatusOk);
    lib_.SetAlternateCodes(true, true);
  }

  int64_t SlotSequence(int slot) const {
    const zelsim::FrameGeometry g = zelsim::GeometryFor(params_);
    const uint8_t* line = lib_.Ring().Slot(slot) + (g.vStart * g.hTotal + g.hStart);
    uint32_t sequence = 0;
    return zelsim::ReadFrameStamp(line, 1, &sequence) ? int64_t{sequence} : -1;
  }

  CVXMSdkLib lib_{kSlots};
  zelsim::PictureParams params_{};
};

TEST_F(LibraryOverDriver, ProbeFindsTheAttachedConverters) {
  ASSERT_EQ(ZelSim_Attach(1, nullptr), 1);
  ASSERT_EQ(ZelSim_Attach(kDevice, nullptr), 1);
  lib_.ProbeDevices();
  for (int index = 0; index < kDeviceCount; ++index) {
    EXPECT_EQ(lib_.IsPresent(index) != 0, index == 1 || index == kDevice) << "index " << index;
  }
  ZelSim_Detach(1);
}

TEST_F(LibraryOverDriver, TransportWritesAndQueriesRegisters) {
  Attach(nullptr);
  platform::DeviceFile* device = platform::OpenDeviceFile(lib_.DevicePath());
  ASSERT_NE(device, nullptr);
  const uint8_t write[2] = {zelsim::kRegHue, 0x37};
  EXPECT_EQ(SendPayloadRequest(device, sizeof write, write), kStatusOk);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(kDevice, zelsim::kRegHue), 0x37);
  uint8_t answer[kPacketSize] = {};
  EXPECT_EQ(QueryIndexedRequest(device, zelsim::kRegHue, answer, sizeof answer), kStatusOk);
  EXPECT_EQ(answer[0], 0x37);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "unplug"), 1);
  EXPECT_EQ(QueryIndexedRequest(device, zelsim::kRegHue, answer, sizeof answer),
            kStatusRequestFailed);
  platform::CloseDeviceFile(device);
}

TEST_F(LibraryOverDriver, TransferThreadStreamsStampedFrames) {
  Attach("timing=manual");
  ASSERT_EQ(lib_.StartTransfer(), kStatusOk);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=3"), 1);
  ASSERT_TRUE(Eventually([&] { return lib_.Ring().WriteIndex() == 3; }));
  const int64_t first = SlotSequence(0);
  ASSERT_GE(first, 0);
  EXPECT_EQ(SlotSequence(1), first + 1);
  EXPECT_EQ(SlotSequence(2), first + 2);
  ASSERT_EQ(ZelSim_InjectFault(kDevice, "release=1000000"), 1);
  EXPECT_EQ(lib_.StopTransfer(), kStatusOk);
}

}  // namespace
}  // namespace zelcnv::device
