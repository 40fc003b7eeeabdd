#include "picture.h"

#include <string.h>

#include "frame_stamp.h"

namespace zelsim {

namespace {

// Sine in Q14 for hue steps of 360/256 degrees. Evaluated by the compiler: the model must not
// use floating point when it runs.
constexpr int kSineShift = 14;
constexpr int kHueSteps = 256;
constexpr int kQuarterTurn = kHueSteps / 4;
// Saturation 128 is unity gain.
constexpr int kSaturationShift = 7;
constexpr int kChromaGainShift = kSineShift + kSaturationShift;

struct SineTable {
  int16_t value[kHueSteps];
};

consteval double SineOf(double x) {
  double term = x;
  double sum = x;
  for (int n = 1; n < 24; ++n) {
    term *= -x * x / ((2.0 * n) * (2.0 * n + 1.0));
    sum += term;
  }
  return sum;
}

consteval SineTable MakeSineTable() {
  constexpr double kPi = 3.14159265358979323846;
  SineTable table{};
  for (int i = 0; i < kHueSteps; ++i) {
    double angle = 2.0 * kPi * i / kHueSteps;
    if (angle > kPi) angle -= 2.0 * kPi;
    const double scaled = SineOf(angle) * (1 << kSineShift);
    table.value[i] = static_cast<int16_t>(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
  }
  return table;
}

constexpr SineTable kSine = MakeSineTable();
static_assert(kSine.value[0] == 0 && kSine.value[kQuarterTurn] == (1 << kSineShift));

// 75% colour bars, left to right, as (Y, U, V).
struct Yuv {
  uint8_t y, u, v;
};
constexpr int kBarCount = 8;
constexpr Yuv kBars[kBarCount] = {
    {180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
    {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128},
};

constexpr uint8_t kRampLow = 16;
constexpr uint8_t kRampSpan = 219;

// The moving pattern: a white bar, then a dark-to-light ramp; chroma drifts across the period.
constexpr int32_t kMovingBarWidth = 16;
constexpr uint8_t kMovingBarLuma = 235;
constexpr uint8_t kMovingRampLow = 16;
constexpr int32_t kMovingRampSpan = 200;
constexpr int32_t kMovingChromaSwing = 64;
static_assert(kMovingPeriod % 2 == 0 && kMovingStep % 2 == 0);

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
  return value < low ? low : (value > high ? high : value);
}

// Writes one sample; chroma only with two-byte samples.
void PutSample(uint8_t* dst, int32_t index, int bytesPerSample, uint8_t luma, uint8_t chroma) {
  if (bytesPerSample == 2) {
    dst[index * 2] = luma;
    dst[index * 2 + 1] = chroma;
  } else {
    dst[index] = luma;
  }
}

// Writes the pair of samples starting at `index` (even): U rides on the first, V on the second.
void PutPair(uint8_t* dst, int32_t index, int32_t count, const PictureParams& params,
             const ToneTable& tone, uint8_t luma0, uint8_t luma1, uint8_t u, uint8_t v) {
  uint8_t uOut = kBlankChroma;
  uint8_t vOut = kBlankChroma;
  if (params.bytesPerSample == 2) AdjustChroma(tone, u, v, &uOut, &vOut);
  PutSample(dst, index, params.bytesPerSample, tone.luma[luma0], uOut);
  if (index + 1 < count) PutSample(dst, index + 1, params.bytesPerSample, tone.luma[luma1], vOut);
}

uint8_t MovingLuma(int32_t position) {
  if (position < kMovingBarWidth) return kMovingBarLuma;
  return static_cast<uint8_t>(kMovingRampLow + (position - kMovingBarWidth) * kMovingRampSpan /
                                                   (kMovingPeriod - kMovingBarWidth));
}

void RenderBars(const PictureParams& params, const ToneTable& tone, int32_t width, uint8_t* dst) {
  for (int32_t x = 0; x < width; x += 2) {
    const Yuv& left = kBars[x * kBarCount / width];
    const Yuv& right = kBars[(x + 1 < width ? x + 1 : x) * kBarCount / width];
    PutPair(dst, x, width, params, tone, left.y, right.y, left.u, left.v);
  }
}

void RenderRamp(const PictureParams& params, const ToneTable& tone, int32_t width, uint8_t* dst) {
  const int32_t last = width > 1 ? width - 1 : 1;
  for (int32_t x = 0; x < width; x += 2) {
    const uint8_t luma0 = static_cast<uint8_t>(kRampLow + x * kRampSpan / last);
    const uint8_t luma1 = static_cast<uint8_t>(kRampLow + (x + 1) * kRampSpan / last);
    PutPair(dst, x, width, params, tone, luma0, luma1, kBlankChroma, kBlankChroma);
  }
}

}  // namespace

FrameGeometry GeometryFor(const PictureParams& params) {
  return GeometryFor(params.standard, params.squarePixels, params.samplesPerFrame);
}

uint32_t RawFrameBytes(const PictureParams& params) {
  return params.samplesPerFrame * params.bytesPerSample;
}

uint32_t ExpectedPictureBytes(const PictureParams& params) {
  const FrameGeometry g = GeometryFor(params);
  return static_cast<uint32_t>(2 * g.vActive * g.hActive) * params.bytesPerSample;
}

void MakeToneTable(const PictureParams& params, ToneTable* tone) {
  for (int32_t y = 0; y < 256; ++y) {
    const int32_t adjusted =
        (y - 128) * params.contrast / 128 + 128 + (params.brightness - kNeutralBrightness);
    tone->luma[y] = static_cast<uint8_t>(Clamp(adjusted, 0, 255));
  }
  const int32_t sine = kSine.value[params.hue];
  const int32_t cosine = kSine.value[(params.hue + kQuarterTurn) % kHueSteps];
  tone->cosGain = cosine * params.saturation;
  tone->sinGain = sine * params.saturation;
}

void AdjustChroma(const ToneTable& tone, uint8_t u, uint8_t v, uint8_t* uOut, uint8_t* vOut) {
  const int32_t cu = u - kBlankChroma;
  const int32_t cv = v - kBlankChroma;
  // Division truncates toward zero, so the neutral setting maps every value onto itself.
  const int32_t ru = (cu * tone.cosGain - cv * tone.sinGain) / (1 << kChromaGainShift);
  const int32_t rv = (cu * tone.sinGain + cv * tone.cosGain) / (1 << kChromaGainShift);
  *uOut = static_cast<uint8_t>(Clamp(ru, -128, 127) + kBlankChroma);
  *vOut = static_cast<uint8_t>(Clamp(rv, -128, 127) + kBlankChroma);
}

int32_t MovingShift(uint32_t frameNumber, int field) {
  // Field 2 is half a frame later than field 1.
  const uint64_t fieldTime = uint64_t{frameNumber} * 2 + (field != 0 ? 1 : 0);
  return static_cast<int32_t>(fieldTime * kMovingStep % kMovingPeriod);
}

void RenderMovingSamples(const PictureParams& params, const ToneTable& tone, int32_t first,
                         int32_t count, uint8_t* dst) {
  for (int32_t x = 0; x < count; x += 2) {
    const int32_t position = (first + x) % kMovingPeriod;
    const int32_t pair = position / 2;
    const uint8_t u = static_cast<uint8_t>(kBlankChroma - kMovingChromaSwing / 2 +
                                           pair * kMovingChromaSwing / (kMovingPeriod / 2));
    const uint8_t v = static_cast<uint8_t>(2 * kBlankChroma - u);
    PutPair(dst, x, count, params, tone, MovingLuma(position), MovingLuma(position + 1), u, v);
  }
}

void RenderContentLine(const PictureParams& params, const FrameGeometry& geometry,
                       const ToneTable& tone, uint32_t frameNumber, int field, uint8_t* dst) {
  switch (params.content) {
    case InputContent::kBars:
      RenderBars(params, tone, geometry.hActive, dst);
      break;
    case InputContent::kRamp:
      RenderRamp(params, tone, geometry.hActive, dst);
      break;
    case InputContent::kMoving:
      RenderMovingSamples(params, tone, MovingShift(frameNumber, field), geometry.hActive, dst);
      break;
    case InputContent::kNone:
    default:
      // No signal: nothing for the controls to act on.
      FillBlanking(dst, static_cast<uint32_t>(geometry.hActive), params.bytesPerSample);
      break;
  }
}

void FillBlanking(uint8_t* dst, uint32_t samples, int bytesPerSample) {
  if (bytesPerSample != 2) {
    memset(dst, kBlankLuma, samples);
    return;
  }
  for (uint32_t i = 0; i < samples; ++i) {
    dst[i * 2] = kBlankLuma;
    dst[i * 2 + 1] = kBlankChroma;
  }
}

bool RenderExpectedPicture(const PictureParams& params, uint32_t frameNumber, uint8_t* out,
                           size_t size) {
  if (out == nullptr) return false;
  if (params.bytesPerSample != 1 && params.bytesPerSample != 2) return false;
  if (params.content > InputContent::kNone) return false;
  if (size < ExpectedPictureBytes(params)) return false;
  const FrameGeometry g = GeometryFor(params);
  ToneTable tone;
  MakeToneTable(params, &tone);
  const size_t rowBytes = static_cast<size_t>(g.hActive) * params.bytesPerSample;
  for (int32_t row = 0; row < 2 * g.vActive; ++row) {
    const int field = row & 1;
    const int32_t line = row / 2;
    uint8_t* dst = out + row * rowBytes;
    RenderContentLine(params, g, tone, frameNumber, field, dst);
    if (line == 0 || line == g.vActive - 1) {
      const FrameStamp stamp{frameNumber, static_cast<uint8_t>(field),
                             static_cast<uint8_t>(line == 0 ? kStampLineFirst : kStampLineLast)};
      WriteFrameStamp(dst, params.bytesPerSample, stamp);
    }
  }
  return true;
}

}  // namespace zelsim
