// Write-only files with POSIX calls.
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/output_file.h"

namespace zelcnv::platform {

namespace {

int Descriptor(WritableFile* file) {
  return static_cast<int>(reinterpret_cast<intptr_t>(file)) - 1;
}

}  // namespace

WritableFile* OpenWritableFile(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  int fd = ::open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // Stored off by one so that descriptor 0 is not a null handle.
  return reinterpret_cast<WritableFile*>(static_cast<intptr_t>(fd) + 1);
}

bool WriteToFile(WritableFile* file, const void* data, size_t bytes) {
  if (file == nullptr) return false;
  const auto* next = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t written = ::write(Descriptor(file), next, bytes);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    bytes -= static_cast<size_t>(written);
  }
  return true;
}

bool SeekInFile(WritableFile* file, uint64_t offset) {
  return file != nullptr && ::lseek(Descriptor(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool SeekToFileEnd(WritableFile* file) {
  return file != nullptr && ::lseek(Descriptor(file), 0, SEEK_END) >= 0;
}

bool TruncateFileHere(WritableFile* file) {
  if (file == nullptr) return false;
  const off_t here = ::lseek(Descriptor(file), 0, SEEK_CUR);
  return here >= 0 && ::ftruncate(Descriptor(file), here) == 0;
}

bool CloseWritableFile(WritableFile* file) {
  return file != nullptr && ::close(Descriptor(file)) == 0;
}

}  // namespace zelcnv::platform
