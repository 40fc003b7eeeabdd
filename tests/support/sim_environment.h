// A gtest environment for test programs that use simulated converters. Before the first test it
// detaches every converter: on Windows they live in the driver and outlive the test process that
// attached them, so a crashed or killed predecessor would otherwise leave its converters behind.
// It also proves that a converter can be attached at all, so a missing driver fails once and
// loudly instead of in every test.
//
// Linking the zelsim_test_environment object library registers it; nothing else is needed.
#pragma once

#include <gtest/gtest.h>

namespace zelsim::test {

class SimEnvironment : public ::testing::Environment {
 public:
  void SetUp() override;
};

}  // namespace zelsim::test
