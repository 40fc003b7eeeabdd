// A write-only file: an existing file is emptied and rewritten, a missing one created.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelcnv::platform {

struct WritableFile;  // opaque

// Truncates an existing file or creates a new one; null when neither works (missing
// directory, no permission).
WritableFile* OpenWritableFile(const char* path);
// True only when every byte was written.
bool WriteToFile(WritableFile* file, const void* data, size_t bytes);
bool SeekInFile(WritableFile* file, uint64_t offset);
bool SeekToFileEnd(WritableFile* file);
// Cuts the file at the current position.
bool TruncateFileHere(WritableFile* file);
// False when the data could not be committed (a delayed write error).
bool CloseWritableFile(WritableFile* file);

}  // namespace zelcnv::platform
