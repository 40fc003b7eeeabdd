// Device library object: device path, frame memory, sample width.
#include "device/vxm_sdk_lib.h"

#include <cstdio>
#include <new>

#include "device/protocol.h"
#include "device/transport.h"

namespace zelcnv::device {

CVXMSdkLib::CVXMSdkLib(int slotCount) : ring_(slotCount) {
  SelectDevice(0);
}

std::atomic<int32_t> CVXMSdkLib::streams_[kDeviceCount] = {};

CVXMSdkLib::~CVXMSdkLib() {
  StopTransfer();
  platform::CloseEvent(frameEvent_.load());
  FreeFrameMemory();
  if (singleFrameHandle_ != nullptr) platform::CloseDeviceFile(singleFrameHandle_);
}

uint32_t CVXMSdkLib::PresentDevices() {
  uint32_t present = 0;
  for (int i = 0; i < kDeviceCount; ++i) {
    char path[256];
    std::snprintf(path, sizeof path, "\\\\.\\%s-%d", kDeviceBaseName, i);
    platform::DeviceFile* handle = platform::OpenDeviceFile(path);
    if (handle != nullptr) present |= 1u << i;
    platform::CloseDeviceFile(handle);
  }
  return present;
}

void CVXMSdkLib::ProbeDevices() {
  SetPresent(PresentDevices());
  deviceIndex_ = 0;
}

void CVXMSdkLib::SetPresent(uint32_t present) {
  for (int i = 0; i < kDeviceCount; ++i) present_[i].store((present >> i & 1u) != 0);
}

bool CVXMSdkLib::IsPresent(int index) const {
  return index >= 0 && index < kDeviceCount && present_[index];
}

Status CVXMSdkLib::SelectDevice(int index) {
  if (index < 0 || index >= kDeviceCount) return kStatusBadDeviceIndex;
  deviceIndex_ = index;
  std::snprintf(devicePath_, sizeof devicePath_, "\\\\.\\%s-%d", kDeviceBaseName, index);
  return kStatusOk;
}

platform::DeviceFile* CVXMSdkLib::OpenDevice() const {
  return platform::OpenDeviceFile(devicePath_);
}

void CVXMSdkLib::FreeFrameMemory() {
  platform::FreeGlobal(frameMemory_);
  frameMemory_ = nullptr;
  frameBuffer_ = nullptr;
  ring_.Free();
}

Status CVXMSdkLib::AllocateFrameMemory(int samplesPerFrame) {
  if (TransferRunning()) return kStatusAlreadyRunning;
  FreeFrameMemory();
  geometry_.samplesPerFrame = samplesPerFrame;
  if (samplesPerFrame <= 0) return kStatusNoMemory;
  // Every buffer is large enough for two-byte samples, whatever the current width.
  const size_t bytes = 2 * static_cast<size_t>(samplesPerFrame);
  frameMemory_ = platform::AllocateZeroedGlobal(bytes, &frameBuffer_);
  if (frameMemory_ == nullptr || ring_.Allocate(bytes) != kStatusOk) {
    FreeFrameMemory();  // no half-built ring survives a failure
    return kStatusNoMemory;
  }
  return kStatusOk;
}

void CVXMSdkLib::SetSampleWidth(bool twoBytes) {
  twoByteSamples_ = twoBytes ? 1 : 0;
  if (StreamedElsewhere()) return;
  if (platform::DeviceFile* handle = OpenDevice()) {
    const uint8_t width = twoBytes ? 1 : 0;
    (void)SendSimpleRequest(handle, kRequestSampleWidth, &width, 1);  // heard or not, as before
    platform::CloseDeviceFile(handle);
  }
}

}  // namespace zelcnv::device
