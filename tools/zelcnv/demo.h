// The demo: an application's main job through the library, on a simulated converter.
#pragma once

#include <string>

namespace zelcnv::tool {

struct DemoOptions {
  int seconds = 3;
  std::string outputDirectory = ".";
  std::string simConfig = "standard=625 input0=moving timing=realtime";
};

int RunDemo(const DemoOptions& options);

}  // namespace zelcnv::tool
