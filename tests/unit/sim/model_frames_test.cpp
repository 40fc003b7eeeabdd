// The raw frames the model sends: size, layout, blanking, stamps, and picture content that
// matches the expected-picture renderer byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "model/device_registers.h"
#include "model/frame_stamp.h"
#include "sim_test_support.h"

namespace zelsim::test {
namespace {

constexpr uint32_t kPowerOnSamples = 402432;

// The format the host library sets up after a reset: square pixels, which with the power-on
// frame size is table B row 1, 640 x 480 on 780-sample lines.
class FrameTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegClockControl, 0xC0}));
  }
};

TEST(FrameGeometry, RowsGiveTheHostsFrameSizes) {
  const uint32_t kA[] = {438272, 398336, 526336, 575488};
  const uint32_t kB[] = {442368, 402432, 531456, 580608};
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(RowSamplesPerFrame(kTimingTableA[row]), kA[row]) << row;
    EXPECT_EQ(RowSamplesPerFrame(kTimingTableB[row]), kB[row]) << row;
  }
  EXPECT_EQ(RowSamplesPerFrame(kTimingTableA[6]), 525312u);
  EXPECT_EQ(RowSamplesPerFrame(kTimingTableB[7]), 525312u);
}

TEST(FrameGeometry, AnnouncedSizeChoosesTheTableAndStandardAndClockChooseTheRow) {
  EXPECT_EQ(GeometryFor(0, true, 398336).vActive, 235);
  EXPECT_TRUE(GeometryFor(0, true, 398336).tableA);
  EXPECT_EQ(GeometryFor(0, true, 402432).vActive, 240);
  EXPECT_FALSE(GeometryFor(0, true, 402432).tableA);
  EXPECT_EQ(GeometryFor(0, true, 12345).vActive, 240) << "an unknown size falls back to B";
  EXPECT_EQ(GeometryFor(0, false, 438272).hActive, 720);
  EXPECT_EQ(GeometryFor(3, true, 575488).hActive, 768);
  EXPECT_EQ(GeometryFor(2, false, 531456).vActive, 285);
  // Standard 2's own rows are unusable; it is sent with 525-line rows 0/1.
  EXPECT_EQ(GeometryFor(4, true, 402432).row, 1);
  EXPECT_EQ(GeometryFor(5, false, 438272).row, 0);
  EXPECT_EQ(GeometryFor(11, false, 525312).hActive, 860);
  EXPECT_EQ(GeometryFor(7, false, 0).row, 0) << "unassigned nibbles behave as 525-line";
}

TEST_F(FrameTest, FrameIsExactlyTheAnnouncedSizeTimesTheSampleWidth) {
  std::vector<uint8_t> frame;
  uint32_t moved = 0;
  ASSERT_TRUE(wire().Frame(&frame, kPowerOnSamples, &moved));
  EXPECT_EQ(moved, kPowerOnSamples);
  ASSERT_TRUE(wire().Send({kRequestSampleWidth, 1}));
  EXPECT_FALSE(wire().Frame(&frame, kPowerOnSamples, &moved));
  EXPECT_EQ(moved, 0u);
  ASSERT_TRUE(wire().Frame(&frame, 3 * kPowerOnSamples, &moved));
  EXPECT_EQ(moved, 2 * kPowerOnSamples) << "a longer request comes back short";
}

TEST_F(FrameTest, BlankingSurroundsTheActiveWindowAndPaddingIsZero) {
  ASSERT_TRUE(wire().Send({kRequestSampleWidth, 1}));
  std::vector<uint8_t> frame;
  ASSERT_TRUE(wire().Frame(&frame, 2 * kPowerOnSamples));
  // Power-on geometry: 780-sample lines, window 88..727, field lines 263, active from line 12.
  auto sample = [&](int line, int x) {
    return std::make_pair(frame[(line * 780 + x) * 2], frame[(line * 780 + x) * 2 + 1]);
  };
  const std::pair<uint8_t, uint8_t> blank{16, 128};
  EXPECT_EQ(sample(0, 100), blank);
  EXPECT_EQ(sample(11, 300), blank);
  EXPECT_EQ(sample(12, 87), blank);
  EXPECT_EQ(sample(12, 728), blank);
  EXPECT_EQ(sample(12 + 240, 0), blank) << "field 1 blanking below its active lines";
  EXPECT_EQ(sample(30, 88 + 20).first, 180) << "bars start with the white bar";
  EXPECT_EQ(sample(263 + 11, 300), blank);
  EXPECT_EQ(sample(263 + 12, 88 + 20).first, 180);
  const size_t end = size_t{780} * (263 + 12 + 240) * 2;
  EXPECT_EQ(sample(263 + 12 + 239, 727).first, 16) << "the black bar ends the last line";
  for (size_t i = end; i < frame.size(); ++i) ASSERT_EQ(frame[i], 0) << i;
}

