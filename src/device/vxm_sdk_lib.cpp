// Device library object: device path, frame memory, sample width.
#include "device/vxm_sdk_lib.h"

#include <cstdio>
#include <new>

#include "device/protocol.h"
#include "device/transport.h"

namespace zelcnv::device {

CVXMSdkLib::CVXMSdkLib(int slotCount) : slotCount_(slotCount) {
  SelectDevice(0);
}

CVXMSdkLib::~CVXMSdkLib() {
  StopTransfer();
  FreeFrameMemory();
  if (singleFrameHandle_ != nullptr) platform::CloseDeviceFile(singleFrameHandle_);
}

void CVXMSdkLib::ProbeDevices() {
  for (int i = 0; i < kDeviceCount; ++i) {
    char path[256];
    std::snprintf(path, sizeof path, "\\\\.\\%s-%d", baseName_, i);
    platform::DeviceFile* handle = platform::OpenDeviceFile(path);
    present_[i] = handle != nullptr ? 1 : 0;
    platform::CloseDeviceFile(handle);
  }
  deviceIndex_ = 0;
}

int CVXMSdkLib::IsPresent(int index) const {
  return index >= 0 && index < kDeviceCount ? present_[index] : 0;
}

int CVXMSdkLib::SelectDevice(int index) {
  if (index < 0 || index >= kDeviceCount) return kStatusBadDeviceIndex;
  deviceIndex_ = index;
  std::snprintf(devicePath_, sizeof devicePath_, "\\\\.\\%s-%d", baseName_, index);
  return kStatusOk;
}

platform::DeviceFile* CVXMSdkLib::OpenDevice() const {
  return platform::OpenDeviceFile(devicePath_);
}

void CVXMSdkLib::FreeFrameMemory() {
  platform::FreeGlobal(frameMemory_);
  frameMemory_ = nullptr;
  frameBuffer_ = nullptr;
  if (slots_ != nullptr) {
    for (int i = 0; i < slotCount_; ++i) platform::FreeGlobal(slots_[i].memory);
    delete[] slots_;
    slots_ = nullptr;
  }
}

int CVXMSdkLib::AllocateFrameMemory(int samplesPerFrame) {
  if (TransferRunning()) return kStatusAlreadyRunning;
  FreeFrameMemory();
  geometry_.samplesPerFrame = samplesPerFrame;
  if (samplesPerFrame <= 0 || slotCount_ <= 0) return kStatusNoMemory;
  // Every buffer is large enough for two-byte samples, whatever the current width.
  const size_t bytes = 2 * static_cast<size_t>(samplesPerFrame);
  frameMemory_ = platform::AllocateZeroedGlobal(bytes, &frameBuffer_);
  slots_ = new (std::nothrow) FrameSlot[slotCount_];
  bool complete = frameMemory_ != nullptr && slots_ != nullptr;
  for (int i = 0; complete && i < slotCount_; ++i) {
    slots_[i].memory = platform::AllocateZeroedGlobal(bytes, &slots_[i].data);
    complete = slots_[i].memory != nullptr;
  }
  if (!complete) {
    FreeFrameMemory();  // no half-built ring survives a failure
    return kStatusNoMemory;
  }
  return kStatusOk;
}

int CVXMSdkLib::SetSampleWidth(int twoBytes) {
  twoByteSamples_ = twoBytes;
  if (platform::DeviceFile* handle = OpenDevice()) {
    const uint8_t width = twoBytes != 0 ? 1 : 0;
    SendSimpleRequest(handle, kRequestSampleWidth, &width, 1);
    platform::CloseDeviceFile(handle);
  }
  return 1;
}

}  // namespace zelcnv::device
