// Device files on Windows: the converter's driver through CreateFileA and DeviceIoControl. The
// handle is opened for overlapped I/O, so that a transfer's wait can end on a cancel or a time-out
// as well as on the driver's completion; the transfer is then cancelled (CancelIoEx), and the call
// returns once the driver has let go of its buffers.
#include "platform/device_file.h"

#include <windows.h>

#include <new>

namespace zelcnv::platform {

struct DeviceFile {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE done = nullptr;    // the transfer's completion (one transfer at a time)
  HANDLE cancel = nullptr;  // set for good by CancelDeviceFile
};

namespace {

void Release(DeviceFile* file) {
  if (file->file != INVALID_HANDLE_VALUE) CloseHandle(file->file);
  if (file->done != nullptr) CloseHandle(file->done);
  if (file->cancel != nullptr) CloseHandle(file->cancel);
  delete file;
}

}  // namespace

DeviceFile* OpenDeviceFile(const char* path) {
  if (path == nullptr) return nullptr;
  auto* file = new (std::nothrow) DeviceFile;
  if (file == nullptr) return nullptr;
  file->file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
  file->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  file->cancel = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (file->file == nullptr || file->file == INVALID_HANDLE_VALUE || file->done == nullptr ||
      file->cancel == nullptr) {
    Release(file);
    return nullptr;
  }
  return file;
}

namespace {

// A request that comes back aborted although neither our cancel nor our time-out ended it was
// cancelled from outside this call (Wine's device host, cancelling another handle's request that
// had just completed, can hit the one that reused its memory). It never reached the device's
// answer, so it is issued again, a few times at most.
constexpr int kTriesWhenAbortedFromOutside = 3;

bool Completed(const DeviceFile* file) {
  return WaitForSingleObject(file->done, 0) == WAIT_OBJECT_0;
}

}  // namespace

bool ControlTransfer(DeviceFile* file, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* bytesMoved, uint32_t timeoutMs) {
  DWORD moved = 0;
  bool ok = false;
  for (int tries = kTriesWhenAbortedFromOutside; tries > 0; --tries) {
    if (file == nullptr || WaitForSingleObject(file->cancel, 0) == WAIT_OBJECT_0) break;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = file->done;
    ResetEvent(file->done);
    moved = 0;
    BOOL result = DeviceIoControl(file->file, code, const_cast<void*>(in), inLength, out, outLength,
                                  nullptr, &overlapped);
    bool endedByUs = false;
    if (result == FALSE && GetLastError() == ERROR_IO_PENDING) {
      HANDLE events[2] = {file->done, file->cancel};
      const DWORD waited = WaitForMultipleObjects(2, events, FALSE,
                                                  timeoutMs == kWaitForever ? INFINITE : timeoutMs);
      endedByUs = waited != WAIT_OBJECT_0;
      // A request that has completed meanwhile is not cancelled: the cancel could only miss.
      if (endedByUs && !Completed(file)) CancelIoEx(file->file, &overlapped);
      // Cancelled or not, the request is over only when the driver has completed it: until then
      // it may still write into `out`.
      result = GetOverlappedResult(file->file, &overlapped, &moved, TRUE);
      if (endedByUs) result = FALSE;
    } else if (result != FALSE) {
      result = GetOverlappedResult(file->file, &overlapped, &moved, TRUE);
    }
    ok = result != FALSE;
    if (ok || endedByUs || GetLastError() != ERROR_OPERATION_ABORTED) break;
  }
  if (bytesMoved != nullptr) *bytesMoved = moved;
  return ok;
}

void CancelDeviceFile(DeviceFile* file) {
  if (file != nullptr) SetEvent(file->cancel);
}

void CloseDeviceFile(DeviceFile* file) {
  if (file != nullptr) Release(file);
}

}  // namespace zelcnv::platform