TEST_F(FrameTest, StampsMarkTheFirstAndLastLineOfBothFields) {
  for (int width : {1, 2}) {
    ASSERT_TRUE(wire().Send({kRequestSampleWidth, static_cast<uint8_t>(width - 1)}));
    const PictureParams params = model_->CurrentPictureParams();
    const FrameGeometry g = GeometryFor(params);
    std::vector<uint8_t> frame;
    ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params)));
    const std::vector<uint8_t> picture = Weave(params, frame);
    ASSERT_FALSE(picture.empty());
    const size_t rowBytes = size_t(g.hActive) * width;
    const int rows[] = {0, 1, 2 * g.vActive - 2, 2 * g.vActive - 1};
    uint32_t first = 0;
    ASSERT_TRUE(ReadFrameStamp(&picture[0], width, &first));
    for (int row : rows) {
      FrameStamp stamp{};
      ASSERT_TRUE(ReadFrameStamp(&picture[row * rowBytes], width, &stamp)) << row;
      EXPECT_EQ(stamp.sequence, first);
      EXPECT_EQ(stamp.field, row % 2);
      EXPECT_EQ(stamp.line, row < 2 ? kStampLineFirst : kStampLineLast);
    }
    uint32_t sequence = 0;
    EXPECT_FALSE(ReadFrameStamp(&picture[2 * rowBytes], width, &sequence));
    ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params)));
    const std::vector<uint8_t> next = Weave(params, frame);
    ASSERT_FALSE(next.empty());
    ASSERT_TRUE(ReadFrameStamp(next.data(), width, &sequence));
    EXPECT_EQ(sequence, first + 1);
  }
}

TEST(FrameStampCodec, RejectsDamagedStampsAndBadArguments) {
  uint8_t line[kStampSamples * 2];
  WriteFrameStamp(line, 2, FrameStamp{0x12345678, kStampFieldSecond, kStampLineLast});
  FrameStamp stamp{};
  ASSERT_TRUE(ReadFrameStamp(line, 2, &stamp));
  EXPECT_EQ(stamp.sequence, 0x12345678u);
  uint32_t sequence = 0;
  EXPECT_FALSE(ReadFrameStamp(line, 1, &sequence)) << "read with the wrong sample width";
  EXPECT_FALSE(ReadFrameStamp(line, 3, &sequence));
  EXPECT_FALSE(ReadFrameStamp(nullptr, 2, &sequence));
  EXPECT_FALSE(ReadFrameStamp(line, 2, static_cast<uint32_t*>(nullptr)));
  line[2 * 9] ^= 1;  // one bit of the complement
  EXPECT_FALSE(ReadFrameStamp(line, 2, &sequence));
}

TEST_F(FrameTest, CutShortAndShortTransfersDeliverTheStartOfTheFrame) {
  ASSERT_TRUE(wire().Send({kRequestSampleWidth, 1}));
  ASSERT_TRUE(wire().SendSamplesPerFrame(4096));
  PictureParams params = model_->CurrentPictureParams();
  std::vector<uint8_t> frame;
  uint32_t moved = 0;
  ASSERT_TRUE(wire().Frame(&frame, 8192, &moved));
  EXPECT_EQ(moved, 8192u);
  EXPECT_EQ(frame, ExpectedRawFrame(params, 0));

  ASSERT_TRUE(wire().SendSamplesPerFrame(kPowerOnSamples));
  params = model_->CurrentPictureParams();
  ASSERT_TRUE(model_->InjectFaults("short=1"));
  ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params), &moved));
  EXPECT_EQ(moved, RawFrameBytes(params) / 2);
  const std::vector<uint8_t> expected = ExpectedRawFrame(params, 1);
  EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + moved, expected.begin()));
  ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params), &moved));
  EXPECT_EQ(moved, RawFrameBytes(params));
}

struct Variant {
  const char* standard;
  bool squarePixels;
  bool tableA;
  int bytesPerSample;
  int input;  // 0 bars, 1 ramp, 2 moving, 3 none
  bool adjusted;
};

std::string VariantName(const ::testing::TestParamInfo<Variant>& info) {
  const Variant& v = info.param;
  const char* contents[] = {"Bars", "Ramp", "Moving", "None"};
  return std::string("Standard") + v.standard + (v.squarePixels ? "Square" : "Wide") +
         (v.tableA ? "A" : "B") + (v.bytesPerSample == 2 ? "Yuyv" : "Luma") + contents[v.input] +
         (v.adjusted ? "Adjusted" : "");
}

