// The AVI layout: RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf } }, LIST movi { 00db
// chunks }, idx1 }. Sizes and counts start at 0 and are patched when the file is finished.
#include "imaging/avi_recorder.h"

#include <bit>
#include <cstring>
#include <new>

namespace zelcnv::imaging {

static_assert(std::endian::native == std::endian::little, "headers are written as they lie");

namespace {

constexpr uint32_t kStrlListSize =
    4 + (8 + sizeof(AviStreamHeader)) + (8 + sizeof(AviBitmapHeader));
constexpr uint32_t kHdrlListSize = 4 + (8 + sizeof(MainAviHeader)) + (8 + kStrlListSize);
constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifWasCaptureFile = 0x10000;
constexpr uint32_t kAviifKeyframe = 0x10;
constexpr uint32_t kTimeBase = 10000000;  // dwRate: the scale counts 100 ns units
constexpr uint32_t kNominalFramesPerSecond = 30;
constexpr uint32_t kMoviSizeOffset = 224;
constexpr uint32_t kFirstChunkOffset = 232;  // where the first frame chunk starts
constexpr uint32_t kTotalFramesOffset = 48;
constexpr uint32_t kMicroSecPerFrameOffset = 32;
constexpr uint32_t kScaleOffset = 128;
constexpr uint32_t kLengthOffset = 140;
constexpr uint32_t kRiffSizeOffset = 4;
constexpr uint32_t kChunkHeader = 8;
constexpr uint32_t kIndexEntryBytes = sizeof(AviIndexEntry);

}  // namespace

AviRecorder::AviRecorder() {
  ResetRecorder();
}

AviRecorder::~AviRecorder() {
  ResetRecorder();
}

void AviRecorder::ResetRecorder() {
  file_.Close();
  frameIndex_.clear();
  mainHeader_ = {};
  streamHeader_ = {};
  streamFormat_ = {};
  riffSize_ = 0;
  moviSize_ = 0;
  moviSizeOffset_ = 0;
}

uint32_t AviRecorder::FramePayload() const {
  // BI_RGB rows are padded to 4 bytes; for every width the converter produces the padding is 0.
  const uint64_t stride = (static_cast<uint64_t>(frameWidth > 0 ? frameWidth : 0) * 3 + 3) & ~3ull;
  const uint64_t payload = stride * static_cast<uint64_t>(frameHeight > 0 ? frameHeight : 0);
  return payload > 0xFFFFFFF0u ? 0xFFFFFFF0u : static_cast<uint32_t>(payload);
}

bool AviRecorder::WriteCode(const char code[4]) {
  return file_.Write(code, 4);
}

AviResult AviRecorder::BeginFile(const char* fileName) {
  ResetRecorder();
  if (!file_.Open(fileName)) return AviResult::kOpenFailed;
  const uint32_t payload = FramePayload();
  const uint32_t chunk = payload + kChunkHeader;
  const uint32_t nominal = rate != 0 ? rate : kNominalFramesPerSecond;

  mainHeader_.microSecPerFrame = 1000000 / nominal;
  mainHeader_.maxBytesPerSec = chunk * kNominalFramesPerSecond;
  mainHeader_.flags = kAvifHasIndex | kAvifWasCaptureFile;
  mainHeader_.totalFrames = frameCount;
  mainHeader_.streams = 1;
  mainHeader_.suggestedBufferSize = chunk;
  mainHeader_.width = static_cast<uint32_t>(frameWidth);
  mainHeader_.height = static_cast<uint32_t>(frameHeight);

  std::memcpy(streamHeader_.type, "vids", 4);
  std::memcpy(streamHeader_.handler, "DIB ", 4);
  streamHeader_.scale = kTimeBase / nominal;
  streamHeader_.rate = kTimeBase;
  streamHeader_.length = frameCount;
  streamHeader_.suggestedBufferSize = chunk;

  streamFormat_.size = sizeof(AviBitmapHeader);
  streamFormat_.width = frameWidth;
  streamFormat_.height = frameHeight;
  streamFormat_.planes = 1;
  streamFormat_.bitCount = 24;

  WriteCode("RIFF");
  file_.WriteU32(0);
  WriteCode("AVI ");
  WriteCode("LIST");
  file_.WriteU32(kHdrlListSize);
  WriteCode("hdrl");
  WriteCode("avih");
  file_.WriteU32(sizeof mainHeader_);
  file_.Write(&mainHeader_, sizeof mainHeader_);
  WriteCode("LIST");
  file_.WriteU32(kStrlListSize);
  WriteCode("strl");
  WriteCode("strh");
  file_.WriteU32(sizeof streamHeader_);
  file_.Write(&streamHeader_, sizeof streamHeader_);
  WriteCode("strf");
  file_.WriteU32(sizeof streamFormat_);
  file_.Write(&streamFormat_, sizeof streamFormat_);
  WriteCode("LIST");
  moviSizeOffset_ = kMoviSizeOffset;
  file_.WriteU32(0);
  WriteCode("movi");
  riffSize_ = kFirstChunkOffset - 8;  // everything after the RIFF size field
  moviSize_ = 4;
  return AviResult::kOk;
}

AviResult AviRecorder::AddFrame(const uint8_t* pixels) {
  if (!file_.IsOpen() || pixels == nullptr) return AviResult::kWriteFailed;
  if (file_.Failed()) return AviResult::kWriteFailed;
  const uint32_t payload = FramePayload();
  const uint64_t chunk = uint64_t{payload} + kChunkHeader;
  // The file must still close with valid 32-bit sizes: this frame, the index header and every
  // index entry including this frame's.
  const uint64_t finished =
      8 + riffSize_ + chunk + kChunkHeader + kIndexEntryBytes * (frameIndex_.size() + 1);
  if (finished > sizeLimit_) return AviResult::kFull;
  try {
    frameIndex_.push_back(
        {{'0', '0', 'd', 'b'}, kAviifKeyframe, static_cast<uint32_t>(moviSize_), payload});
  } catch (const std::bad_alloc&) {
    return AviResult::kFull;
  }
  const bool written = WriteCode("00db") && file_.WriteU32(payload) && file_.Write(pixels, payload);
  if (!written) {
    frameIndex_.pop_back();  // the chunk is incomplete: FinishFile cuts it off
    return AviResult::kWriteFailed;
  }
  riffSize_ += chunk;
  moviSize_ += chunk;
  return AviResult::kOk;
}

AviResult AviRecorder::FinishFile() {
  if (!file_.IsOpen()) return AviResult::kWriteFailed;
  // Only complete frames count, whatever the caller counted.
  const uint32_t frames =
      frameCount < frameIndex_.size() ? frameCount : static_cast<uint32_t>(frameIndex_.size());
  const uint32_t measured = rate != 0 ? rate : kNominalRate;
  // The index goes right after the last complete chunk; a chunk a failed write left half done
  // is cut off.
  file_.Seek(kFirstChunkOffset - 4 + moviSize_);
  WriteCode("idx1");
  file_.WriteU32(frames * kIndexEntryBytes);
  file_.Write(frameIndex_.data(), size_t{frames} * kIndexEntryBytes);
  file_.TruncateHere();
  riffSize_ += kChunkHeader + uint64_t{frames} * kIndexEntryBytes;

  file_.Seek(kRiffSizeOffset);
  file_.WriteU32(static_cast<uint32_t>(riffSize_));
  file_.Seek(moviSizeOffset_);
  file_.WriteU32(static_cast<uint32_t>(moviSize_));
  file_.Seek(kTotalFramesOffset);
  file_.WriteU32(frames);
  file_.Seek(kLengthOffset);
  file_.WriteU32(frames);
  file_.Seek(kMicroSecPerFrameOffset);
  file_.WriteU32(100000000u / measured);
  file_.Seek(kScaleOffset);
  file_.WriteU32(1000000000u / measured);
  return file_.Close() ? AviResult::kOk : AviResult::kWriteFailed;
}

}  // namespace zelcnv::imaging
