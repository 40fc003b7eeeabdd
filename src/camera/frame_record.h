// Frame records that outlive their camera object: a notification posted before a release may be
// read after it, so the record its wParam points at is never freed, only reused by a later
// camera object. A camera object's notifications take its records in turn, so a record is not
// rewritten while an application a few frames behind may still be reading it.
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

// Records per camera object: each stays as it was for the 15 notifications after its own.
constexpr int kFrameRecords = 16;

// The kFrameRecords records of a new camera object, in a row: the set returned longest ago, or a
// new one; null when out of memory. Their fields keep what they held.
FrameInfo* AcquireFrameRecords();
// Gives a set back for reuse; it stays readable.
void ReturnFrameRecords(FrameInfo* records);

}  // namespace zelcnv::camera
