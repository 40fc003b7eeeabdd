// The classic AVI layout: RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf } }, LIST movi {
// 00db chunks }, idx1 }. OpenDML: RIFF "AVI " { LIST hdrl { avih, LIST strl { strh, strf, indx,
// JUNK }, LIST odml { dmlh } }, LIST movi { 00db chunks, ix00 }, idx1 }, then RIFF "AVIX" { LIST
// movi { 00db chunks, ix00 } } for each further part. Sizes and counts start at 0 and are patched
// when a part or the file is finished.
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

// OpenDML: the standard index (ix00) and super index (indx) headers after their chunk headers,
// their entries, and the extended header.
constexpr uint32_t kStdIndexHeader = 24;
constexpr uint32_t kStdIndexEntry = 8;
constexpr uint32_t kSuperIndexHeader = 24;
constexpr uint32_t kSuperIndexEntry = 16;
constexpr uint8_t kIndexOfIndexes = 0;
constexpr uint8_t kIndexOfChunks = 1;
constexpr uint32_t kDmlhBytes = 248;
// Beyond this many parts (64 TiB of 1 GiB parts) the header would grow past reason; a recording
// planned longer ends when its parts run out.
constexpr uint32_t kMostParts = 65536;
// The planned frames: the nominal rate, a quarter more for a converter faster than nominal, and
// the frame after the end that a recording still takes.
constexpr uint64_t kPlannedMarginNumerator = 5;
constexpr uint64_t kPlannedMarginDenominator = 4;
constexpr uint64_t kPlannedExtraFrames = 2;

// Little-endian fields into a byte buffer.
void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, static_cast<uint16_t>(value));
  Put16(out, static_cast<uint16_t>(value >> 16));
}
void Put64(std::vector<uint8_t>& out, uint64_t value) {
  Put32(out, static_cast<uint32_t>(value));
  Put32(out, static_cast<uint32_t>(value >> 32));
}
void PutBytes(std::vector<uint8_t>& out, const void* bytes, size_t count) {
  const size_t at = out.size();
  out.resize(at + count);
  std::memcpy(out.data() + at, bytes, count);
}
void PutCode(std::vector<uint8_t>& out, const char code[4]) {
  PutBytes(out, code, 4);
}
// A whole chunk: its code, its size and `bytes` of data.
void PutChunk(std::vector<uint8_t>& out, const char code[4], const void* data, uint32_t bytes) {
  PutCode(out, code);
  Put32(out, bytes);
  PutBytes(out, data, bytes);
}

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
  openDml_ = false;
  partStart_ = 0;
  moviCode_ = 0;
  partChunks_.clear();
  parts_.clear();
  partsReserved_ = 0;
  superIndexOffset_ = 0;
  dmlhOffset_ = 0;
  firstPartFrames_ = 0;
  totalFrames_ = 0;
}

