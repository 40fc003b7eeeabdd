// The converter's wire protocol as the driver presents it: pipe numbers, transfer codes and the
// request packets that travel on the request pipe.
#pragma once

#include <stdint.h>

namespace zelsim {

inline constexpr uint32_t kRequestPipe = 0;
inline constexpr uint32_t kAnswerPipe = 1;
inline constexpr uint32_t kVideoPipe = 2;

// The control code fixes only how the buffer is handed over; the pipe fixes the direction.
inline constexpr uint32_t kCodeOutDirect = 0x22204E;
inline constexpr uint32_t kCodeInDirect = 0x222051;
inline constexpr uint32_t kCodeAltOutDirect = 0x2220A6;
inline constexpr uint32_t kCodeAltInDirect = 0x2220A9;

// The input buffer of every transfer is the pipe number, a little-endian uint32.
inline constexpr uint32_t kPipeNumberBytes = 4;
inline constexpr uint32_t kPacketBytes = 64;

enum RequestCode : uint8_t {
  kRequestFrame = 0x02,
  kRequestWriteRegister = 0x04,
  kRequestReset = 0x06,
  kRequestSamplesPerFrame = 0x09,
  kRequestSampleWidth = 0x0A,
  kRequestReadRegister = 0x0C,
  kRequestPortQuery = 0x22,
};

// Bit of answer byte 0 that carries the I/O-port level.
inline constexpr uint8_t kPortLevelBit = 0x02;

}  // namespace zelsim
