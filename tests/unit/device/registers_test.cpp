// Register access, decoder control and reset, as the device sees them on the wire.
#include <gtest/gtest.h>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "recording_device.h"

namespace zelcnv::device {
namespace {

using testing::RecordedTransfer;
using testing::ScriptedReply;
using testing::ServedDevice;

constexpr int kIndex = 6;

class RegistersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(lib_.SelectDevice(kIndex), kStatusOk);
    served_->Clear();
  }
  // Scripts one register read: the request, then two answer reads carrying `value`.
  void AnswerRead(uint8_t value) {
    served_->QueueReply(ScriptedReply{});
    served_->QueueReply(ScriptedReply{true, -1, value});
    served_->QueueReply(ScriptedReply{true, -1, value});
  }

  ServedDevice served_{"\\\\.\\ZQVD-6"};
  CZelCnvSdk lib_{10};
};

TEST_F(RegistersTest, AccessMapIsCheckedBeforeAnyDeviceTraffic) {
  EXPECT_EQ(lib_.WriteRegister(0x80, 1), 0) << "read-only";
  int value = 77;
  EXPECT_EQ(lib_.ReadRegister(0x7F, &value), 0) << "write-only";
  EXPECT_EQ(value, 77) << "a refused read leaves the value untouched";
  EXPECT_EQ(lib_.WriteRegister(0x05, 1), 0);
  EXPECT_EQ(lib_.ReadRegister(0xFD, &value), 0);
  EXPECT_EQ(served_->opens(), 0);
  EXPECT_TRUE(served_->Transfers().empty());

  EXPECT_EQ(lib_.WriteRegister(0x109, 0x205), 1) << "register and value are taken as bytes";
  EXPECT_EQ(lib_.WriteRegister(0x7F, 0), 1);
  EXPECT_EQ(lib_.WriteRegister(0xC9, 3), 1);
  auto writes = served_->RegisterWrites();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], std::make_pair(uint8_t{0x09}, uint8_t{0x05}));
  EXPECT_EQ(served_->opens(), 3) << "one open per operation";
}

TEST_F(RegistersTest, ReadsReturnTheSecondAnswerAndZeroOnFailure) {
  AnswerRead(0x5A);
  int value = -1;
  EXPECT_EQ(lib_.ReadRegister(0x88, &value), 1);
  EXPECT_EQ(value, 0x5A);
  std::vector<RecordedTransfer> sent = served_->Transfers();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].data[0], kRequestReadRegister);
  EXPECT_EQ(sent[0].data[1], 0x88);

  served_->QueueReply(ScriptedReply{false});
  EXPECT_EQ(lib_.ReadRegister(0x01, &value), 0);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(lib_.ReadRegister(0x01, nullptr), 1) << "a null value pointer is skipped";
}

TEST_F(RegistersTest, DefaultsComeFromTheBuiltInTableNotFromWrites) {
  EXPECT_EQ(lib_.GetRegisterDefault(0x09), 0x80);
  EXPECT_EQ(lib_.GetRegisterDefault(0x0A), 0x80);
  EXPECT_EQ(lib_.GetRegisterDefault(0x0C), 0x80);
  EXPECT_EQ(lib_.GetRegisterDefault(0x0D), 0x40);
  EXPECT_EQ(lib_.GetRegisterDefault(0xE0), 0xFF);
  EXPECT_EQ(lib_.GetRegisterDefault(0xFC), 0x7F);
  EXPECT_EQ(lib_.SetHue(0x40), 1);
  EXPECT_EQ(lib_.GetRegisterDefault(0x0B), 0);
  EXPECT_EQ(lib_.GetRegisterDefault(0x10B), 0) << "address taken as a byte";
}

TEST_F(RegistersTest, AccessRangesMatchTheMap) {
  const RegisterEntry* table = BuiltInRegisterTable();
  int readable = 0, writable = 0;
  for (int i = 0; i < kRegisterCount; ++i) {
    EXPECT_EQ(table[i].address, i);
    readable += table[i].readable;
    writable += table[i].writable;
  }
  // 0x00-03, 06-0E, 11-16, 18-1E, 20, 26, 28, B1-BB, C0-C6, C8, CA-FC are read-write.
  const int readWrite = 4 + 9 + 6 + 7 + 1 + 1 + 1 + 11 + 7 + 1 + 51;
  EXPECT_EQ(readable, readWrite + 13 + 33);  // + 0x80-8C and 0x90-B0, read only
  EXPECT_EQ(writable, readWrite + 3);        // + 0x7F, 0xC7, 0xC9, write only
  EXPECT_TRUE(table[0x7F].writable && !table[0x7F].readable);
  EXPECT_TRUE(table[0x88].readable && !table[0x88].writable);
}

