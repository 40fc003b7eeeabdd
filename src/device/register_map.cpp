// The built-in register table: access by address range, defaults by address.
#include "device/register_map.h"

#include <array>

namespace zelcnv::device {

namespace {

enum Access : uint8_t { kNone, kRead, kWrite, kReadWrite };

struct AccessRange {
  uint8_t first;
  uint8_t last;
  Access access;
};

constexpr AccessRange kAccessRanges[] = {
    {0x00, 0x03, kReadWrite}, {0x04, 0x05, kNone},  {0x06, 0x0E, kReadWrite}, {0x0F, 0x10, kNone},
    {0x11, 0x16, kReadWrite}, {0x17, 0x17, kNone},  {0x18, 0x1E, kReadWrite}, {0x1F, 0x1F, kNone},
    {0x20, 0x20, kReadWrite}, {0x21, 0x25, kNone},  {0x26, 0x26, kReadWrite}, {0x27, 0x27, kNone},
    {0x28, 0x28, kReadWrite}, {0x29, 0x7E, kNone},  {0x7F, 0x7F, kWrite},     {0x80, 0x8C, kRead},
    {0x8D, 0x8F, kNone},      {0x90, 0xB0, kRead},  {0xB1, 0xBB, kReadWrite}, {0xBC, 0xBF, kNone},
    {0xC0, 0xC6, kReadWrite}, {0xC7, 0xC7, kWrite}, {0xC8, 0xC8, kReadWrite}, {0xC9, 0xC9, kWrite},
    {0xCA, 0xFC, kReadWrite}, {0xFD, 0xFF, kNone},
};

struct DefaultValue {
  uint8_t address;
  uint8_t value;
};

constexpr DefaultValue kDefaults[] = {
    {0x01, 0x15}, {0x03, 0x19}, {0x09, 0x80}, {0x0A, 0x80}, {0x0C, 0x80}, {0x0D, 0x40},
    {0x15, 0x01}, {0x16, 0x80}, {0x1A, 0x0C}, {0x1B, 0x14}, {0xC2, 0x04}, {0xC6, 0x40},
    {0xC8, 0x80}, {0xCB, 0x59}, {0xCC, 0x03}, {0xCD, 0x01}, {0xFC, 0x7F},
};
constexpr int kAllOnesFirst = 0xD0;
constexpr int kAllOnesLast = 0xFB;

constexpr std::array<RegisterEntry, kRegisterCount> BuildTable() {
  std::array<RegisterEntry, kRegisterCount> table{};
  for (int i = 0; i < kRegisterCount; ++i) table[i].address = static_cast<uint8_t>(i);
  for (const AccessRange& range : kAccessRanges) {
    for (int a = range.first; a <= range.last; ++a) {
      table[a].readable = range.access == kRead || range.access == kReadWrite;
      table[a].writable = range.access == kWrite || range.access == kReadWrite;
    }
  }
  for (const DefaultValue& entry : kDefaults) table[entry.address].defaultValue = entry.value;
  for (int a = kAllOnesFirst; a <= kAllOnesLast; ++a) table[a].defaultValue = 0xFF;
  return table;
}

constexpr std::array<RegisterEntry, kRegisterCount> kBuiltInTable = BuildTable();

}  // namespace

const RegisterEntry* BuiltInRegisterTable() {
  return kBuiltInTable.data();
}

}  // namespace zelcnv::device
