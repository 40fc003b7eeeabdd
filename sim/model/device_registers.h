// The converter's 256 byte-wide registers as the device sees them: power-on values and the
// registers whose contents change what the device sends.
#pragma once

#include <stdint.h>

namespace zelsim {

inline constexpr int kRegisterCount = 256;

enum RegisterAddress : uint8_t {
  kRegInputSelectA = 0x00,
  kRegBrightness = 0x09,
  kRegSaturation = 0x0A,
  kRegHue = 0x0B,
  kRegContrast = 0x0C,
  kRegClockControl = 0x0D,
  kRegInputSelectB = 0x20,
  kRegResetStrobe = 0x7F,
  kRegStandardStatus = 0x88,
};

// Register 0x0D: set for the square-pixel sampling clock.
inline constexpr uint8_t kClockSquarePixelsBit = 0x80;
inline constexpr uint8_t kStandardNibbleMask = 0x0F;

inline constexpr int kInputCount = 6;
inline constexpr int kNoInput = -1;

// Fills `registers` with the power-on values.
void LoadPowerOnRegisters(uint8_t registers[kRegisterCount]);
uint8_t PowerOnValue(uint8_t address);

// The input that registers 0x00 and 0x20 select, or kNoInput for any other combination.
int SelectedInput(uint8_t selectA, uint8_t selectB);

}  // namespace zelsim
