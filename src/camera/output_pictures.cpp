// The three output pictures and their hand-over.
#include "camera/output_pictures.h"

namespace zelcnv::camera {

bool OutputPictures::Create(int32_t width, int32_t height, uint16_t bits) {
  back_ = 0;
  front_ = 2;
  frontHolds_ = false;
  middle_.store(1);
  for (imaging::FrameBitmap& picture : pictures_) {
    if (!picture.Create(width, height, bits)) {
      for (imaging::FrameBitmap& made : pictures_) made.Release();
      return false;
    }
  }
  return true;
}

const imaging::FrameBitmap& OutputPictures::Publish() {
  const int published = back_;
  // Release: the frame's pixels are whole before a reader can take the picture; acquire: the
  // picture coming back is one the reader has let go of.
  back_ = static_cast<int>(middle_.exchange(static_cast<uint32_t>(published) | kFresh) & kIndex);
  return pictures_[published];
}

const imaging::FrameBitmap* OutputPictures::Newest() {
  if ((middle_.load() & kFresh) != 0) {
    front_ = static_cast<int>(middle_.exchange(static_cast<uint32_t>(front_)) & kIndex);
    frontHolds_ = true;
  }
  return frontHolds_ ? &pictures_[front_] : nullptr;
}

}  // namespace zelcnv::camera
