// A frame in 24-bit colour, for the preview window and the recorder alike: made from the output
// picture at most once per frame, and only when one of them asks. Modes whose output picture is
// already what both take (8-bit grey, 24-bit colour) hand over the output picture itself.
// Preview thread only (a snapshot while no stream runs draws nothing).
#pragma once

#include <cstdint>

#include "camera/colour_modes.h"
#include "imaging/frame_bitmap.h"

namespace zelcnv::camera {

class ColourPicture {
 public:
  // Sizes the colour picture for frames of `mode` (stream preparation). False when memory ran
  // out.
  [[nodiscard]] bool Create(int32_t width, int32_t height, const ColourModeTraits& mode);

  // A new frame: `output`, the output picture just published, which stays unchanged until the
  // next call.
  void NewFrame(const imaging::FrameBitmap& output) {
    output_ = &output;
    made_ = false;
  }

  // The frame in colour: the colour picture, made on the first call of the frame, or the output
  // picture itself where no conversion is needed.
  const imaging::FrameBitmap& Get();

  // The frame in colour into `target`, a 24-bit picture of the frame's size (the recorder's
  // hand-over frame): a copy of the colour picture when it is made already, or where no
  // conversion is needed (grey through the grey colour table), else converted straight into
  // `target`, which then stands for the frame's one conversion.
  void CopyInto(imaging::FrameBitmap* target);

  // Conversions made since Create: one per frame at most, when Get follows no CopyInto.
  uint64_t Conversions() const { return conversions_; }

 private:
  const imaging::RowKernel* toColour_ = nullptr;
  imaging::FrameBitmap picture_;
  const imaging::FrameBitmap* output_ = nullptr;
  bool made_ = false;
  uint64_t conversions_ = 0;
};

}  // namespace zelcnv::camera
