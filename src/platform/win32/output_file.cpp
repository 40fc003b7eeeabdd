// Write-only files with CreateFileA: truncate an existing file, else create a new one.
#include <windows.h>

#include "platform/output_file.h"

namespace zelcnv::platform {

namespace {

HANDLE Handle(WritableFile* file) {
  return reinterpret_cast<HANDLE>(file);
}

HANDLE Create(const char* path, DWORD disposition) {
  return CreateFileA(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

WritableFile* OpenWritableFile(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  HANDLE handle = Create(path, TRUNCATE_EXISTING);
  if (handle == INVALID_HANDLE_VALUE) handle = Create(path, CREATE_NEW);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return reinterpret_cast<WritableFile*>(handle);
}

bool WriteToFile(WritableFile* file, const void* data, size_t bytes) {
  if (file == nullptr) return false;
  const auto* next = static_cast<const char*>(data);
  while (bytes > 0) {
    const DWORD chunk = bytes > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes);
    DWORD written = 0;
    if (!WriteFile(Handle(file), next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    bytes -= written;
  }
  return true;
}

bool SeekInFile(WritableFile* file, uint64_t offset) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  return file != nullptr && SetFilePointerEx(Handle(file), distance, nullptr, FILE_BEGIN);
}

bool SeekToFileEnd(WritableFile* file) {
  LARGE_INTEGER zero{};
  return file != nullptr && SetFilePointerEx(Handle(file), zero, nullptr, FILE_END);
}

bool TruncateFileHere(WritableFile* file) {
  return file != nullptr && SetEndOfFile(Handle(file));
}

bool CloseWritableFile(WritableFile* file) {
  return file != nullptr && CloseHandle(Handle(file));
}

}  // namespace zelcnv::platform
