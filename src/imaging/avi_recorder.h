// AviRecorder: an uncompressed AVI file of 24-bit frames with an index. Frames go straight to
// the file; only index entries are held in memory.
//
// A recording that fits the classic layout (decided up front from its planned duration, the
// frame size and the nominal rate) is one RIFF "AVI " part with an idx1 index. A longer one is
// written as OpenDML (AVI 2.0): a first "AVI " part of at most PartLimit() bytes that classic
// readers play on its own (it keeps an idx1 for its frames), then "AVIX" parts of at most as
// much; each part's frames are listed by an ix00 standard index at the end of its movi list, and
// the indx super index in the stream header lists those, in space reserved for the parts the
// planned duration needs (the rest is a JUNK chunk). dmlh holds the total frame count. The index
// entries of one part only are held in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "base/status.h"
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
class AviRecorder {
 public:
  // Rate in hundredths of a frame per second used before a rate is measured, or when the
  // measured rate is 0.
  static constexpr uint32_t kNominalRate = 3000;
  static constexpr uint64_t kLargestFile = 0xFFFFFFFFu;
  // The size of one RIFF part of an OpenDML file: where readers built on the classic layout
  // still read the first part.
  static constexpr uint64_t kPartLimit = uint64_t{1} << 30;

  AviRecorder();
  AviRecorder(const AviRecorder&) = delete;
  AviRecorder& operator=(const AviRecorder&) = delete;
  ~AviRecorder();

  // Closes the file, empties the index (keeping its storage) and zeroes the headers and sizes.
  void ResetRecorder();
  // Opens `fileName` (truncating or creating it) and writes the headers.
  [[nodiscard]] Status BeginFile(const char* fileName);
  // Appends one frame: FramePayload() bytes from `pixels`, rows of 24-bit pixels padded to
  // 4 bytes, bottom row first (as the positive biHeight of the stream format says). The caller
  // adds 1 to frameCount after kOk.
  [[nodiscard]] Status AddFrame(const uint8_t* pixels);
  // Writes the index and patches sizes, counts and timing: kOk or kWriteFailed.
  [[nodiscard]] Status FinishFile();

  bool Writing() const { return file_.IsOpen(); }
  // The bytes of one frame: rows of width x 3 bytes padded to 4, times the height.
  uint32_t FramePayload() const;
  // Lowers the file size limit (tests reach it without writing gigabytes).
  void SetSizeLimit(uint64_t bytes) { sizeLimit_ = bytes; }
  // Lowers the part size: the classic layout's limit too (tests write parts of a few MB).
  void SetPartLimit(uint64_t bytes) { partLimit_ = bytes; }
  uint64_t PartLimit() const { return partLimit_; }
  // True when the file being written is OpenDML.
  bool OpenDml() const { return openDml_; }
  // Index entries held in memory now (the current part's).
  size_t HeldIndexEntries() const { return frameIndex_.size() + partChunks_.size(); }

  // Set by the caller.
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  uint16_t sourceBitCount = 0;
  uint32_t rate = 0;               // 30 before BeginFile; measured hundredths before FinishFile
  uint32_t frameCount = 0;         // frames added
  uint32_t plannedDurationMs = 0;  // before BeginFile: how long the recording is to run

 private:
  bool WriteCode(const char code[4]);
  // RIFF "AVI ", the hdrl list with avih and the strl list with strh and strf (whatever else the
  // two lists hold follows): the start of both layouts.
  void AppendHeaders(std::vector<uint8_t>& out, uint32_t hdrlBytes, uint32_t strlBytes) const;
  // The frames the planned duration may bring, at the nominal rate with room to spare.
  uint64_t PlannedFrames() const;
  void BeginOpenDml(uint32_t partsPlanned);
  [[nodiscard]] Status AddOpenDmlFrame(const uint8_t* pixels);
  // Ends the current part: its ix00 (and for the first part, idx1), its sizes, its super index
  // entry. The file position is left at the part's end.
  void ClosePart();
  void OpenNextPart();
  // The main header's frame count, the stream's length and the rate `measured` (hundredths of a
  // frame per second), then the file closed.
  [[nodiscard]] Status FinishHeaders(uint32_t totalFrames, uint32_t length, uint32_t measured);
  [[nodiscard]] Status FinishOpenDml();

  // One super index entry per part: where its ix00 chunk lies, its size and its frames.
  struct PartEntry {
    uint64_t indexOffset;
    uint32_t indexSize;
    uint32_t frames;
  };

  OutputFile file_;
  MainAviHeader mainHeader_{};
  AviStreamHeader streamHeader_{};
  AviBitmapHeader streamFormat_{};
  uint64_t riffSize_ = 0;
  uint64_t moviSize_ = 0;
  uint32_t moviSizeOffset_ = 0;
  std::vector<AviIndexEntry> frameIndex_;
  uint64_t sizeLimit_ = kLargestFile;
  uint64_t partLimit_ = kPartLimit;

  // OpenDML only.
  bool openDml_ = false;
  uint64_t position_ = 0;             // file offset after the last complete chunk
  uint64_t partStart_ = 0;            // file offset of the current part's "RIFF"
  uint64_t moviCode_ = 0;             // file offset of the current part's "movi" code
  std::vector<uint64_t> partChunks_;  // the current part's frame chunks, by file offset
  std::vector<PartEntry> parts_;      // the parts closed so far
  uint32_t partsReserved_ = 0;        // super index entries the header has room for
  uint64_t superIndexOffset_ = 0;     // file offset of the reserved "indx" chunk
  uint64_t dmlhOffset_ = 0;
  uint32_t firstPartFrames_ = 0;
  uint32_t totalFrames_ = 0;
};

}  // namespace zelcnv::imaging