uint64_t AviRecorder::PlannedFrames() const {
  const uint64_t nominal = rate != 0 ? rate : kNominalFramesPerSecond;
  return (uint64_t{plannedDurationMs} * nominal * kPlannedMarginNumerator +
          1000 * kPlannedMarginDenominator - 1) /
             (1000 * kPlannedMarginDenominator) +
         kPlannedExtraFrames;
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

Status AviRecorder::BeginFile(const char* fileName) {
  ResetRecorder();
  if (!file_.Open(fileName)) return kStatusOpenFailed;
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

  // The classic layout when the planned recording fits one part with its index.
  const uint64_t planned = PlannedFrames();
  const uint64_t classicBytes =
      kFirstChunkOffset + planned * chunk + kChunkHeader + planned * kIndexEntryBytes;
  if (classicBytes > partLimit_) {
    // Parts of whole frames with their two indexes; two more for the header and the rounding.
    const uint64_t perPart = partLimit_ / (uint64_t{chunk} + kStdIndexEntry + kIndexEntryBytes);
    const uint64_t parts = (perPart != 0 ? (planned + perPart - 1) / perPart : 1) + 2;
    BeginOpenDml(static_cast<uint32_t>(parts < kMostParts ? parts : kMostParts));
    return file_.Failed() ? kStatusWriteFailed : kStatusOk;
  }

  std::vector<uint8_t> header;
  AppendHeaders(header, kHdrlListSize, kStrlListSize);
  PutCode(header, "LIST");
  moviSizeOffset_ = kMoviSizeOffset;
  Put32(header, 0);
  PutCode(header, "movi");
  file_.Write(header.data(), header.size());
  riffSize_ = kFirstChunkOffset - 8;  // everything after the RIFF size field
  moviSize_ = 4;
  return kStatusOk;
}

Status AviRecorder::AddFrame(const uint8_t* pixels) {
  if (!file_.IsOpen() || pixels == nullptr) return kStatusWriteFailed;
  if (file_.Failed()) return kStatusWriteFailed;
  if (openDml_) return AddOpenDmlFrame(pixels);
  const uint32_t payload = FramePayload();
  const uint64_t chunk = uint64_t{payload} + kChunkHeader;
  // The file must still close with valid 32-bit sizes: this frame, the index header and every
  // index entry including this frame's.
  const uint64_t finished =
      8 + riffSize_ + chunk + kChunkHeader + kIndexEntryBytes * (frameIndex_.size() + 1);
  if (finished > sizeLimit_) return kStatusFull;
  try {
    frameIndex_.push_back(
        {{'0', '0', 'd', 'b'}, kAviifKeyframe, static_cast<uint32_t>(moviSize_), payload});
  } catch (const std::bad_alloc&) {
    return kStatusFull;
  }
  const bool written = WriteCode("00db") && file_.WriteU32(payload) && file_.Write(pixels, payload);
  if (!written) {
    frameIndex_.pop_back();  // the chunk is incomplete: FinishFile cuts it off
    return kStatusWriteFailed;
  }
  riffSize_ += chunk;
  moviSize_ += chunk;
  return kStatusOk;
}

Status AviRecorder::FinishFile() {
  if (!file_.IsOpen()) return kStatusWriteFailed;
  if (openDml_) return FinishOpenDml();
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
  return FinishHeaders(frames, frames, measured);
}

Status AviRecorder::FinishHeaders(uint32_t totalFrames, uint32_t length, uint32_t measured) {
  file_.Seek(kTotalFramesOffset);
  file_.WriteU32(totalFrames);
  file_.Seek(kLengthOffset);
  file_.WriteU32(length);
  file_.Seek(kMicroSecPerFrameOffset);
  file_.WriteU32(100000000u / measured);
  file_.Seek(kScaleOffset);
  file_.WriteU32(1000000000u / measured);
  return file_.Close() ? kStatusOk : kStatusWriteFailed;
}

void AviRecorder::AppendHeaders(std::vector<uint8_t>& out, uint32_t hdrlBytes,
                                uint32_t strlBytes) const {
  PutCode(out, "RIFF");
  Put32(out, 0);
  PutCode(out, "AVI ");
  PutCode(out, "LIST");
  Put32(out, hdrlBytes);
  PutCode(out, "hdrl");
  PutChunk(out, "avih", &mainHeader_, sizeof mainHeader_);
  PutCode(out, "LIST");
  Put32(out, strlBytes);
  PutCode(out, "strl");
  PutChunk(out, "strh", &streamHeader_, sizeof streamHeader_);
  PutChunk(out, "strf", &streamFormat_, sizeof streamFormat_);
}

// ---- OpenDML ----

void AviRecorder::BeginOpenDml(uint32_t partsReserved) {
  openDml_ = true;
  partsReserved_ = partsReserved;
  const uint32_t superIndexBytes = kSuperIndexHeader + kSuperIndexEntry * partsReserved;
  const uint32_t strlBytes = kStrlListSize + kChunkHeader + superIndexBytes;
  const uint32_t odmlBytes = 4 + kChunkHeader + kDmlhBytes;
  const uint32_t hdrlBytes = 4 + (kChunkHeader + sizeof(MainAviHeader)) +
                             (kChunkHeader + strlBytes) + (kChunkHeader + odmlBytes);
  std::vector<uint8_t> header;
  AppendHeaders(header, hdrlBytes, strlBytes);
  // The super index's room, filled in when the file is finished.
  superIndexOffset_ = header.size();
  PutCode(header, "indx");
  Put32(header, superIndexBytes);
  header.resize(header.size() + superIndexBytes, 0);
  PutCode(header, "LIST");
  Put32(header, odmlBytes);
  PutCode(header, "odml");
  PutCode(header, "dmlh");
  Put32(header, kDmlhBytes);
  dmlhOffset_ = header.size();
  header.resize(header.size() + kDmlhBytes, 0);
  PutCode(header, "LIST");
  Put32(header, 0);
  PutCode(header, "movi");
  partStart_ = 0;
  moviCode_ = header.size() - 4;
  moviSizeOffset_ = static_cast<uint32_t>(moviCode_ - 4);
  file_.Write(header.data(), header.size());
  position_ = header.size();
}

Status AviRecorder::AddOpenDmlFrame(const uint8_t* pixels) {
  const uint32_t payload = FramePayload();
  const uint64_t chunk = uint64_t{payload} + kChunkHeader;
  // The part must still close within its limit: this frame and both its index entries.
  auto fits = [&](uint64_t frames) {
    const uint64_t closing = kChunkHeader + kStdIndexHeader + kStdIndexEntry * frames +
                             (parts_.empty() ? kChunkHeader + kIndexEntryBytes * frames : 0);
    return position_ - partStart_ + chunk + closing <= partLimit_;
  };
  if (!fits(partChunks_.size() + 1)) {
    // A frame no part holds, or no super index entry left for another part: the file is full.
    if (partChunks_.empty() || parts_.size() + 2 > partsReserved_) return kStatusFull;
    ClosePart();
    OpenNextPart();
    if (file_.Failed()) return kStatusWriteFailed;
    if (!fits(1)) return kStatusFull;
  }
  if (totalFrames_ == UINT32_MAX) return kStatusFull;
  try {
    partChunks_.push_back(position_);
  } catch (const std::bad_alloc&) {
    return kStatusFull;
  }
  const bool written = WriteCode("00db") && file_.WriteU32(payload) && file_.Write(pixels, payload);
  if (!written) {
    partChunks_.pop_back();  // the chunk is incomplete: the part's index overwrites it
    return kStatusWriteFailed;
  }
  position_ += chunk;
  ++totalFrames_;
  return kStatusOk;
}

void AviRecorder::ClosePart() {
  const uint32_t frames = static_cast<uint32_t>(partChunks_.size());
  const uint32_t payload = FramePayload();
  const bool first = parts_.empty();
  std::vector<uint8_t> tail;
  // The standard index: chunk data offsets from the part's start.
  const uint64_t indexOffset = position_;
  const uint32_t indexBytes = kStdIndexHeader + kStdIndexEntry * frames;
  PutCode(tail, "ix00");
  Put32(tail, indexBytes);
  Put16(tail, kStdIndexEntry / 4);
  tail.push_back(0);
  tail.push_back(kIndexOfChunks);
  Put32(tail, frames);
  PutCode(tail, "00db");
  Put64(tail, partStart_);
  Put32(tail, 0);
  for (uint64_t chunkOffset : partChunks_) {
    Put32(tail, static_cast<uint32_t>(chunkOffset + kChunkHeader - partStart_));
    Put32(tail, payload);  // bit 31 clear: every frame is a key frame
  }
  const uint64_t moviEnd = indexOffset + tail.size();
  if (first) {
    // Classic readers play the first part through its idx1.
    PutCode(tail, "idx1");
    Put32(tail, frames * kIndexEntryBytes);
    for (uint64_t chunkOffset : partChunks_) {
      PutCode(tail, "00db");
      Put32(tail, kAviifKeyframe);
      Put32(tail, static_cast<uint32_t>(chunkOffset - moviCode_));
      Put32(tail, payload);
    }
    firstPartFrames_ = frames;
  }
  // After the last complete chunk: a chunk a failed write left half done is overwritten.
  file_.Seek(position_);
  file_.Write(tail.data(), tail.size());
  position_ += tail.size();
  file_.Seek(partStart_ + 4);
  file_.WriteU32(static_cast<uint32_t>(position_ - partStart_ - 8));
  file_.Seek(moviCode_ - 4);
  file_.WriteU32(static_cast<uint32_t>(moviEnd - moviCode_));
  file_.Seek(position_);
  parts_.push_back({indexOffset, kChunkHeader + indexBytes, frames});
  partChunks_.clear();
}

void AviRecorder::OpenNextPart() {
  std::vector<uint8_t> head;
  PutCode(head, "RIFF");
  Put32(head, 0);
  PutCode(head, "AVIX");
  PutCode(head, "LIST");
  Put32(head, 0);
  PutCode(head, "movi");
  partStart_ = position_;
  moviCode_ = position_ + head.size() - 4;
  file_.Write(head.data(), head.size());
  position_ += head.size();
}

Status AviRecorder::FinishOpenDml() {
  if (!parts_.empty() && partChunks_.empty()) {
    // A part opened for a frame that was never written: it goes.
    position_ = partStart_;
    file_.Seek(position_);
  } else {
    ClosePart();
  }
  file_.TruncateHere();
  const uint32_t measured = rate != 0 ? rate : kNominalRate;
  uint32_t frames = 0;
  for (const PartEntry& part : parts_) frames += part.frames;

  // The super index, and a JUNK chunk over the room it does not use.
  std::vector<uint8_t> index;
  const uint32_t used = static_cast<uint32_t>(parts_.size());
  PutCode(index, "indx");
  Put32(index, kSuperIndexHeader + kSuperIndexEntry * used);
  Put16(index, kSuperIndexEntry / 4);
  index.push_back(0);
  index.push_back(kIndexOfIndexes);
  Put32(index, used);
  PutCode(index, "00db");
  for (int i = 0; i < 3; ++i) Put32(index, 0);
  for (const PartEntry& part : parts_) {
    Put64(index, part.indexOffset);
    Put32(index, part.indexSize);
    Put32(index, part.frames);
  }
  if (used < partsReserved_) {
    PutCode(index, "JUNK");
    Put32(index, kSuperIndexEntry * (partsReserved_ - used) - kChunkHeader);
  }
  file_.Seek(superIndexOffset_);
  file_.Write(index.data(), index.size());
  file_.Seek(dmlhOffset_);
  file_.WriteU32(frames);
  // The main header counts the first part's frames, as classic readers see them; the stream
  // header all of them.
  return FinishHeaders(firstPartFrames_, frames, measured);
}

}  // namespace zelcnv::imaging
