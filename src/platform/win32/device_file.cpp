// Device files on Windows: the converter's driver through CreateFileA and DeviceIoControl.
#include "platform/device_file.h"

#include <windows.h>

namespace zelcnv::platform {

DeviceFile* OpenDeviceFile(const char* path) {
  if (path == nullptr) return nullptr;
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return reinterpret_cast<DeviceFile*>(handle);
}

bool ControlTransfer(DeviceFile* file, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* bytesMoved) {
  DWORD moved = 0;
  BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(file), code, const_cast<void*>(in), inLength,
                            out, outLength, &moved, nullptr);
  if (bytesMoved != nullptr) *bytesMoved = moved;
  return ok != FALSE;
}

void CloseDeviceFile(DeviceFile* file) {
  if (file != nullptr) CloseHandle(reinterpret_cast<HANDLE>(file));
}

}  // namespace zelcnv::platform