class FrameContentTest : public ModelTest, public ::testing::WithParamInterface<Variant> {};

TEST_P(FrameContentTest, FramesEqualTheExpectedPicture) {
  const Variant& v = GetParam();
  ASSERT_TRUE(model_->Configure((std::string("standard=") + v.standard).c_str()));
  const uint8_t input[4][2] = {{0x00, 0x00}, {0x02, 0x00}, {0x00, 0x03}, {0x01, 0x03}};
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectA, input[v.input][0]}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectB, input[v.input][1]}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegClockControl,
                           static_cast<uint8_t>(v.squarePixels ? 0xC0 : 0x40)}));
  ASSERT_TRUE(wire().Send({kRequestSampleWidth, static_cast<uint8_t>(v.bytesPerSample - 1)}));
  if (v.adjusted) {
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegBrightness, 0x98}));
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegContrast, 0x70}));
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegSaturation, 0xC0}));
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegHue, 0x1D}));
  }
  const int row = GeometryFor(model_->CurrentPictureParams()).row;
  ASSERT_TRUE(wire().SendSamplesPerFrame(
      RowSamplesPerFrame(v.tableA ? kTimingTableA[row] : kTimingTableB[row])));
  const PictureParams params = model_->CurrentPictureParams();
  ASSERT_EQ(GeometryFor(params).tableA, v.tableA || row >= 6);

  std::vector<uint8_t> frame;
  for (uint32_t sequence = 0; sequence < 3; ++sequence) {
    ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params)));
    ASSERT_TRUE(frame == ExpectedRawFrame(params, sequence)) << "frame " << sequence;
  }
}

std::vector<Variant> AllVariants() {
  std::vector<Variant> variants;
  for (const char* standard : {"525", "625", "525w", "625w"}) {
    for (bool square : {false, true}) {
      for (bool tableA : {false, true}) {
        for (int width : {1, 2}) {
          for (int input = 0; input < 4; ++input) {
            // Controls on for half the cases; "none" ignores them and needs no second run.
            variants.push_back({standard, square, tableA, width, input, tableA && input != 3});
          }
        }
      }
    }
  }
  return variants;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, FrameContentTest, ::testing::ValuesIn(AllVariants()),
                         VariantName);

TEST_F(FrameTest, MovingPatternDiffersBetweenFieldsAndFrames) {
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectB, 0x03}));
  const PictureParams params = model_->CurrentPictureParams();
  ASSERT_EQ(params.content, InputContent::kMoving);
  const size_t rowBytes = size_t(GeometryFor(params).hActive);
  std::vector<uint8_t> frame;
  ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params)));
  const std::vector<uint8_t> first = Weave(params, frame);
  ASSERT_TRUE(wire().Frame(&frame, RawFrameBytes(params)));
  const std::vector<uint8_t> second = Weave(params, frame);
  ASSERT_FALSE(first.empty() || second.empty());
  auto row = [&](const std::vector<uint8_t>& picture, int index) {
    return std::vector<uint8_t>(picture.begin() + index * rowBytes,
                                picture.begin() + (index + 1) * rowBytes);
  };
  EXPECT_EQ(row(first, 2), row(first, 4)) << "lines of one field show one moment";
  EXPECT_NE(row(first, 2), row(first, 3)) << "field 2 is half a frame later";
  EXPECT_NE(row(first, 3), row(second, 2));
  EXPECT_NE(row(first, 2), row(second, 2));
}

class PictureControlTest : public FrameTest {
 protected:
  // The decoded picture of the next frame (two-byte samples, bars).
  std::vector<uint8_t> Picture() {
    const PictureParams params = model_->CurrentPictureParams();
    std::vector<uint8_t> frame;
    EXPECT_TRUE(wire().Frame(&frame, RawFrameBytes(params)));
    return Weave(params, frame);
  }
  // Luma and chroma of sample `x` of decoded row 10.
  static std::pair<int, int> At(const std::vector<uint8_t>& picture, int x) {
    if (picture.empty()) return {-1, -1};
    const size_t offset = (size_t{10} * 640 + x) * 2;
    return {picture[offset], picture[offset + 1]};
  }
  void Write(uint8_t address, uint8_t value) {
    ASSERT_TRUE(wire().Send({kRequestWriteRegister, address, value}));
  }
  void SetUp() override {
    FrameTest::SetUp();
    ASSERT_TRUE(wire().Send({kRequestSampleWidth, 1}));
  }
  // Bars are 80 samples wide at 640: sample 80 starts yellow (Y 162, U 44, V 142).
  static constexpr int kYellowU = 80;
  static constexpr int kYellowV = 81;
};

