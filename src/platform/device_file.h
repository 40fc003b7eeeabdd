// The converter's driver, reached as a device file driven by control transfers.
// Win32: CreateFileA / DeviceIoControl (overlapped, so that a wait can be cut short) / CloseHandle.
// POSIX: in-process backends behind paths.
#pragma once

#include <cstdint>

#include "platform/thread.h"

namespace zelcnv::platform {

struct DeviceFile;  // opaque; null means "no handle"

// Opens the device at `path`; null when it cannot be opened.
DeviceFile* OpenDeviceFile(const char* path);

// One control transfer: `in` is the input buffer (the pipe number), `out` the data buffer whose
// direction the driver takes from the pipe. Returns the driver's verdict; `bytesMoved` always
// receives the driver's byte count (0 when it reported none). A transfer still waiting for the
// device after `timeoutMs` is cancelled and fails. One transfer at a time on a file.
bool ControlTransfer(DeviceFile* file, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* bytesMoved, uint32_t timeoutMs = kWaitForever);

// From any thread while `file` is open: the transfer another thread waits in on it fails now, as
// does every later one, so that a converter gone silent cannot hold up whoever stops it. `out` of
// the cancelled transfer is no longer touched once ControlTransfer has returned. The file is then
// good only for closing.
void CancelDeviceFile(DeviceFile* file);

void CloseDeviceFile(DeviceFile* file);

}  // namespace zelcnv::platform
