// The exports under the sequences of api_sequence.h, as a careless or hostile application might
// call them. Two application threads share the handles: the input's first half drives one, its
// second half the other. Converters may go silent for 20 s (a stop must not wait for them) or send
// frames only when released.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "ZelCnvSim.h"
#include "api_sequence.h"
#include "fuzz_input.h"

namespace {

using zelcnv::fuzz::FuzzInput;
using zelcnv::sequence::kConverters;

const std::string& Scratch() {
  static const std::string dir = [] {
    const char* base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    const std::string path = std::string(base) + "/zelcnv-fuzz-api-" + std::to_string(getpid());
    std::filesystem::create_directories(path + "/config");
    setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
    return path;
  }();
  return dir;
}

constexpr int kStepsPerThread = 32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Scratch();
  FuzzInput setup(data, size);
  for (int i = 0; i < kConverters; ++i) {
    ZelSim_Attach(i, setup.Bit() ? "timing=free" : "timing=free standard=625");
  }
  const size_t half = size / 2;
  FuzzInput first(data, half), second(data + half, size - half);
  {
    zelcnv::sequence::SequenceWorld world(Scratch(), {});
    zelcnv::sequence::Sequence<FuzzInput> a(world, first), b(world, second);
    std::thread other([&] { b.Run(kStepsPerThread); });
    a.Run(kStepsPerThread);
    other.join();
  }  // handles released, then the buffers they streamed into freed
  for (int i = 0; i < kConverters; ++i) ZelSim_Detach(i);
  return 0;
}
