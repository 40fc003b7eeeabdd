// The model's pipes, request codes, answers and registers, seen from the host side of the wire.
#include <gtest/gtest.h>

#include "model/device_registers.h"
#include "sim_test_support.h"

namespace zelsim::test {
namespace {

using ProtocolTest = ModelTest;

TEST_F(ProtocolTest, AnyOfTheFourCodesMovesDataOnAnyPipeAndOtherCodesFail) {
  ASSERT_TRUE(wire().Send({kRequestReadRegister, kRegContrast}));
  for (uint32_t code : {kCodeOutDirect, kCodeInDirect, kCodeAltOutDirect, kCodeAltInDirect}) {
    uint8_t packet[kPacketBytes] = {kRequestFrame};
    uint32_t moved = 0;
    EXPECT_TRUE(wire().Transfer(kRequestPipe, packet, kPacketBytes, &moved, code));
    EXPECT_EQ(moved, kPacketBytes);
    uint8_t answer[kPacketBytes] = {};
    EXPECT_TRUE(wire().Transfer(kAnswerPipe, answer, kPacketBytes, &moved, code));
    EXPECT_EQ(answer[0], 0x80);
  }
  uint8_t packet[kPacketBytes] = {kRequestFrame};
  uint32_t moved = 99;
  EXPECT_FALSE(wire().Transfer(kRequestPipe, packet, kPacketBytes, &moved, 0x222052));
  EXPECT_EQ(moved, 0u);
  EXPECT_FALSE(wire().Transfer(3, packet, kPacketBytes));
}

TEST_F(ProtocolTest, MalformedTransfersFail) {
  uint8_t packet[kPacketBytes] = {kRequestFrame};
  const uint8_t pipe[8] = {kRequestPipe};
  EXPECT_FALSE(model_->Control(connection_, kCodeInDirect, pipe, 8, packet, kPacketBytes, nullptr));
  EXPECT_FALSE(model_->Control(connection_, kCodeInDirect, pipe, 2, packet, kPacketBytes, nullptr));
  EXPECT_FALSE(
      model_->Control(connection_, kCodeInDirect, nullptr, 4, packet, kPacketBytes, nullptr));
  EXPECT_FALSE(
      model_->Control(connection_, kCodeInDirect, pipe, 4, nullptr, kPacketBytes, nullptr));
  EXPECT_FALSE(wire().Transfer(kRequestPipe, packet, kPacketBytes - 1));
  EXPECT_FALSE(wire().Transfer(kRequestPipe, packet, kPacketBytes + 1));
  ASSERT_TRUE(wire().Send({kRequestPortQuery}));
  EXPECT_FALSE(wire().Transfer(kAnswerPipe, packet, 32));
  EXPECT_EQ(wire().ReadAnswer(), 0) << "a wrong-sized read consumes nothing";
}

TEST_F(ProtocolTest, RequestsWithBadParametersOrUnknownCodesFail) {
  EXPECT_FALSE(wire().Send({0x05}));
  EXPECT_FALSE(wire().Send({kRequestSampleWidth, 2}));
  EXPECT_FALSE(wire().SendSamplesPerFrame(0));
  EXPECT_FALSE(wire().SendSamplesPerFrame(kLargestSamplesPerFrame + 1));
  EXPECT_TRUE(wire().SendSamplesPerFrame(kLargestSamplesPerFrame));
  EXPECT_EQ(model_->CurrentPictureParams().samplesPerFrame, kLargestSamplesPerFrame);
}

TEST_F(ProtocolTest, AnswersQueueOldestFirstAndTheLastOneRepeats) {
  EXPECT_EQ(wire().ReadAnswer(), -1) << "no answer was ever produced";
  ASSERT_TRUE(wire().Send({kRequestReadRegister, 0x01}));
  ASSERT_TRUE(wire().Send({kRequestReadRegister, 0x03}));
  EXPECT_EQ(wire().ReadAnswer(), 0x15);
  EXPECT_EQ(wire().ReadAnswer(), 0x19);
  EXPECT_EQ(wire().ReadAnswer(), 0x19);
  EXPECT_EQ(wire().ReadAnswer(), 0x19);
}

TEST_F(ProtocolTest, HostsTwoReadQueryGetsTheValueEvenWhenTheFirstReadFails) {
  EXPECT_EQ(wire().ReadRegister(kRegContrast), 0x80);
  ASSERT_TRUE(model_->InjectFaults("read-fail=1"));
  ASSERT_TRUE(wire().Send({kRequestReadRegister, 0x1A}));
  EXPECT_EQ(wire().ReadAnswer(), -1);
  EXPECT_EQ(wire().ReadAnswer(), 0x0C) << "the failed read must not consume the answer";
  ASSERT_TRUE(model_->InjectFaults("read-fail=2"));
  EXPECT_EQ(wire().ReadRegister(0x1B), -1) << "both reads of the query fail";
  EXPECT_EQ(wire().ReadAnswer(), 0x14);
}

TEST_F(ProtocolTest, PortQueryReportsTheConfiguredLevelInBitOne) {
  ASSERT_TRUE(wire().Send({kRequestPortQuery}));
  EXPECT_EQ(wire().ReadAnswer(), 0);
  ASSERT_TRUE(model_->Configure("port=1"));
  ASSERT_TRUE(wire().Send({kRequestPortQuery}));
  EXPECT_EQ(wire().ReadAnswer(), kPortLevelBit);
}

TEST_F(ProtocolTest, RegistersPowerOnWithTheirDefaults) {
  const struct {
    uint8_t address;
    int value;
  } kSamples[] = {{0x00, 0x00}, {0x01, 0x15}, {0x0B, 0x00}, {0x0D, 0x40},
                  {0x16, 0x80}, {0xCB, 0x59}, {0xCF, 0x00}, {0xD0, 0xFF},
                  {0xFB, 0xFF}, {0xFC, 0x7F}, {0xFD, 0x00}, {0xFF, 0x00}};
  for (const auto& sample : kSamples) {
    EXPECT_EQ(model_->ReadRegister(sample.address), sample.value) << int{sample.address};
    EXPECT_EQ(wire().ReadRegister(sample.address), sample.value) << int{sample.address};
  }
  EXPECT_EQ(model_->ReadRegister(-1), -1);
  EXPECT_EQ(model_->ReadRegister(256), -1);
}

TEST_F(ProtocolTest, DeviceWritesAnyRegisterAndBothResetsRestoreDefaults) {
  // The host's access map is the host's business: read-only registers take writes here.
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, 0x80, 0x5A}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, 0xD0, 0x01}));
  EXPECT_EQ(model_->ReadRegister(0x80), 0x5A);
  ASSERT_TRUE(wire().Send({kRequestReset}));
  EXPECT_EQ(model_->ReadRegister(0x80), 0x00);
  EXPECT_EQ(model_->ReadRegister(0xD0), 0xFF);

  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegBrightness, 0x20}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegResetStrobe, 0x00}));
  EXPECT_EQ(model_->ReadRegister(kRegBrightness), 0x80);
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegBrightness, 0x20}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegResetStrobe, 0xA5}));
  EXPECT_EQ(model_->ReadRegister(kRegBrightness), 0x80) << "any strobe value resets";
}

