// The ZelSim_* functions on Windows: every call is one request to the driver's control device,
// opened for that call alone so that any thread may call at any time. Arguments are checked here
// as well as in the driver, so a bad one costs no trip into the kernel.
#include "sim_control.h"

#include <windows.h>

#include <cstring>

#include "model/device_registers.h"

namespace zelsim {

namespace {

bool ValidIndex(int index) {
  return index >= 0 && index < ZELSIM_MAX_DEVICES;
}

bool Request(uint32_t code, const void* in, DWORD inLength, void* out, DWORD outLength,
             DWORD* returned) {
  HANDLE device =
      CreateFileA(control::kControlDevicePath, GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (device == INVALID_HANDLE_VALUE) return false;
  DWORD bytes = 0;
  const BOOL ok = DeviceIoControl(device, code, const_cast<void*>(in), inLength, out, outLength,
                                  &bytes, nullptr);
  CloseHandle(device);
  if (returned != nullptr) *returned = bytes;
  return ok != FALSE;
}

// A null text travels as an empty one: both mean "no change" to a configuration, and the driver
// refuses both as a fault.
int TextRequest(uint32_t code, int index, const char* text) {
  if (!ValidIndex(index)) return 0;
  if (text == nullptr) text = "";
  const size_t length = strnlen(text, control::kMaxTextLength + 1);
  if (length > control::kMaxTextLength) return 0;
  uint8_t request[sizeof(control::TextRequestHeader) + control::kMaxTextLength + 1];
  const control::TextRequestHeader header{static_cast<uint32_t>(index)};
  std::memcpy(request, &header, sizeof header);
  std::memcpy(request + sizeof header, text, length + 1);
  const DWORD requestLength = static_cast<DWORD>(sizeof header + length + 1);
  return Request(code, request, requestLength, nullptr, 0, nullptr) ? 1 : 0;
}

}  // namespace

std::string DevicePath(int index) {
  return "\\\\.\\ZQVD-" + std::to_string(index);
}

bool QueryDeviceState(int index, control::DeviceState* state) {
  if (!ValidIndex(index) || state == nullptr) return false;
  const control::IndexRequest request{static_cast<uint32_t>(index)};
  control::DeviceState answer{};
  DWORD returned = 0;
  if (!Request(control::kCodeQueryDevice, &request, sizeof request, &answer, sizeof answer,
               &returned) ||
      returned != sizeof answer) {
    return false;
  }
  *state = answer;
  return true;
}

bool GetDevicePictureParams(int index, PictureParams* params) {
  control::DeviceState state{};
  if (params == nullptr || !QueryDeviceState(index, &state)) return false;
  if (state.content > static_cast<uint8_t>(InputContent::kNone)) return false;
  params->standard = state.standard;
  params->squarePixels = state.squarePixels != 0;
  params->samplesPerFrame = state.samplesPerFrame;
  params->bytesPerSample = state.bytesPerSample;
  params->content = static_cast<InputContent>(state.content);
  params->brightness = state.brightness;
  params->saturation = state.saturation;
  params->hue = state.hue;
  params->contrast = state.contrast;
  return true;
}

}  // namespace zelsim

extern "C" {

int ZelSim_Attach(int index, const char* config) {
  return zelsim::TextRequest(zelsim::control::kCodeAttach, index, config);
}

int ZelSim_Detach(int index) {
  if (!zelsim::ValidIndex(index)) return 0;
  const zelsim::control::IndexRequest request{static_cast<uint32_t>(index)};
  return zelsim::Request(zelsim::control::kCodeDetach, &request, sizeof request, nullptr, 0,
                         nullptr)
             ? 1
             : 0;
}

int ZelSim_Configure(int index, const char* config) {
  return zelsim::TextRequest(zelsim::control::kCodeConfigure, index, config);
}

int ZelSim_InjectFault(int index, const char* fault) {
  return zelsim::TextRequest(zelsim::control::kCodeInjectFault, index, fault);
}

int ZelSim_ReadDeviceRegister(int index, int reg) {
  if (!zelsim::ValidIndex(index) || reg < 0 || reg >= zelsim::kRegisterCount) return -1;
  const zelsim::control::RegisterRequest request{static_cast<uint32_t>(index),
                                                 static_cast<uint32_t>(reg)};
  int32_t value = -1;
  DWORD returned = 0;
  if (!zelsim::Request(zelsim::control::kCodeReadRegister, &request, sizeof request, &value,
                       sizeof value, &returned) ||
      returned != sizeof value) {
    return -1;
  }
  return value;
}

}  // extern "C"
