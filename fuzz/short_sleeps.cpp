// The API fuzzer's sleeps: at most a millisecond (the simulated converter needs no settling).
#include <cstdint>

extern "C" void __real__ZN6zelcnv8platform7SleepMsEj(uint32_t milliseconds);

extern "C" void __wrap__ZN6zelcnv8platform7SleepMsEj(uint32_t milliseconds) {
  __real__ZN6zelcnv8platform7SleepMsEj(milliseconds > 1 ? 1 : milliseconds);
}
