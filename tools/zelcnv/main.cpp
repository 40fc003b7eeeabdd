// zelcnv: command-line tool for the converter and its simulator.
#include <cstdio>
#include <cstring>
#include <string>

#include "demo.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: zelcnv demo [--seconds N] [--out DIR] [--sim CONFIG]\n"
               "  demo   attach a simulated converter and use it through the library: stream,\n"
               "         save the last frame in every still format, record a clip, snapshot\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage();
    return 2;
  }
  std::string command = argv[1];
  if (command == "demo") {
    zelcnv::tool::DemoOptions options;
    for (int i = 2; i < argc; ++i) {
      std::string arg = argv[i];
      if (i + 1 >= argc) {
        Usage();
        return 2;
      }
      if (arg == "--seconds") {
        options.seconds = std::atoi(argv[++i]);
      } else if (arg == "--out") {
        options.outputDirectory = argv[++i];
      } else if (arg == "--sim") {
        options.simConfig = argv[++i];
      } else {
        Usage();
        return 2;
      }
    }
    return zelcnv::tool::RunDemo(options);
  }
  Usage();
  return 2;
}
