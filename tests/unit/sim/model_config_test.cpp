// Configuration and fault words: what each good word changes, and that a text with any bad word
// is refused whole.
#include <gtest/gtest.h>

#include <string>

#include "model/device_registers.h"
#include "sim_test_support.h"

namespace zelsim::test {
namespace {

TEST(ConfigWords, StandardsByNameAndNumber) {
  const struct {
    const char* text;
    uint8_t standard;
  } kCases[] = {{"standard=525", 0},   {"standard=625", 2},   {"standard=525w", 4},
                {"standard=625w", 10}, {"standard=0", 0},     {"standard=15", 15},
                {"standard=007", 7},   {"\tstandard=3\n", 3}, {"standard=2 standard=11", 11}};
  for (const auto& c : kCases) {
    SimConfig config;
    ASSERT_TRUE(ParseConfig(c.text, &config)) << c.text;
    EXPECT_TRUE(config.hasStandard) << c.text;
    EXPECT_EQ(config.standard, c.standard) << c.text;
  }
}

TEST(ConfigWords, InputsTimingAndPort) {
  SimConfig config;
  ASSERT_TRUE(ParseConfig("input0=none input5=moving timing=manual port=1", &config));
  EXPECT_TRUE(config.hasContent[0] && config.hasContent[5]);
  EXPECT_FALSE(config.hasContent[1] || config.hasStandard);
  EXPECT_EQ(config.content[0], InputContent::kNone);
  EXPECT_EQ(config.content[5], InputContent::kMoving);
  EXPECT_EQ(config.timing, TimingMode::kManual);
  EXPECT_EQ(config.portLevel, 1);
  for (const char* empty : {static_cast<const char*>(nullptr), "", "   "}) {
    ASSERT_TRUE(ParseConfig(empty, &config));
    EXPECT_FALSE(config.hasStandard || config.hasTiming || config.hasPort);
  }
}

TEST(ConfigWords, BadWordsAreRefused) {
  const char* kBad[] = {"standard=16",
                        "standard=",
                        "standard",
                        "standard=-1",
                        "standard=0x2",
                        "standard=625W",
                        "input6=bars",
                        "input=bars",
                        "input00=bars",
                        "input0=stripes",
                        "input0=",
                        "timing=slow",
                        "timing=",
                        "port=2",
                        "port=",
                        "bogus=1",
                        "=",
                        "standard==2",
                        "unplug",
                        "standard=2 x",
                        "Standard=2",
                        "standard=99999999999999999999"};
  SimConfig config;
  for (const char* text : kBad) EXPECT_FALSE(ParseConfig(text, &config)) << text;
  EXPECT_FALSE(ParseConfig("standard=2", nullptr));
  const std::string huge = "standard=" + std::string(100000, '1');
  EXPECT_FALSE(ParseConfig(huge.c_str(), &config));
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "port=1 ";
  EXPECT_TRUE(ParseConfig(many.c_str(), &config)) << "length alone is no fault";
}

TEST(FaultWords, GoodWordsInOrder) {
  FaultList faults;
  ASSERT_TRUE(
      ParseFaults("unplug fail-after=3 short=0 stall=3600000 read-fail=2 release=1000000000 "
                  "clear replug",
                  &faults));
  ASSERT_EQ(faults.count, 8);
  EXPECT_EQ(faults.actions[0].kind, FaultKind::kUnplug);
  EXPECT_EQ(faults.actions[1].kind, FaultKind::kFailAfter);
  EXPECT_EQ(faults.actions[1].value, 3u);
  EXPECT_EQ(faults.actions[3].value, kMaxStallMs);
  EXPECT_EQ(faults.actions[5].value, kMaxFaultCount);
  EXPECT_EQ(faults.actions[7].kind, FaultKind::kReplug);
}

TEST(FaultWords, BadWordsAreRefused) {
  const char* kBad[] = {nullptr,
                        "",
                        "  ",
                        "unplug=1",
                        "fail-after",
                        "fail-after=",
                        "short=x",
                        "stall=3600001",
                        "release=1000000001",
                        "read-fail=-1",
                        "reboot",
                        "clear bogus",
                        "UNPLUG",
                        "release=4294967296"};
  FaultList faults;
  for (const char* text : kBad) EXPECT_FALSE(ParseFaults(text, &faults)) << (text ? text : "null");
  std::string many;
  for (int i = 0; i <= kMaxFaultActions; ++i) many += "release=1 ";
  EXPECT_FALSE(ParseFaults(many.c_str(), &faults));
}

using ModelConfigTest = ModelTest;

TEST_F(ModelConfigTest, RefusedTextChangesNothing) {
  EXPECT_FALSE(model_->Configure("standard=625 input0=moving port=1 timing=bogus"));
  EXPECT_EQ(model_->ReadRegister(kRegStandardStatus), 0);
  EXPECT_EQ(model_->CurrentPictureParams().content, InputContent::kBars);
  ASSERT_TRUE(wire().Send({kRequestPortQuery}));
  EXPECT_EQ(wire().ReadAnswer(), 0);

  EXPECT_FALSE(model_->InjectFaults("unplug bogus"));
  EXPECT_TRUE(wire().Send({kRequestFrame})) << "still plugged in";
}

TEST_F(ModelConfigTest, ConfigureChangesOnlyTheWordsGiven) {
  ASSERT_TRUE(model_->Configure("standard=625w input0=ramp"));
  ASSERT_TRUE(model_->Configure("input1=none"));
  EXPECT_EQ(model_->ReadRegister(kRegStandardStatus), 10);
  EXPECT_EQ(model_->CurrentPictureParams().content, InputContent::kRamp);
  ASSERT_TRUE(wire().Send({kRequestWriteRegister, kRegInputSelectA, 0x02}));
  EXPECT_EQ(model_->CurrentPictureParams().content, InputContent::kNone);
  EXPECT_TRUE(model_->Configure(nullptr));
  EXPECT_EQ(model_->ReadRegister(kRegStandardStatus), 10);
}

}  // namespace
}  // namespace zelsim::test
