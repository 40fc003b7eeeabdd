#include "device_registers.h"

namespace zelsim {

namespace {

struct RegisterDefault {
  uint8_t address;
  uint8_t value;
};

// Power-on values other than zero; 0xD0..0xFB are handled as a range.
constexpr RegisterDefault kPowerOnValues[] = {
    {0x01, 0x15}, {0x03, 0x19}, {0x09, 0x80}, {0x0A, 0x80}, {0x0C, 0x80}, {0x0D, 0x40},
    {0x15, 0x01}, {0x16, 0x80}, {0x1A, 0x0C}, {0x1B, 0x14}, {0xC2, 0x04}, {0xC6, 0x40},
    {0xC8, 0x80}, {0xCB, 0x59}, {0xCC, 0x03}, {0xCD, 0x01}, {0xFC, 0x7F},
};
constexpr uint8_t kAllOnesFirst = 0xD0;
constexpr uint8_t kAllOnesLast = 0xFB;
constexpr uint8_t kAllOnes = 0xFF;

struct InputSelection {
  uint8_t selectA;  // register 0x00
  uint8_t selectB;  // register 0x20
};
constexpr InputSelection kInputSelections[kInputCount] = {
    {0x00, 0x00}, {0x02, 0x00}, {0x00, 0x03}, {0x01, 0x03}, {0x08, 0x03}, {0x09, 0x03},
};

}  // namespace

uint8_t PowerOnValue(uint8_t address) {
  if (address >= kAllOnesFirst && address <= kAllOnesLast) return kAllOnes;
  for (const RegisterDefault& entry : kPowerOnValues) {
    if (entry.address == address) return entry.value;
  }
  return 0;
}

void LoadPowerOnRegisters(uint8_t registers[kRegisterCount]) {
  for (int i = 0; i < kRegisterCount; ++i) registers[i] = PowerOnValue(static_cast<uint8_t>(i));
}

int SelectedInput(uint8_t selectA, uint8_t selectB) {
  for (int i = 0; i < kInputCount; ++i) {
    if (kInputSelections[i].selectA == selectA && kInputSelections[i].selectB == selectB) return i;
  }
  return kNoInput;
}

}  // namespace zelsim
