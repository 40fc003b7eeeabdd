// Pipe transfers and the request/answer exchanges every device operation is built from.
#pragma once

#include <cstdint>

#include "device/protocol.h"
#include "platform/device_file.h"

namespace zelcnv::device {

using platform::DeviceFile;

// One control transfer on `pipe`; `select` picks the direct-out (0) or direct-in (1) code of the
// standard or alternate pair. `bytesMoved` receives the driver's count whenever the driver was
// called. A transfer the device has not completed after `timeoutMs` is cancelled and fails.
[[nodiscard]] Status PipeTransfer(DeviceFile* handle, uint32_t pipe, int32_t length, void* buffer,
                                  uint32_t* bytesMoved, int select, bool alternateCodes,
                                  uint32_t timeoutMs = platform::kWaitForever);

// Sends one 64-byte request packet on the request pipe: kStatusOk, kStatusNoDevice or
// kStatusRequestFailed, as every exchange below.
[[nodiscard]] Status SendRequest(DeviceFile* handle, const uint8_t* packet);
// Reads one 64-byte answer from the response pipe into `buffer`.
[[nodiscard]] Status ReadResponse(DeviceFile* handle, uint8_t* buffer);
// Register-write request carrying up to 63 payload bytes (a longer payload is cut).
[[nodiscard]] Status SendPayloadRequest(DeviceFile* handle, int length, const uint8_t* payload);
// A query: sends `packet`, then reads the answer twice; the second read decides. The smaller of
// `outLength` and 64 answer bytes are copied to `out` whatever the result.
[[nodiscard]] Status QueryRequest(DeviceFile* handle, const uint8_t* packet, uint8_t* out,
                                  int outLength);
// Register-read query for `index`, as QueryRequest.
[[nodiscard]] Status QueryIndexedRequest(DeviceFile* handle, uint8_t index, uint8_t* out,
                                         int outLength);
// Tells the device how many samples a frame transfer carries (request 0x09).
[[nodiscard]] Status SendFrameSizeRequest(DeviceFile* handle, uint32_t samplesPerFrame);
// A request with no parameters other than `parameters` (up to 63 bytes, the rest zero).
[[nodiscard]] Status SendSimpleRequest(DeviceFile* handle, uint8_t code,
                                       const uint8_t* parameters = nullptr,
                                       int parameterLength = 0);

}  // namespace zelcnv::device
