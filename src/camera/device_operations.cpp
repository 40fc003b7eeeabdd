// The camera object's device operations: registers, input, video standard, I/O port, and the
// choice and naming of converters.
#include <cstdio>

#include "camera/camera.h"
#include "device/protocol.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace zelcnv::camera {

namespace {

constexpr char kProductWord[] = "ZelCnv";
constexpr int kNameEntries = 10;
constexpr int kNameEntryChars = 256;
constexpr int kMinNameChars = 10;  // "ZelCnv_01" and its terminator

// "ZelCnv_NN" in UTF-16; false when the product word cannot be converted.
bool WideName(int number, char16_t* out, int capacity) {
  char16_t word[kNameEntryChars];
  const int units = platform::NarrowToUtf16(kProductWord, word, kNameEntryChars);
  if (units == 0) return false;
  char suffix[8];
  std::snprintf(suffix, sizeof suffix, "_%02d", number);
  int length = units - 1;
  for (const char* s = suffix; *s != '\0' && length < kNameEntryChars - 1; ++s) {
    word[length++] = static_cast<char16_t>(*s);
  }
  if (length + 1 > capacity) return false;
  for (int i = 0; i < length; ++i) out[i] = word[i];
  out[length] = u'\0';
  return true;
}

}  // namespace

int CZelCam::WriteRegister(int reg, int value) {
  if (!device_) return Fail(kErrNotReady);
  if (!device_->WriteRegister(reg, value)) return Fail(kErrDeviceIo);
  return 1;
}

int CZelCam::ReadRegister(int reg, int* valid) {
  if (valid != nullptr) *valid = 0;
  if (!device_) return Fail(kErrNotReady);
  int value = 0;
  if (!device_->ReadRegister(reg, &value)) return Fail(kErrDeviceIo);
  if (valid != nullptr) *valid = 1;
  return value;
}

int CZelCam::SetCrossbar(int input) {
  return device_ && device_->SelectInput(input) ? 1 : 0;
}

int CZelCam::GetVideoFormat(int* valid) {
  if (!device_) {
    if (valid != nullptr) *valid = 0;
    return Fail(kErrNotReady);
  }
  if (valid != nullptr) *valid = 1;
  return device_->DetectVideoStandard();
}

int CZelCam::GetIoPort(int* value) {
  // This export reports its failures only as posted messages, never on the error stack.
  if (value == nullptr) return errors_.PostOnly(kErrParameter), 0;
  if (!device_) return errors_.PostOnly(kErrNotReady), 0;
  int level = 0;
  if (!device_->QueryIoPort(&level)) return errors_.PostOnly(kErrOperation), 0;
  *value = level;
  return 1;
}

int CZelCam::SetDeviceNumber(int index) {
  if (!device_) return Fail(kErrNotReady);
  if (!device_->IsPresent(index)) return Fail(kErrNoDevice);
  // A stream (even one its converter ended: its threads may still be on their way out) keeps its
  // device, its format and its frame memory until it is stopped.
  if (streamState_.load() == kStreamRunning) return Fail(kErrNotReady);
  // The clock and the standard are those of the device selected before the change; the next
  // stream preparation programs the new device again.
  device_->SetSamplingClock(NormalRate());
  const int standard = device_->DetectVideoStandard();
  if (device_->Reset(index) != kStatusOk) return Fail(kErrNoDevice);
  platform::SleepMs(kFormatSettleMs);
  device_->SetVideoFormat(FormatCode(standard));
  // Armed pictures were sized for the geometry before the change, which another device or
  // another standard need not share: arm again for the new one, or disarm.
  if (streamState_.load() == kStreamArmed && !PrepareStream()) streamState_.store(kStreamIdle);
  return 1;
}

int CZelCam::EnumDevice(char (*list)[256]) {
  if (!device_) return Fail(kErrNotReady);
  if (list == nullptr) return Fail(kErrParameter);
  int found = 0;
  for (int i = 0; i < device::CVXMSdkLib::GetDeviceCount(); ++i) {
    if (!device_->IsPresent(i)) continue;
    ++found;
    std::snprintf(list[found - 1], kNameEntryChars, "%s_%02d", kProductWord, found);
  }
  for (int entry = found; entry < kNameEntries; ++entry) list[entry][0] = '\0';
  return found;
}

int CZelCam::EnumDeviceW(char16_t (*list)[256]) {
  if (!device_) return Fail(kErrNotReady);
  if (list == nullptr) return Fail(kErrParameter);
  int found = 0;
  for (int i = 0; i < device::CVXMSdkLib::GetDeviceCount(); ++i) {
    if (!device_->IsPresent(i)) continue;
    if (!WideName(found + 1, list[found], kNameEntryChars)) list[found][0] = u'\0';
    ++found;
  }
  for (int entry = found; entry < kNameEntries; ++entry) list[entry][0] = u'\0';
  return found;
}

bool CZelCam::CheckNameRequest(int index, const void* buffer, int length) {
  if (!device_) return Refuse(kErrNotReady);
  if (length < kMinNameChars || buffer == nullptr) return Refuse(kErrParameter);
  if (index < 0 || index >= device::CVXMSdkLib::GetDeviceCount()) {
    return Refuse(kErrParameter);
  }
  if (!device_->IsPresent(index)) return Refuse(kErrNoDevice);
  return true;
}

int CZelCam::GetDeviceName(int index, char* buffer, int length) {
  if (!CheckNameRequest(index, buffer, length)) return 0;
  std::snprintf(buffer, static_cast<size_t>(length), "%s_%02d", kProductWord, index + 1);
  return 1;
}

int CZelCam::GetDeviceNameW(int index, char16_t* buffer, int length) {
  if (!CheckNameRequest(index, buffer, length)) return 0;
  if (!WideName(index + 1, buffer, length)) return Fail(kErrNoDevice);
  return 1;
}

}  // namespace zelcnv::camera
