// OutputFile.
#include "imaging/output_file.h"

namespace zelcnv::imaging {

bool OutputFile::Open(const char* name) {
  Close();
  failed_ = false;
  file_ = platform::OpenWritableFile(name);
  return file_ != nullptr;
}

bool OutputFile::Write(const void* data, size_t bytes) {
  if (file_ == nullptr) return false;
  return Check(platform::WriteToFile(file_, data, bytes));
}

bool OutputFile::WriteU32(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return Write(bytes, sizeof bytes);
}

bool OutputFile::Seek(uint64_t offset) {
  return file_ != nullptr && Check(platform::SeekInFile(file_, offset));
}

bool OutputFile::SeekToEnd() {
  return file_ != nullptr && Check(platform::SeekToFileEnd(file_));
}

bool OutputFile::TruncateHere() {
  return file_ != nullptr && Check(platform::TruncateFileHere(file_));
}

bool OutputFile::Close() {
  if (file_ == nullptr) return !failed_;
  Check(platform::CloseWritableFile(file_));
  file_ = nullptr;
  return !failed_;
}

}  // namespace zelcnv::imaging
