#include "sim_environment.h"

#include "ZelCnvSim.h"

namespace zelsim::test {

void SimEnvironment::SetUp() {
  for (int index = 0; index < ZELSIM_MAX_DEVICES; ++index) ZelSim_Detach(index);
  ASSERT_EQ(ZelSim_Attach(0, nullptr), 1)
      << "no simulated converter can be attached; under Wine the zqvdsim driver must be running "
         "in the build tree's prefix (./run setup installs it)";
  ASSERT_EQ(ZelSim_Detach(0), 1);
}

namespace {

// gtest owns the environment once it is added.
::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new SimEnvironment);

}  // namespace

}  // namespace zelsim::test
