// The converter's wire protocol: pipes, control codes, request packets, and library status values.
#pragma once

#include <cstdint>

#include "base/status.h"

namespace zelcnv::device {

// Pipes; the number travels as a 4-byte little-endian input buffer of every transfer.
constexpr uint32_t kRequestPipe = 0;   // host to device: request packets
constexpr uint32_t kResponsePipe = 1;  // device to host: answers to queries
constexpr uint32_t kVideoPipe = 2;     // device to host: one whole raw frame per transfer

// Control codes. `select` 0 hands the buffer over as METHOD_OUT_DIRECT, 1 as METHOD_IN_DIRECT;
// the driver takes the direction of the data from the pipe.
constexpr uint32_t kCodeOutDirect = 0x22204E;           // function 0x813
constexpr uint32_t kCodeInDirect = 0x222051;            // function 0x814
constexpr uint32_t kAlternateCodeOutDirect = 0x2220A6;  // function 0x829 (never issued)
constexpr uint32_t kAlternateCodeInDirect = 0x2220A9;   // function 0x82A

constexpr int kPacketSize = 64;
constexpr int kMaxPayload = kPacketSize - 1;

// Request codes (byte 0 of a packet).
constexpr uint8_t kRequestFrame = 0x02;
constexpr uint8_t kRequestWriteRegister = 0x04;
constexpr uint8_t kRequestReset = 0x06;
constexpr uint8_t kRequestFrameSize = 0x09;    // bytes 1-4: samples per frame, little-endian
constexpr uint8_t kRequestSampleWidth = 0x0A;  // byte 1: 1 = two-byte samples
constexpr uint8_t kRequestReadRegister = 0x0C;
constexpr uint8_t kRequestPortLevel = 0x22;  // answer: bit 1 of byte 0

}  // namespace zelcnv::device
