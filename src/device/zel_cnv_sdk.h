// The converter's device library object: register map, reset, decoder control and the video
// formats. The only library class that is instantiated.
#pragma once

#include <cstdint>

#include "device/register_map.h"
#include "device/vxm_sdk_lib.h"

namespace zelcnv::device {

// One timing row: where the picture lies in the lines and fields the converter sends.
struct TimingRow {
  int32_t hStart;
  int32_t hActive;
  int32_t hTotal;
  int32_t vStart;
  int32_t vActive;
  int32_t vTotal;
};

constexpr int kTimingRows = 8;
// Table A serves the HiSpeed rates, table B the LowSpeed ones.
extern const TimingRow kTimingTableA[kTimingRows];
extern const TimingRow kTimingTableB[kTimingRows];

// Mode byte: sampling rate in the high nibble, detected video standard in the low nibble.
constexpr uint8_t kModeNormalHiSpeed = 0x10;
constexpr uint8_t kModeWideLowSpeed = 0x20;
constexpr uint8_t kModeWideHiSpeed = 0x30;
constexpr uint8_t kModeNormalLowSpeed = 0x40;
constexpr int kSampleBlock = 1024;

class CZelCnvSdk : public CVXMSdkLib {
 public:
  // Probes the devices, selects device 0 and resets it.
  explicit CZelCnvSdk(int slotCount);

  // kStatusOk, kStatusBadDeviceIndex or kStatusAlreadyRunning (the transfer thread runs).
  Status Reset(int deviceIndex);

  // Register access on the low 8 bits of register and value, checked against the map first:
  // false when the map refuses it or the device does not answer (a failed read stores 0).
  [[nodiscard]] bool WriteRegister(int reg, int value);
  [[nodiscard]] bool ReadRegister(int reg, int* value);
  int GetRegisterDefault(int reg) const;
  bool SetBrightness(int value) { return WriteRegister(kRegBrightness, value); }
  bool SetSaturation(int value) { return WriteRegister(kRegSaturation, value); }
  bool SetHue(int value) { return WriteRegister(kRegHue, value); }
  bool SetContrast(int value) { return WriteRegister(kRegContrast, value); }
  void LoadRegisterDefaults();

  // Decoder control. SelectInput: false for an input outside 0..5 (nothing written).
  bool SelectInput(int input);
  bool SetSamplingClock(bool normal);
  // 0..3; 0 also when the standard cannot be read.
  int DetectVideoStandard();
  [[nodiscard]] bool QueryIoPort(int* level);

  // Video formats. SetVideoFormat keeps the previous format when the row is refused.
  Status SetVideoFormat(int mode);
  [[nodiscard]] Status SetVideoTiming(int hTotal, int hStart, int hActive, int vTotal, int vStart,
                                      int vActive);
  void GetFrameRect(int* left, int* top, int* width, int* height, int* extra) const;

 private:
  RegisterEntry registerTable_[kRegisterCount];
};

}  // namespace zelcnv::device