TEST_F(RegistersTest, SelectInputWritesBothRegistersInOrder) {
  EXPECT_EQ(lib_.SelectInput(3), 1);
  EXPECT_EQ(lib_.SelectInput(0x105), 1) << "the low byte picks the input";
  auto writes = served_->RegisterWrites();
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0], std::make_pair(uint8_t{0x00}, uint8_t{0x01}));
  EXPECT_EQ(writes[1], std::make_pair(uint8_t{0x20}, uint8_t{0x03}));
  EXPECT_EQ(writes[2], std::make_pair(uint8_t{0x00}, uint8_t{0x09}));
  served_->Clear();
  EXPECT_EQ(lib_.SelectInput(6), 0);
  EXPECT_EQ(lib_.SelectInput(-1), 0);
  EXPECT_TRUE(served_->Transfers().empty());
}

TEST_F(RegistersTest, SamplingClockSetsOrClearsBit7OfWhatWasRead) {
  AnswerRead(0x40);
  EXPECT_EQ(lib_.SetSamplingClock(1), 1);
  AnswerRead(0xC0);
  EXPECT_EQ(lib_.SetSamplingClock(0), 1);
  auto writes = served_->RegisterWrites();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0], std::make_pair(uint8_t{0x0D}, uint8_t{0xC0}));
  EXPECT_EQ(writes[1], std::make_pair(uint8_t{0x0D}, uint8_t{0x40}));

  served_->Clear();
  served_->QueueReply(ScriptedReply{false});
  EXPECT_EQ(lib_.SetSamplingClock(1), 0) << "an unreadable register is not written";
  EXPECT_TRUE(served_->RegisterWrites().empty());
}

TEST_F(RegistersTest, VideoStandardFromTheLowNibble) {
  const std::pair<uint8_t, int> cases[] = {{0x00, 0}, {0x01, 0}, {0x22, 1}, {0x03, 1},
                                           {0x04, 2}, {0x05, 2}, {0x0A, 3}, {0x2B, 3},
                                           {0x07, 0}, {0x06, 0}, {0x0C, 0}, {0xFF, 0}};
  for (auto [reg, standard] : cases) {
    AnswerRead(reg);
    EXPECT_EQ(lib_.DetectVideoStandard(), standard) << "register 0x88 = " << int{reg};
  }
  served_->QueueReply(ScriptedReply{false});
  EXPECT_EQ(lib_.DetectVideoStandard(), 0) << "unreadable reads as 525-line";
}

TEST_F(RegistersTest, IoPortIsBit1OfTheSecondAnswer) {
  int level = -1;
  AnswerRead(0x02);
  EXPECT_EQ(lib_.QueryIoPort(&level), 1);
  EXPECT_EQ(level, 1);
  AnswerRead(0xFD);
  EXPECT_EQ(lib_.QueryIoPort(&level), 1);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(served_->Transfers()[0].data[0], kRequestPortLevel);
  served_->QueueReply(ScriptedReply{});
  served_->QueueReply(ScriptedReply{true, -1, 0x02});
  served_->QueueReply(ScriptedReply{false});
  EXPECT_EQ(lib_.QueryIoPort(&level), 0);
}

TEST_F(RegistersTest, ResetSendsWidthResetStrobeAndFrameSizeInOrder) {
  EXPECT_EQ(lib_.Reset(kIndex), kStatusOk);
  std::vector<RecordedTransfer> sent = served_->Transfers();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].data[0], kRequestSampleWidth);
  EXPECT_EQ(sent[0].data[1], 0);
  EXPECT_EQ(sent[1].data[0], kRequestReset);
  EXPECT_EQ(sent[2].data[0], kRequestWriteRegister);
  EXPECT_EQ(sent[2].data[1], 0x7F);
  EXPECT_EQ(sent[3].data[0], kRequestFrameSize);
  const uint32_t samples = sent[3].data[1] | sent[3].data[2] << 8 | sent[3].data[3] << 16 |
                           uint32_t{sent[3].data[4]} << 24;
  EXPECT_EQ(samples, 402432u) << "mode byte 0: 640 x 480";
  EXPECT_EQ(lib_.GetDeviceIndex(), kIndex);
  EXPECT_EQ(lib_.Reset(8), kStatusBadDeviceIndex);
  EXPECT_EQ(lib_.Reset(-1), kStatusBadDeviceIndex);
}

}  // namespace
}  // namespace zelcnv::device
