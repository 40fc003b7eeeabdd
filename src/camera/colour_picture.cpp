// The per-frame colour picture.
#include "camera/colour_picture.h"

#include <cstring>

namespace zelcnv::camera {

bool ColourPicture::Create(int32_t width, int32_t height, const ColourModeTraits& mode) {
  toColour_ = mode.toShown;
  output_ = nullptr;
  made_ = false;
  conversions_ = 0;
  if (toColour_ == nullptr) {
    picture_.Release();
    return true;
  }
  return picture_.Create(width, height, 24) != 0;
}

const imaging::FrameBitmap& ColourPicture::Get() {
  if (toColour_ == nullptr) return *output_;
  if (!made_) {
    // Refused only where a picture has no pixels; the colour picture then stays as it was.
    static_cast<void>(picture_.ConvertFrom(*toColour_, *output_));
    made_ = true;
    ++conversions_;
  }
  return picture_;
}

void ColourPicture::CopyInto(imaging::FrameBitmap* target) {
  if (toColour_ != nullptr && !made_) {
    // Refused only where a picture has no pixels; the target then stays as it was.
    static_cast<void>(target->ConvertFrom(*toColour_, *output_));
    ++conversions_;
    return;
  }
  const imaging::FrameBitmap& colour = Get();
  if (colour.BitsPerPixel() == 24 && colour.Stride() == target->Stride() &&
      colour.Height() == target->Height()) {
    std::memcpy(target->Bits(), colour.Bits(), size_t(colour.Stride()) * size_t(colour.Height()));
  } else {
    // Grey: a device-context copy applies the grey colour table.
    target->BlitFrom(colour);
  }
}

}  // namespace zelcnv::camera
