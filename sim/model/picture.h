// What the simulated converter shows: the test content of each input, the picture controls, and
// the decoded picture a host should get out of any frame. The model's own frame production is
// built from the same pieces, so the two agree byte for byte.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "device_timing.h"

namespace zelsim {

enum class InputContent : uint8_t { kBars, kRamp, kMoving, kNone };

// Neutral picture-control values: the content comes through unchanged.
inline constexpr uint8_t kNeutralBrightness = 0x80;
inline constexpr uint8_t kNeutralSaturation = 0x80;
inline constexpr uint8_t kNeutralHue = 0x00;
inline constexpr uint8_t kNeutralContrast = 0x80;

// Blanking, and the whole picture of an input without signal.
inline constexpr uint8_t kBlankLuma = 16;
inline constexpr uint8_t kBlankChroma = 128;

// Everything a frame's picture depends on besides its sequence number.
struct PictureParams {
  uint8_t standard;          // register 0x88 low nibble
  bool squarePixels;         // register 0x0D bit 7
  uint32_t samplesPerFrame;  // as the host announced with request 0x09
  uint8_t bytesPerSample;    // 1 (luma only) or 2 (YUYV)
  InputContent content;      // of the selected input; kNone when no input is selected
  uint8_t brightness;        // register 0x09
  uint8_t saturation;        // register 0x0A
  uint8_t hue;               // register 0x0B
  uint8_t contrast;          // register 0x0C

  bool operator==(const PictureParams&) const = default;
};

FrameGeometry GeometryFor(const PictureParams& params);
// Bytes of one frame transfer: samplesPerFrame * bytesPerSample.
uint32_t RawFrameBytes(const PictureParams& params);
// Bytes of the decoded picture: 2 * vActive rows of hActive samples.
uint32_t ExpectedPictureBytes(const PictureParams& params);

// Renders exactly what the host's field weave makes of device frame `frameNumber`: 2 * vActive
// rows of hActive samples, packed top to bottom, even rows from field 1 and odd rows from field 2.
// False when `params` is unusable or `size` is smaller than ExpectedPictureBytes(). A frame that
// samplesPerFrame cuts short is rendered whole.
bool RenderExpectedPicture(const PictureParams& params, uint32_t frameNumber, uint8_t* out,
                           size_t size);

// --- Pieces shared with the model's frame production. ---

// The picture controls, prepared once per setting.
struct ToneTable {
  uint8_t luma[256];
  int32_t cosGain;  // cos(hue) * saturation, scaled by kChromaGainShift
  int32_t sinGain;
};
void MakeToneTable(const PictureParams& params, ToneTable* tone);
void AdjustChroma(const ToneTable& tone, uint8_t u, uint8_t v, uint8_t* uOut, uint8_t* vOut);

// The moving pattern repeats every kMovingPeriod samples and moves by kMovingStep samples per
// field. Both are even so that a shifted line keeps U on even samples and V on odd ones.
inline constexpr int32_t kMovingPeriod = 192;
inline constexpr int32_t kMovingStep = 6;
// Where the pattern starts on the lines of one field of a frame (field 0 or 1).
int32_t MovingShift(uint32_t frameNumber, int field);
// `count` samples of the moving pattern from pattern position `first` (even), controls applied.
void RenderMovingSamples(const PictureParams& params, const ToneTable& tone, int32_t first,
                         int32_t count, uint8_t* dst);
// One active line (hActive samples) of a field without its stamp.
void RenderContentLine(const PictureParams& params, const FrameGeometry& geometry,
                       const ToneTable& tone, uint32_t frameNumber, int field, uint8_t* dst);
// `samples` samples of blanking.
void FillBlanking(uint8_t* dst, uint32_t samples, int bytesPerSample);

}  // namespace zelsim
