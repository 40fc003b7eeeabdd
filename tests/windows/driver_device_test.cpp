// Under Wine against the zqvdsim driver: which device paths exist, and what becomes of handles
// when a converter is detached, unplugged or plugged in again.
#include "driver_test_support.h"

namespace zelsim::test {
namespace {

std::vector<int> OpenableConverters() {
  std::vector<int> found;
  for (int index = 0; index < 10; ++index) {
    if (DeviceHandle::Converter(index).valid()) found.push_back(index);
  }
  return found;
}

TEST(DriverDevices, ProbeFindsExactlyTheAttachedConverters) {
  EXPECT_EQ(OpenableConverters(), std::vector<int>{});
  ASSERT_EQ(ZelSim_Attach(0, nullptr), 1);
  ASSERT_EQ(ZelSim_Attach(5, "standard=625"), 1);
  EXPECT_EQ(OpenableConverters(), (std::vector<int>{0, 5}));
  EXPECT_EQ(DeviceHandle::Converter(3).openError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  ASSERT_EQ(ZelSim_Detach(0), 1);
  EXPECT_EQ(OpenableConverters(), std::vector<int>{5});
  ASSERT_EQ(ZelSim_Detach(5), 1);
  EXPECT_EQ(OpenableConverters(), std::vector<int>{});
}

TEST(DriverDevices, AttachAndDetachRefuseWhatCannotBeDone) {
  ASSERT_EQ(ZelSim_Attach(3, nullptr), 1);
  EXPECT_EQ(ZelSim_Attach(3, nullptr), 0) << "attached twice";
  EXPECT_EQ(ZelSim_Attach(4, "standard=525 colour=red"), 0);
  EXPECT_FALSE(DeviceHandle::Converter(4).valid()) << "a refused attach left a device behind";
  EXPECT_EQ(ZelSim_Attach(-1, nullptr), 0);
  EXPECT_EQ(ZelSim_Attach(ZELSIM_MAX_DEVICES, nullptr), 0);
  EXPECT_EQ(ZelSim_Detach(4), 0);
  EXPECT_EQ(ZelSim_Detach(ZELSIM_MAX_DEVICES), 0);
  EXPECT_EQ(ZelSim_Detach(3), 1);
  EXPECT_EQ(ZelSim_Detach(3), 0) << "detached twice";
}

TEST(DriverDevices, DriverCountsOpenHandles) {
  ASSERT_EQ(ZelSim_Attach(1, nullptr), 1);
  control::DeviceState state{};
  {
    DeviceHandle first = DeviceHandle::Converter(1);
    DeviceHandle second = DeviceHandle::Converter(1);
    ASSERT_TRUE(first.valid() && second.valid());
    ASSERT_TRUE(QueryDeviceState(1, &state));
    EXPECT_EQ(state.openHandles, 2u);
  }
  ASSERT_TRUE(QueryDeviceState(1, &state));
  EXPECT_EQ(state.openHandles, 0u) << "a close was lost: the converter would never be freed";
  EXPECT_FALSE(QueryDeviceState(2, &state)) << "state of a converter that is not attached";
  ZelSim_Detach(1);
}

// The handle keeps the detached converter's remains alive: using it fails, closing it is safe, and
// a converter attached again at the same index is a new one that the old handle cannot reach.
TEST(DriverDevices, HandleOpenAcrossADetachFailsAndClosesSafely) {
  ASSERT_EQ(ZelSim_Attach(2, "timing=free"), 1);
  DeviceHandle stale = DeviceHandle::Converter(2);
  ASSERT_TRUE(stale.valid());
  ASSERT_TRUE(SendRequest(stale.get(), {kRequestReadRegister, 0x09}));
  ASSERT_EQ(ZelSim_Detach(2), 1);
  EXPECT_FALSE(SendRequest(stale.get(), {kRequestReadRegister, 0x09}));
  EXPECT_EQ(ReadAnswer(stale.get()), -1);

  ASSERT_EQ(ZelSim_Attach(2, "timing=free"), 1);
  DeviceHandle fresh = DeviceHandle::Converter(2);
  ASSERT_TRUE(fresh.valid());
  EXPECT_FALSE(SendRequest(stale.get(), {kRequestReadRegister, 0x09}));
  std::vector<uint8_t> frame;
  EXPECT_TRUE(ReadFrame(fresh.get(), Params(2), &frame).ok);
  stale.Close();
  EXPECT_TRUE(ReadFrame(fresh.get(), Params(2), &frame).ok);
  fresh.Close();
  ZelSim_Detach(2);
}

TEST(DriverDevices, UnpluggedConverterRefusesOpensAndKeepsOldHandlesDead) {
  ASSERT_EQ(ZelSim_Attach(6, "timing=free"), 1);
  DeviceHandle before = DeviceHandle::Converter(6);
  ASSERT_TRUE(before.valid());
  ASSERT_EQ(ZelSim_InjectFault(6, "unplug"), 1);
  EXPECT_FALSE(DeviceHandle::Converter(6).valid());
  EXPECT_FALSE(SendRequest(before.get(), {kRequestReset}));

  ASSERT_EQ(ZelSim_InjectFault(6, "replug"), 1);
  DeviceHandle after = DeviceHandle::Converter(6);
  ASSERT_TRUE(after.valid());
  EXPECT_TRUE(SendRequest(after.get(), {kRequestReset}));
  EXPECT_FALSE(SendRequest(before.get(), {kRequestReset}))
      << "an unplug must kill a handle for good";
  ZelSim_Detach(6);
}

}  // namespace
}  // namespace zelsim::test
