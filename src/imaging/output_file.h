// OutputFile: the write-only file of the BMP and raw writers and the AVI recorder. Every write
// is checked; once one fails the file stays failed, so a save can report it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/output_file.h"

namespace zelcnv::imaging {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Close(); }

  // Empties an existing file or creates a new one; false when neither works.
  bool Open(const char* name);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes nothing when no file is open; false (and Failed() from then on) on a failed write.
  bool Write(const void* data, size_t bytes);
  bool WriteU32(uint32_t value);
  bool Seek(uint64_t offset);
  bool SeekToEnd();
  bool TruncateHere();
  // False when the file had a failed write or could not be closed cleanly.
  bool Close();
  bool Failed() const { return failed_; }

 private:
  bool Check(bool ok) {
    if (!ok) failed_ = true;
    return ok;
  }

  platform::WritableFile* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace zelcnv::imaging
