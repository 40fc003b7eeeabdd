// Request packets, answers and pipe transfers as the device sees them.
#include <gtest/gtest.h>

#include "device/protocol.h"
#include "device/transport.h"
#include "platform/device_file.h"
#include "recording_device.h"

namespace zelcnv::device {
namespace {

using testing::RecordedTransfer;
using testing::ScriptedReply;
using testing::ServedDevice;

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle_ = platform::OpenDeviceFile(served_.path().c_str());
    ASSERT_NE(handle_, nullptr);
  }
  void TearDown() override { platform::CloseDeviceFile(handle_); }

  ServedDevice served_{"\\\\.\\TRANSPORT-0"};
  platform::DeviceFile* handle_ = nullptr;
};

TEST_F(TransportTest, PipeTransferPicksTheCodeOfEachPairAndPassesThePipe) {
  uint8_t buffer[8] = {};
  uint32_t moved = 0;
  EXPECT_EQ(PipeTransfer(handle_, 2, 8, buffer, &moved, 0, false), kStatusOk);
  EXPECT_EQ(PipeTransfer(handle_, 2, 8, buffer, &moved, 1, false), kStatusOk);
  EXPECT_EQ(PipeTransfer(handle_, 2, 8, buffer, &moved, 0, true), kStatusOk);
  EXPECT_EQ(PipeTransfer(handle_, 1, 8, buffer, &moved, 1, true), kStatusOk);
  EXPECT_EQ(moved, 8u);
  std::vector<RecordedTransfer> sent = served_->Transfers();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].code, 0x22204Eu);
  EXPECT_EQ(sent[1].code, 0x222051u);
  EXPECT_EQ(sent[2].code, 0x2220A6u);
  EXPECT_EQ(sent[3].code, 0x2220A9u);
  EXPECT_EQ(sent[0].pipe, 2u);
  EXPECT_EQ(sent[3].pipe, 1u);
}

TEST_F(TransportTest, PipeTransferChecksBufferBeforeHandleAndReportsTheDriversCount) {
  uint8_t buffer[4];
  uint32_t moved = 99;
  EXPECT_EQ(PipeTransfer(nullptr, 0, 4, nullptr, &moved, 0, false), kStatusNullPointer);
  EXPECT_EQ(PipeTransfer(nullptr, 0, 4, buffer, &moved, 0, false), kStatusNoDevice);
  EXPECT_TRUE(served_->Transfers().empty());

  served_->QueueReply(ScriptedReply{false, 3});
  EXPECT_EQ(PipeTransfer(handle_, 2, 4, buffer, &moved, 1, false), kStatusTransferFailed);
  EXPECT_EQ(moved, 3u) << "the count is stored even when the driver fails";
}

TEST_F(TransportTest, RequestStatusesForMissingHandleFailureAndShortTransfer) {
  uint8_t packet[kPacketSize] = {kRequestReset};
  EXPECT_EQ(SendRequest(nullptr, packet), kStatusNoDevice);
  EXPECT_EQ(SendRequest(handle_, packet), kStatusOk);
  served_->QueueReply(ScriptedReply{false});
  EXPECT_EQ(SendRequest(handle_, packet), kStatusRequestFailed);
  served_->QueueReply(ScriptedReply{true, 63});
  EXPECT_EQ(SendRequest(handle_, packet), kStatusRequestFailed);
  served_->QueueReply(ScriptedReply{true, 65});
  EXPECT_EQ(ReadResponse(handle_, packet), kStatusRequestFailed);

  std::vector<RecordedTransfer> sent = served_->Transfers();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].code, kCodeInDirect);
  EXPECT_EQ(sent[0].pipe, kRequestPipe);
  EXPECT_EQ(sent[0].data.size(), 64u);
  EXPECT_EQ(sent[3].code, kCodeOutDirect);
  EXPECT_EQ(sent[3].pipe, kResponsePipe);
}

