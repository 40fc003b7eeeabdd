// The platform-neutral part of the behaviour tests' support.
#include "api_test_support.h"

#include "ZelCnvSim.h"

namespace zelcnv::apitest {

void ApiTest::SetUp() {
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
  ClearSettingsStore();
}

void ApiTest::TearDown() {
  for (int i = 0; i < ZELSIM_MAX_DEVICES; ++i) ZelSim_Detach(i);
}

}  // namespace zelcnv::apitest