TEST_F(ProtocolTest, StandardRegisterReportsTheConfiguredStandardAndIgnoresWrites) {
  EXPECT_EQ(wire().ReadRegister(kRegStandardStatus), 0);
  ASSERT_TRUE(model_->Configure("standard=11"));
  EXPECT_EQ(wire().ReadRegister(kRegStandardStatus), 11);
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegStandardStatus, 0x02}));
  ASSERT_TRUE(wire().Send({kRequestReset}));
  EXPECT_EQ(wire().ReadRegister(kRegStandardStatus), 11);
}

TEST_F(ProtocolTest, ControlRegistersFeedThePictureParameters) {
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegClockControl, 0xC0}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegHue, 0x40}));
  ASSERT_TRUE(wire().Send({kRequestSampleWidth, 1}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectA, 0x02}));
  PictureParams params = model_->CurrentPictureParams();
  EXPECT_TRUE(params.squarePixels);
  EXPECT_EQ(params.hue, 0x40);
  EXPECT_EQ(params.bytesPerSample, 2);
  EXPECT_EQ(params.content, InputContent::kRamp);

  // Input selection takes both registers: (0x00, 0x03) is input 2, (0x02, 0x03) is nothing.
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectB, 0x03}));
  EXPECT_EQ(model_->CurrentPictureParams().content, InputContent::kNone);
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectA, 0x00}));
  EXPECT_EQ(model_->CurrentPictureParams().content, InputContent::kMoving);
  EXPECT_EQ(SelectedInput(0x09, 0x03), 5);
  EXPECT_EQ(SelectedInput(0x09, 0x00), kNoInput);
}

}  // namespace
}  // namespace zelsim::test
