// The output picture of a stream, held three times over, so that a copy on the application's
// thread (ZelCam_GetImage, ZelCam_SaveImage) always reads one whole frame while the preview
// thread converts the next, and neither waits for the other.
//
// The writer (the preview thread, or a snapshot while no stream runs) fills the back picture and
// publishes it; it becomes the newest. The reader takes the newest published picture as its own;
// the writer then fills only the two others until the reader takes a newer one. Publishing and
// taking are single atomic exchanges of a picture's index.
#pragma once

#include <atomic>
#include <cstdint>

#include "imaging/frame_bitmap.h"

namespace zelcnv::camera {

class OutputPictures {
 public:
  // Sizes all three pictures; none holds a frame yet. Only while neither a writer nor a reader
  // runs (stream preparation). False when memory runs out: then all three are empty.
  [[nodiscard]] bool Create(int32_t width, int32_t height, uint16_t bits);

  // The pictures' size and depth, fixed from Create to the next Create.
  int32_t Width() const { return pictures_[0].Width(); }
  int32_t Height() const { return pictures_[0].Height(); }
  int BitsPerPixel() const { return pictures_[0].BitsPerPixel(); }

  // Writer: the picture to fill next.
  imaging::FrameBitmap& Back() { return pictures_[back_]; }
  // Writer: the back picture holds a whole frame; it becomes the newest and the writer moves on
  // to another picture. Returns the picture just published, which the writer may go on reading.
  const imaging::FrameBitmap& Publish();

  // Reader (one thread at a time): the newest whole frame, or null before the first. It stays
  // unchanged until the reader's next call.
  const imaging::FrameBitmap* Newest();

 private:
  static constexpr uint32_t kFresh = 4;  // published and not taken yet
  static constexpr uint32_t kIndex = 3;

  imaging::FrameBitmap pictures_[3];
  int back_ = 0;             // the writer's
  int front_ = 2;            // the reader's
  bool frontHolds_ = false;  // the reader's: front_ holds a frame
  std::atomic<uint32_t> middle_{1};
};

}  // namespace zelcnv::camera
