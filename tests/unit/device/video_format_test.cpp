// Mode bytes, timing rows and the frame geometry, buffers and ring they size.
#include <gtest/gtest.h>

#include "device/protocol.h"
#include "device/zel_cnv_sdk.h"
#include "platform/posix/allocation_faults.h"

namespace zelcnv::device {
namespace {

struct Size {
  int width, height, samplesPerFrame;
};

void ExpectFrame(const CZelCnvSdk& lib, Size size, const char* what) {
  int left = -1, top = -1, width = 0, height = 0, extra = -1;
  lib.GetFrameRect(&left, &top, &width, &height, &extra);
  EXPECT_EQ(left, 0) << what;
  EXPECT_EQ(top, 0) << what;
  EXPECT_EQ(extra, 0) << what;
  EXPECT_EQ(width, size.width) << what;
  EXPECT_EQ(height, size.height) << what;
  EXPECT_EQ(lib.SamplesPerFrame(), size.samplesPerFrame) << what;
  EXPECT_EQ(lib.SamplesPerFrame() % kSampleBlock, 0) << what;
}

TEST(VideoFormatTest, EveryUsableRateAndStandardGivesItsSize) {
  CZelCnvSdk lib(10);
  struct Case {
    int mode;
    Size size;
  };
  const Case cases[] = {
      {0x30, {720, 470, 438272}}, {0x31, {720, 560, 526336}}, {0x33, {860, 558, 525312}},
      {0x20, {720, 480, 442368}}, {0x21, {720, 570, 531456}}, {0x23, {860, 558, 525312}},
      {0x10, {640, 470, 398336}}, {0x11, {768, 560, 575488}}, {0x13, {860, 558, 525312}},
      {0x40, {640, 480, 402432}}, {0x41, {768, 570, 580608}}, {0x43, {860, 558, 525312}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lib.SetVideoFormat(c.mode), kStatusOk);
    ExpectFrame(lib, c.size, ("mode 0x" + std::to_string(c.mode)).c_str());
    ASSERT_TRUE(lib.Ring().Allocated());
    ASSERT_NE(lib.SingleFrameBuffer(), nullptr);
  }
}

TEST(VideoFormatTest, ModeBytesOutsideTheTableFallBackAsDefined) {
  CZelCnvSdk lib(10);
  lib.SetVideoFormat(0x31);
  lib.SetVideoFormat(0x00);  // Normal LowSpeed, 525-line: table B row 1
  ExpectFrame(lib, {640, 480, 402432}, "0x00");
  EXPECT_EQ(lib.Geometry().pitch, 780);
  EXPECT_EQ(lib.Geometry().bufferLines, 515);
  EXPECT_EQ(lib.Geometry().windowStart, 88);

  lib.SetVideoFormat(0x31);
  EXPECT_EQ(lib.Geometry().bufferLines, 609);
  EXPECT_EQ(lib.Geometry().frameSamples, 526176);

  lib.SetVideoFormat(0x5F);  // unknown rate and standard: 0x40 with standard 0
  ExpectFrame(lib, {640, 480, 402432}, "0x5F");
}

TEST(VideoFormatTest, StandardTwoIsRefusedAndChangesNothing) {
  CZelCnvSdk lib(10);
  lib.SetVideoFormat(0x21);
  const uint8_t* slot = lib.Ring().Slot(0);
  const uint8_t* buffer = lib.SingleFrameBuffer();
  EXPECT_EQ(lib.SetVideoFormat(0x12), kStatusOk) << "the format call itself never fails";
  ExpectFrame(lib, {720, 570, 531456}, "after 0x12");
  EXPECT_EQ(lib.Ring().Slot(0), slot) << "nothing was reallocated";
  EXPECT_EQ(lib.SingleFrameBuffer(), buffer);
}

TEST(VideoFormatTest, TimingChecksComeInOrderAndRefuseWithoutChange) {
  CZelCnvSdk lib(10);
  EXPECT_EQ(lib.SetVideoTiming(0, 0, 720, 0, 0, 0), kStatusBadHorizontal);
  EXPECT_EQ(lib.SetVideoTiming(858, 0, 859, 263, 12, 240), kStatusBadHorizontal);
  EXPECT_EQ(lib.SetVideoTiming(858, 0, 0, 263, 12, 240), kStatusBadHorizontal);
  EXPECT_EQ(lib.SetVideoTiming(858, 0, 720, 0, 12, 240), kStatusBadVertical);
  EXPECT_EQ(lib.SetVideoTiming(858, 0, 720, 263, 24, 240), kStatusBadVertical);
  EXPECT_EQ(lib.SetVideoTiming(858, 0, 720, 263, 12, 0), kStatusBadVertical);
  // A window that does not fit its line or field would be read past the frame buffer.
  EXPECT_EQ(lib.SetVideoTiming(858, 200, 720, 263, 12, 240), kStatusBadHorizontal);
  EXPECT_EQ(lib.SetVideoTiming(858, -1, 720, 263, 12, 240), kStatusBadHorizontal);
  EXPECT_EQ(lib.SetVideoTiming(858, 82, 720, 263, -1, 240), kStatusBadVertical);
  ExpectFrame(lib, {640, 480, 402432}, "after refusals");

  CZelCnvSdk oneSlot(1);
  EXPECT_EQ(oneSlot.SetVideoTiming(858, 82, 720, 263, 12, 240), kStatusNoSlots);
  EXPECT_EQ(oneSlot.SetVideoTiming(858, 82, 900, 263, 12, 240), kStatusBadHorizontal)
      << "the horizontal check comes first";
}

TEST(VideoFormatTest, BlockRoundingAddsNothingToAnExactMultiple) {
  CZelCnvSdk lib(10);
  // 1024 samples per line x (4 + 0 + 2) lines is already whole blocks.
  EXPECT_EQ(lib.SetVideoTiming(1024, 0, 1024, 4, 0, 2), kStatusOk);
  EXPECT_EQ(lib.Geometry().frameSamples, 6144);
  EXPECT_EQ(lib.SamplesPerFrame(), 6144);
  EXPECT_EQ(lib.SetVideoTiming(1025, 0, 1024, 4, 0, 2), kStatusOk);
  EXPECT_EQ(lib.SamplesPerFrame(), 7168);
}

TEST(VideoFormatTest, FailedAllocationLeavesNoHalfBuiltRing) {
  CZelCnvSdk lib(10);
  for (int succeeding : {0, 1, 5, 10}) {
    platform::FailGlobalAllocationsAfter(succeeding);
    EXPECT_EQ(lib.SetVideoFormat(0x21), kStatusOk);
    EXPECT_EQ(lib.SetVideoTiming(864, 81, 720, 313, 16, 285), kStatusNoMemory);
    platform::FailGlobalAllocationsAfter(-1);
    EXPECT_FALSE(lib.Ring().Allocated()) << succeeding;
    EXPECT_EQ(lib.SingleFrameBuffer(), nullptr) << succeeding;
    EXPECT_EQ(lib.StartTransfer(), kStatusNoMemory);
    EXPECT_EQ(lib.ReadSingleFrame(), kStatusNoDevice);
    FieldRows rows;
    EXPECT_EQ(lib.HeldRingFrame(&rows), kStatusNullPointer);
    EXPECT_EQ(lib.HeldSingleFrame(&rows), kStatusNullPointer);
  }
  EXPECT_EQ(lib.SetVideoTiming(864, 81, 720, 313, 16, 285), kStatusOk);
  EXPECT_TRUE(lib.Ring().Allocated());
}

}  // namespace
}  // namespace zelcnv::device
