// The requests the simulated-converter driver's control device takes, shared by the driver and
// its user-mode client. The two may differ in bitness (a 32-bit test program talks to the 64-bit
// driver), so every request is made of fixed-size fields and no pointers.
#pragma once

#include <stdint.h>

namespace zelsim::control {

// The control device as applications open it; the driver creates \Device\ZQVDSIM behind it.
inline constexpr char kControlDevicePath[] = "\\\\.\\ZQVDSIM";

// Control codes: device type FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS, functions in
// the range Windows leaves to vendors (0x800 and up).
inline constexpr uint32_t kDeviceTypeUnknown = 0x22;
constexpr uint32_t BufferedControlCode(uint32_t function) {
  return kDeviceTypeUnknown << 16 | function << 2;
}

// Index and configuration text: attaches a converter.
inline constexpr uint32_t kCodeAttach = BufferedControlCode(0x900);
// IndexRequest: detaches a converter.
inline constexpr uint32_t kCodeDetach = BufferedControlCode(0x901);
// Index and configuration text.
inline constexpr uint32_t kCodeConfigure = BufferedControlCode(0x902);
// Index and fault text.
inline constexpr uint32_t kCodeInjectFault = BufferedControlCode(0x903);
// RegisterRequest in, the register's int32_t value out.
inline constexpr uint32_t kCodeReadRegister = BufferedControlCode(0x904);
// IndexRequest in, DeviceState out.
inline constexpr uint32_t kCodeQueryDevice = BufferedControlCode(0x905);

// A text request is a TextRequestHeader followed by the text and its terminating NUL, and nothing
// else: the driver refuses a missing terminator, an embedded NUL and a text longer than this.
inline constexpr uint32_t kMaxTextLength = 4095;

struct IndexRequest {
  uint32_t index;
};

struct TextRequestHeader {
  uint32_t index;
};

struct RegisterRequest {
  uint32_t index;
  uint32_t address;
};

// What the driver knows about an attached converter besides its registers.
struct DeviceState {
  uint32_t openHandles;
  // Video transfers the driver holds: queued, or waiting inside the model for their frame.
  uint32_t waitingTransfers;
  // What the next frame will show (zelsim::PictureParams, field by field).
  uint32_t samplesPerFrame;
  uint8_t standard;
  uint8_t squarePixels;
  uint8_t bytesPerSample;
  uint8_t content;
  uint8_t brightness;
  uint8_t saturation;
  uint8_t hue;
  uint8_t contrast;
};

static_assert(sizeof(IndexRequest) == 4 && sizeof(TextRequestHeader) == 4);
static_assert(sizeof(RegisterRequest) == 8 && sizeof(DeviceState) == 20);

}  // namespace zelsim::control
