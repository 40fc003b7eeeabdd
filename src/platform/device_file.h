// The converter's driver, reached as a device file driven by control transfers.
// Win32: CreateFileA / DeviceIoControl / CloseHandle. POSIX: in-process backends behind paths.
#pragma once

#include <cstdint>

namespace zelcnv::platform {

struct DeviceFile;  // opaque; null means "no handle"

// Opens the device at `path` for synchronous I/O; null when it cannot be opened.
DeviceFile* OpenDeviceFile(const char* path);

// One control transfer: `in` is the input buffer (the pipe number), `out` the data buffer whose
// direction the driver takes from the pipe. Returns the driver's verdict; `bytesMoved` always
// receives the driver's byte count (0 when it reported none).
bool ControlTransfer(DeviceFile* file, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* bytesMoved);

void CloseDeviceFile(DeviceFile* file);

}  // namespace zelcnv::platform
