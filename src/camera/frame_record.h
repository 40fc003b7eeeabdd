// Frame records that outlive their camera object: a notification posted before a release may be
// read after it, so the record its wParam points at is never freed, only reused by a later
// camera object.
#pragma once

#include <cstdint>

namespace zelcnv::camera {

// The record whose address travels with every frame notification; the application reads it in
// place, so its layout is the public FrameInfo's.
struct FrameInfo {
  int32_t size;
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  int32_t frameRate;  // tenths of frames per second
  void* buffer;
};

// A record for a new camera object: the one returned longest ago, or a new one; null when out
// of memory. Its fields keep what they held.
FrameInfo* AcquireFrameRecord();
// Gives a record back for reuse; it stays readable.
void ReturnFrameRecord(FrameInfo* record);

}  // namespace zelcnv::camera