TEST_F(PictureControlTest, BrightnessAndContrastMoveLumaOnly) {
  EXPECT_EQ(At(Picture(), kYellowU), std::make_pair(162, 44));
  Write(kRegBrightness, 0xA0);
  EXPECT_EQ(At(Picture(), kYellowU), std::make_pair(162 + 0x20, 44));
  Write(kRegBrightness, 0x80);
  Write(kRegContrast, 0x40);
  EXPECT_EQ(At(Picture(), kYellowU), std::make_pair(128 + (162 - 128) / 2, 44));
  Write(kRegContrast, 0xFF);
  Write(kRegBrightness, 0xFF);
  EXPECT_EQ(At(Picture(), 0).first, 255) << "luma clamps";
}

TEST_F(PictureControlTest, SaturationScalesAndHueRotatesChroma) {
  Write(kRegSaturation, 0x00);
  EXPECT_EQ(At(Picture(), kYellowU), std::make_pair(162, 128));
  EXPECT_EQ(At(Picture(), kYellowV), std::make_pair(162, 128));
  Write(kRegSaturation, 0x40);
  EXPECT_EQ(At(Picture(), kYellowU).second, 128 + (44 - 128) / 2);
  Write(kRegSaturation, 0x80);
  Write(kRegHue, 0x80);  // half a turn: both chroma components change sign
  EXPECT_EQ(At(Picture(), kYellowU), std::make_pair(162, 128 + (128 - 44)));
  EXPECT_EQ(At(Picture(), kYellowV).second, 128 - (142 - 128));
  Write(kRegHue, 0x40);  // a quarter turn: U' = -V, V' = U
  EXPECT_EQ(At(Picture(), kYellowU).second, 128 - (142 - 128));
  EXPECT_EQ(At(Picture(), kYellowV).second, 44);
}

TEST_F(PictureControlTest, StampsAndNoSignalIgnoreTheControls) {
  Write(kRegBrightness, 0xFF);
  Write(kRegContrast, 0x00);
  Write(kRegHue, 0x55);
  uint32_t sequence = 0;
  EXPECT_TRUE(ReadFrameStamp(Picture().data(), 2, &sequence));
  Write(kRegInputSelectA, 0x01);  // (0x01, 0x00) selects nothing
  const std::vector<uint8_t> picture = Picture();
  EXPECT_EQ(At(picture, 0), std::make_pair(16, 128));
  EXPECT_EQ(At(picture, 639), std::make_pair(16, 128));
}

TEST(ExpectedPicture, RefusesUnusableArguments) {
  PictureParams params{0, true, 402432, 2, InputContent::kBars, 0x80, 0x80, 0, 0x80};
  std::vector<uint8_t> out(ExpectedPictureBytes(params));
  EXPECT_EQ(out.size(), size_t{640} * 480 * 2);
  EXPECT_TRUE(RenderExpectedPicture(params, 7, out.data(), out.size()));
  EXPECT_FALSE(RenderExpectedPicture(params, 7, out.data(), out.size() - 1));
  EXPECT_FALSE(RenderExpectedPicture(params, 7, nullptr, out.size()));
  params.bytesPerSample = 3;
  EXPECT_FALSE(RenderExpectedPicture(params, 7, out.data(), out.size()));
  params.bytesPerSample = 2;
  params.content = static_cast<InputContent>(9);
  EXPECT_FALSE(RenderExpectedPicture(params, 7, out.data(), out.size()));
}

TEST_F(FrameTest, NothingIsAllocatedAfterCreation) {
  const int created = host_.Allocations();
  std::vector<uint8_t> frame(4 * kPowerOnSamples);
  ASSERT_TRUE(model_->Configure("standard=625 input0=moving port=1"));
  ASSERT_TRUE(wire().Send({kRequestSampleWidth, 1}));
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegHue, 0x30}));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(wire().Transfer(kVideoPipe, frame.data(), frame.size()));
  }
  ASSERT_TRUE(model_->InjectFaults("short=1 read-fail=1 stall=1"));
  EXPECT_EQ(wire().ReadRegister(0x01), 0x15);
  ASSERT_TRUE(wire().Transfer(kVideoPipe, frame.data(), frame.size()));
  EXPECT_EQ(host_.Allocations(), created);
}

}  // namespace
}  // namespace zelsim::test
