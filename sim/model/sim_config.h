// The words that configure a simulated converter and inject faults into it, parsed without the
// standard library so that the kernel-mode host can use the same parser. Each text is a list of
// words separated by spaces or tabs; the public header ZelCnvSim.h documents the words.
#pragma once

#include <stdint.h>

#include "device_registers.h"
#include "picture.h"

namespace zelsim {

enum class TimingMode : uint8_t {
  kRealtime,  // frames are due at the frame rate of the standard
  kFree,      // every frame transfer returns the next frame at once
  kManual,    // every frame transfer waits for a frame released by a test
};

// A configuration change: only the parts marked present apply.
struct SimConfig {
  bool hasStandard;
  uint8_t standard;
  bool hasContent[kInputCount];
  InputContent content[kInputCount];
  bool hasTiming;
  TimingMode timing;
  bool hasPort;
  uint8_t portLevel;
};

enum class FaultKind : uint8_t {
  kUnplug,
  kReplug,
  kFailAfter,  // value: frames still delivered
  kShort,      // value: frame transfers that deliver half a frame
  kStall,      // value: milliseconds the next frame transfer waits extra
  kReadFail,   // value: answer reads that fail
  kRelease,    // value: frames released in manual timing
  kClear,
};

struct FaultAction {
  FaultKind kind;
  uint32_t value;
};

inline constexpr int kMaxFaultActions = 16;
inline constexpr uint32_t kMaxFaultCount = 1000000000;
inline constexpr uint32_t kMaxStallMs = 3600000;

struct FaultList {
  int count;
  FaultAction actions[kMaxFaultActions];
};

// False, with `config` unspecified, on any unknown word, bad or out-of-range value. A null or
// empty text is a valid empty change.
bool ParseConfig(const char* text, SimConfig* config);
// False on any bad word, on more than kMaxFaultActions words, and on a null or empty text.
bool ParseFaults(const char* text, FaultList* faults);

}  // namespace zelsim
