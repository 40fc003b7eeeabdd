// Pipe transfers and request/answer exchanges.
#include "device/transport.h"

#include <algorithm>
#include <cstring>

#include "device/protocol.h"

namespace zelcnv::device {

Status PipeTransfer(DeviceFile* handle, uint32_t pipe, int32_t length, void* buffer,
                    uint32_t* bytesMoved, int select, bool alternateCodes, uint32_t timeoutMs) {
  if (buffer == nullptr) return kStatusNullPointer;
  if (handle == nullptr) return kStatusNoDevice;
  uint32_t code;
  if (alternateCodes) {
    code = select == 0 ? kAlternateCodeOutDirect : kAlternateCodeInDirect;
  } else {
    code = select == 0 ? kCodeOutDirect : kCodeInDirect;
  }
  const uint8_t pipeBytes[4] = {static_cast<uint8_t>(pipe), static_cast<uint8_t>(pipe >> 8),
                                static_cast<uint8_t>(pipe >> 16), static_cast<uint8_t>(pipe >> 24)};
  uint32_t moved = 0;
  bool ok = platform::ControlTransfer(handle, code, pipeBytes, sizeof pipeBytes, buffer,
                                      static_cast<uint32_t>(length), &moved, timeoutMs);
  if (bytesMoved != nullptr) *bytesMoved = moved;
  return ok ? kStatusOk : kStatusTransferFailed;
}

namespace {

Status ExchangePacket(DeviceFile* handle, uint32_t pipe, uint8_t* packet, int select) {
  if (handle == nullptr) return kStatusNoDevice;
  uint32_t moved = 0;
  const Status result = PipeTransfer(handle, pipe, kPacketSize, packet, &moved, select, false);
  if (result != kStatusOk || moved != kPacketSize) return kStatusRequestFailed;
  return kStatusOk;
}

}  // namespace

Status SendRequest(DeviceFile* handle, const uint8_t* packet) {
  // The driver only reads a request; the copy keeps the caller's packet const.
  uint8_t copy[kPacketSize];
  if (packet == nullptr) return kStatusRequestFailed;
  std::memcpy(copy, packet, sizeof copy);
  return ExchangePacket(handle, kRequestPipe, copy, 1);
}

Status ReadResponse(DeviceFile* handle, uint8_t* buffer) {
  if (buffer == nullptr) return kStatusRequestFailed;
  return ExchangePacket(handle, kResponsePipe, buffer, 0);
}

Status SendSimpleRequest(DeviceFile* handle, uint8_t code, const uint8_t* parameters,
                         int parameterLength) {
  uint8_t packet[kPacketSize] = {};  // unused bytes go out as zeros, never stale memory
  packet[0] = code;
  int length = std::min(parameterLength, kMaxPayload);
  if (parameters != nullptr && length > 0) std::memcpy(packet + 1, parameters, length);
  return SendRequest(handle, packet);
}

Status SendFrameSizeRequest(DeviceFile* handle, uint32_t samplesPerFrame) {
  const uint8_t size[4] = {
      static_cast<uint8_t>(samplesPerFrame), static_cast<uint8_t>(samplesPerFrame >> 8),
      static_cast<uint8_t>(samplesPerFrame >> 16), static_cast<uint8_t>(samplesPerFrame >> 24)};
  return SendSimpleRequest(handle, kRequestFrameSize, size, sizeof size);
}

Status SendPayloadRequest(DeviceFile* handle, int length, const uint8_t* payload) {
  return SendSimpleRequest(handle, kRequestWriteRegister, payload, length);
}

Status QueryRequest(DeviceFile* handle, const uint8_t* packet, uint8_t* out, int outLength) {
  Status status = SendRequest(handle, packet);
  if (status != kStatusOk) return status;
  // The first answer read primes the device's response; only the second one counts.
  uint8_t answer[kPacketSize] = {};
  (void)ReadResponse(handle, answer);
  status = ReadResponse(handle, answer);
  int copy = std::min(outLength, kPacketSize);
  if (out != nullptr && copy > 0) std::memcpy(out, answer, copy);
  return status;
}

Status QueryIndexedRequest(DeviceFile* handle, uint8_t index, uint8_t* out, int outLength) {
  uint8_t packet[kPacketSize] = {};
  packet[0] = kRequestReadRegister;
  packet[1] = index;
  return QueryRequest(handle, packet, out, outLength);
}

}  // namespace zelcnv::device
