/* The sample with a simulated converter attached first (Linux: the simulator lives in the
 * library's own process). */
#include "ZelCnvSim.h"

int capture_main(int argc, char** argv);

int main(int argc, char** argv) {
  if (ZelSim_Attach(0, "timing=realtime input0=moving") != 1) return 2;
  const int result = capture_main(argc, argv);
  ZelSim_Detach(0);
  return result;
}
