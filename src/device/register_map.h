// The converter's register map as the host knows it: which registers may be read or written,
// and their default values.
#pragma once

#include <cstdint>

namespace zelcnv::device {

constexpr int kRegisterCount = 256;

struct RegisterEntry {
  uint8_t address;
  uint8_t defaultValue;
  uint8_t readable;
  uint8_t writable;
};

// Registers with a fixed role in the library.
enum Register : uint8_t {
  kRegInputSelectA = 0x00,
  kRegBrightness = 0x09,
  kRegSaturation = 0x0A,
  kRegHue = 0x0B,
  kRegContrast = 0x0C,
  kRegClockControl = 0x0D,
  kRegInputSelectB = 0x20,
  kRegResetStrobe = 0x7F,
  kRegVideoStandard = 0x88,
};

// Register 0x0D bit 7: square-pixel sampling clock (the Normal rates) when set.
constexpr uint8_t kSquarePixelClockBit = 0x80;

// The built-in table, indexed by address.
const RegisterEntry* BuiltInRegisterTable();

}  // namespace zelcnv::device