TEST_F(TransportTest, PayloadIsCutTo63BytesAndUnusedBytesAreZero) {
  uint8_t payload[100];
  for (int i = 0; i < 100; ++i) payload[i] = static_cast<uint8_t>(0xA0 + i);
  ASSERT_EQ(SendPayloadRequest(handle_, 100, payload), kStatusOk);
  ASSERT_EQ(SendPayloadRequest(handle_, 2, payload), kStatusOk);
  ASSERT_EQ(SendPayloadRequest(handle_, -5, payload), kStatusOk);

  std::vector<RecordedTransfer> sent = served_->Transfers();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].data[0], kRequestWriteRegister);
  for (int i = 1; i < 64; ++i) EXPECT_EQ(sent[0].data[i], payload[i - 1]) << "byte " << i;
  EXPECT_EQ(sent[1].data[1], 0xA0);
  EXPECT_EQ(sent[1].data[2], 0xA1);
  for (int i = 3; i < 64; ++i) EXPECT_EQ(sent[1].data[i], 0) << "byte " << i;
  for (int i = 1; i < 64; ++i) EXPECT_EQ(sent[2].data[i], 0) << "byte " << i;
}

TEST_F(TransportTest, QueryReadsTwiceAndOnlyTheSecondAnswerCounts) {
  uint8_t out[4] = {};
  served_->QueueReply(ScriptedReply{});                // the request
  served_->QueueReply(ScriptedReply{false, 0});        // first answer read fails
  served_->QueueReply(ScriptedReply{true, 64, 0x5C});  // second succeeds
  EXPECT_EQ(QueryIndexedRequest(handle_, 0x88, out, 1), kStatusOk);
  EXPECT_EQ(out[0], 0x5C);
  EXPECT_EQ(out[1], 0) << "only outLength bytes are copied";

  served_->QueueReply(ScriptedReply{});
  served_->QueueReply(ScriptedReply{true, 64, 0x11});
  served_->QueueReply(ScriptedReply{false, 0, 0x22});
  EXPECT_EQ(QueryIndexedRequest(handle_, 0x01, out, 1), kStatusRequestFailed);

  served_->QueueReply(ScriptedReply{false});
  EXPECT_EQ(QueryIndexedRequest(handle_, 0x02, out, 1), kStatusRequestFailed);

  std::vector<RecordedTransfer> sent = served_->Transfers();
  ASSERT_EQ(sent.size(), 7u) << "a failed request is not followed by answer reads";
  EXPECT_EQ(sent[0].data[0], kRequestReadRegister);
  EXPECT_EQ(sent[0].data[1], 0x88);
  for (int i = 2; i < 64; ++i) EXPECT_EQ(sent[0].data[i], 0);
}

TEST(DeviceFileTest, UnknownPathsAndNullPointersFailCleanly) {
  EXPECT_EQ(platform::OpenDeviceFile(nullptr), nullptr);
  EXPECT_EQ(platform::OpenDeviceFile("\\\\.\\NOWHERE-0"), nullptr);
  uint32_t moved = 7;
  EXPECT_FALSE(platform::ControlTransfer(nullptr, kCodeInDirect, nullptr, 0, nullptr, 0, &moved));
  EXPECT_EQ(moved, 0u);
  platform::CloseDeviceFile(nullptr);
}

TEST(DeviceFileTest, APathIsServedOnceAndConnectionsOutliveIt) {
  auto device = std::make_shared<testing::RecordingDevice>();
  ASSERT_TRUE(platform::RegisterDevicePath("\\\\.\\ONCE-0", device));
  EXPECT_FALSE(platform::RegisterDevicePath("\\\\.\\ONCE-0", device));
  platform::DeviceFile* file = platform::OpenDeviceFile("\\\\.\\ONCE-0");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(platform::UnregisterDevicePath("\\\\.\\ONCE-0"));
  EXPECT_FALSE(platform::UnregisterDevicePath("\\\\.\\ONCE-0"));
  EXPECT_EQ(platform::OpenDeviceFile("\\\\.\\ONCE-0"), nullptr);
  uint8_t byte = 0;
  uint32_t moved = 0;
  EXPECT_TRUE(platform::ControlTransfer(file, kCodeInDirect, "\0\0\0\0", 4, &byte, 1, &moved));
  platform::CloseDeviceFile(file);
}

}  // namespace
}  // namespace zelcnv::device
