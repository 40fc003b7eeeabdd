// AviRecorder: an uncompressed AVI file of 24-bit frames with an index. Frames go straight to
// the file; only the index entries are held in memory until FinishFile.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/output_file.h"

namespace zelcnv::imaging {

#pragma pack(push, 1)
struct MainAviHeader {
  uint32_t microSecPerFrame;
  uint32_t maxBytesPerSec;
  uint32_t paddingGranularity;
  uint32_t flags;
  uint32_t totalFrames;
  uint32_t initialFrames;
  uint32_t streams;
  uint32_t suggestedBufferSize;
  uint32_t width;
  uint32_t height;
  uint32_t reserved[4];
};
struct AviStreamHeader {
  char type[4];
  char handler[4];
  uint32_t flags;
  uint16_t priority;
  uint16_t language;
  uint32_t initialFrames;
  uint32_t scale;
  uint32_t rate;
  uint32_t start;
  uint32_t length;
  uint32_t suggestedBufferSize;
  uint32_t quality;
  uint32_t sampleSize;
  int32_t frame[4];
};
struct AviBitmapHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
};
struct AviIndexEntry {
  char chunkId[4];
  uint32_t flags;
  uint32_t chunkOffset;  // from the "movi" code
  uint32_t chunkLength;
};
#pragma pack(pop)
static_assert(sizeof(MainAviHeader) == 56 && sizeof(AviStreamHeader) == 64 &&
              sizeof(AviBitmapHeader) == 40 && sizeof(AviIndexEntry) == 16);

// Results of BeginFile, AddFrame and FinishFile.
enum class AviResult {
  kOk,
  kOpenFailed,   // the file cannot be created
  kFull,         // the frame would take a 32-bit size past its limit: not added
  kWriteFailed,  // a write failed (disk full, I/O error)
};

class AviRecorder {
 public:
  // Rate in hundredths of a frame per second used before a rate is measured, or when the
  // measured rate is 0.
  static constexpr uint32_t kNominalRate = 3000;
  static constexpr uint64_t kLargestFile = 0xFFFFFFFFu;

  AviRecorder();
  AviRecorder(const AviRecorder&) = delete;
  AviRecorder& operator=(const AviRecorder&) = delete;
  ~AviRecorder();

  // Closes the file, empties the index (keeping its storage) and zeroes the headers and sizes.
  void ResetRecorder();
  // Opens `fileName` (truncating or creating it) and writes the headers.
  [[nodiscard]] AviResult BeginFile(const char* fileName);
  // Appends one frame: FramePayload() bytes from `pixels`, rows of 24-bit pixels padded to
  // 4 bytes, bottom row first (as the positive biHeight of the stream format says). The caller
  // adds 1 to frameCount after kOk.
  [[nodiscard]] AviResult AddFrame(const uint8_t* pixels);
  // Writes the index and patches sizes, counts and timing: kOk or kWriteFailed.
  [[nodiscard]] AviResult FinishFile();

  bool Writing() const { return file_.IsOpen(); }
  // The bytes of one frame: rows of width x 3 bytes padded to 4, times the height.
  uint32_t FramePayload() const;
  // Lowers the file size limit (tests reach it without writing gigabytes).
  void SetSizeLimit(uint64_t bytes) { sizeLimit_ = bytes; }

  // Set by the caller.
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  uint16_t sourceBitCount = 0;
  uint32_t rate = 0;        // 30 before BeginFile; measured hundredths before FinishFile
  uint32_t frameCount = 0;  // frames added

 private:
  bool WriteCode(const char code[4]);

  OutputFile file_;
  MainAviHeader mainHeader_{};
  AviStreamHeader streamHeader_{};
  AviBitmapHeader streamFormat_{};
  uint64_t riffSize_ = 0;
  uint64_t moviSize_ = 0;
  uint32_t moviSizeOffset_ = 0;
  std::vector<AviIndexEntry> frameIndex_;
  uint64_t sizeLimit_ = kLargestFile;
};

}  // namespace zelcnv::imaging
