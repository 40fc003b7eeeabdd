// Construction, reset, registers and decoder control of the converter's library object.
#include "device/zel_cnv_sdk.h"

#include <cstring>

#include "device/protocol.h"
#include "device/transport.h"

namespace zelcnv::device {

namespace {

constexpr int kInputCount = 6;
// Registers 0x00 and 0x20 for each input.
constexpr uint8_t kInputSelectA[kInputCount] = {0x00, 0x02, 0x00, 0x01, 0x08, 0x09};
constexpr uint8_t kInputSelectB[kInputCount] = {0x00, 0x00, 0x03, 0x03, 0x03, 0x03};

constexpr uint8_t kPortLevelBit = 0x02;

// Closes a device handle on every path out of a scope.
class OpenedDevice {
 public:
  explicit OpenedDevice(platform::DeviceFile* handle) : handle_(handle) {}
  ~OpenedDevice() { platform::CloseDeviceFile(handle_); }
  OpenedDevice(const OpenedDevice&) = delete;
  OpenedDevice& operator=(const OpenedDevice&) = delete;
  platform::DeviceFile* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  platform::DeviceFile* handle_;
};

}  // namespace

CZelCnvSdk::CZelCnvSdk(int slotCount) : CVXMSdkLib(slotCount) {
  std::memcpy(registerTable_, BuiltInRegisterTable(), sizeof registerTable_);
  ProbeDevices();
  SetAlternateCodes(true, true);
  Reset(0);
}

Status CZelCnvSdk::Reset(int deviceIndex) {
  if (TransferRunning()) return kStatusAlreadyRunning;
  twoByteSamples_ = 0;
  if (SelectDevice(deviceIndex) != kStatusOk) return kStatusBadDeviceIndex;
  SetSampleWidth(false);
  // A converter another handle streams from keeps its state; this object starts from the
  // defaults all the same.
  if (OpenedDevice device{StreamedElsewhere() ? nullptr : OpenDevice()}) {
    (void)SendSimpleRequest(device.get(), kRequestReset);
  }
  LoadRegisterDefaults();
  SetVideoFormat(0);
  return kStatusOk;
}

bool CZelCnvSdk::WriteRegister(int reg, int value) {
  const uint8_t payload[2] = {static_cast<uint8_t>(reg), static_cast<uint8_t>(value)};
  if (!registerTable_[payload[0]].writable) return false;
  OpenedDevice device{OpenDevice()};
  return device && SendPayloadRequest(device.get(), 2, payload) == kStatusOk;
}

bool CZelCnvSdk::ReadRegister(int reg, int* value) {
  const uint8_t address = static_cast<uint8_t>(reg);
  if (!registerTable_[address].readable) return false;
  uint8_t answer = 0;
  Status status = kStatusNoDevice;
  if (OpenedDevice device{OpenDevice()}) {
    status = QueryIndexedRequest(device.get(), address, &answer, 1);
  }
  if (value != nullptr) *value = status == kStatusOk ? answer : 0;
  return status == kStatusOk;
}

int CZelCnvSdk::GetRegisterDefault(int reg) const {
  return registerTable_[static_cast<uint8_t>(reg)].defaultValue;
}

void CZelCnvSdk::LoadRegisterDefaults() {
  std::memcpy(registerTable_, BuiltInRegisterTable(), sizeof registerTable_);
  // An absent device learns it at its next reset; one streaming for another handle, at its own.
  if (!StreamedElsewhere()) (void)WriteRegister(kRegResetStrobe, 0);
}

bool CZelCnvSdk::SelectInput(int input) {
  const int index = input & 0xFF;
  if (index >= kInputCount) return false;
  // Accepted whether or not the device heard it: the answer is about the input number.
  (void)WriteRegister(kRegInputSelectA, kInputSelectA[index]);
  (void)WriteRegister(kRegInputSelectB, kInputSelectB[index]);
  return true;
}

bool CZelCnvSdk::SetSamplingClock(bool normal) {
  if (StreamedElsewhere()) return false;
  int value = 0;
  if (!ReadRegister(kRegClockControl, &value)) return false;
  value &= ~kSquarePixelClockBit;
  if (normal) value |= kSquarePixelClockBit;
  return WriteRegister(kRegClockControl, value);
}

int CZelCnvSdk::DetectVideoStandard() {
  int value = 0;
  if (!ReadRegister(kRegVideoStandard, &value)) return 0;
  switch (value & 0x0F) {
    case 2:
    case 3:
      return 1;  // 625-line
    case 4:
    case 5:
      return 2;  // 525-line with the 860-sample rows
    case 10:
    case 11:
      return 3;  // 625-line with the 860-sample rows
    default:
      return 0;  // 525-line, also for the nibbles the converter does not report
  }
}

bool CZelCnvSdk::QueryIoPort(int* level) {
  OpenedDevice device{OpenDevice()};
  if (!device) return false;
  uint8_t packet[kPacketSize] = {kRequestPortLevel};
  uint8_t answer = 0;
  if (QueryRequest(device.get(), packet, &answer, 1) != kStatusOk) return false;
  if (level != nullptr) *level = (answer & kPortLevelBit) != 0 ? 1 : 0;
  return true;
}

}  // namespace zelcnv::device
