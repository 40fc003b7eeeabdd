// What the public header promises and the library's own names must agree on: error numbers,
// messages, the frame record's layout, colour modes and image parameters. Only
// checks, at compile time.
#include <cstddef>

#include "ZelCnvSdk.h"
#include "ZelCnvSdkEx.h"
#include "camera/camera.h"

namespace zelcnv::camera {

static_assert(kErrNotReady == ERR_NOT_READY && kErrNoDevice == ERR_NO_DEVICE &&
              kErrThread == ERR_THREAD && kErrWindow == ERR_WINDOW && kErrBuffer == ERR_BUFFER &&
              kErrDeviceIo == ERR_DEVICE_IO && kErrCapture == ERR_CAPTURE &&
              kErrParameter == ERR_PARAMETER && kErrUnsupported == ERR_UNSUPPORTED &&
              kErrOperation == ERR_OPERATION && kErrTransferStopped == ERR_TRANSFER_STOPPED);
static_assert(kMsgFrameNotify == MSG_FRAME_NOTIFY && kMsgErrorNotify == MSG_ERROR_NOTIFY);

// Applications read the camera's record in place through the public declaration.
static_assert(sizeof(camera::FrameInfo) == sizeof(::FrameInfo));
static_assert(offsetof(camera::FrameInfo, size) == offsetof(::FrameInfo, size) &&
              offsetof(camera::FrameInfo, width) == offsetof(::FrameInfo, width) &&
              offsetof(camera::FrameInfo, height) == offsetof(::FrameInfo, height) &&
              offsetof(camera::FrameInfo, bitsPerPixel) == offsetof(::FrameInfo, bitsPerPixel) &&
              offsetof(camera::FrameInfo, frameRate) == offsetof(::FrameInfo, frameRate) &&
              offsetof(camera::FrameInfo, buffer) == offsetof(::FrameInfo, buffer));

static_assert(kColourModes[kMode8].bitsPerPixel == ZELCNV_COLOR_MODE_8 &&
              kColourModes[kMode16].bitsPerPixel == ZELCNV_COLOR_MODE_16 &&
              kColourModes[kMode24].bitsPerPixel == ZELCNV_COLOR_MODE_24 &&
              kColourModes[kMode32].bitsPerPixel == ZELCNV_COLOR_MODE_32 &&
              kColourModes[kMode48].bitsPerPixel == ZELCNV_COLOR_MODE_48 &&
              kColourModes[kMode64].bitsPerPixel == ZELCNV_COLOR_MODE_64);

static_assert(kFilterBrightness == ZELCNV_FILTER_BRIGHTNESS &&
              kFilterContrast == ZELCNV_FILTER_CONTRAST && kFilterHue == ZELCNV_FILTER_HUE &&
              kFilterSaturation == ZELCNV_FILTER_SATURATION);

static_assert(kMsgDeviceChange == MSG_DEVICE_CHANGE);

// The extension's structures are the camera's, read and written in place.
static_assert(sizeof(FrameDetails) == sizeof(ZelCnvFrameDetails) &&
              offsetof(FrameDetails, stride) == offsetof(ZelCnvFrameDetails, stride) &&
              offsetof(FrameDetails, reserved) == offsetof(ZelCnvFrameDetails, reserved) &&
              offsetof(FrameDetails, sequence) == offsetof(ZelCnvFrameDetails, sequence) &&
              offsetof(FrameDetails, captureTime) == offsetof(ZelCnvFrameDetails, captureTime) &&
              offsetof(FrameDetails, framesLost) == offsetof(ZelCnvFrameDetails, framesLost));
static_assert(sizeof(StreamStats) == sizeof(ZelCnvStreamStats) &&
              offsetof(StreamStats, framesDelivered) ==
                  offsetof(ZelCnvStreamStats, framesDelivered) &&
              offsetof(StreamStats, frameRate) == offsetof(ZelCnvStreamStats, frameRate) &&
              offsetof(StreamStats, resumes) == offsetof(ZelCnvStreamStats, resumes) &&
              offsetof(StreamStats, latencyMax) == offsetof(ZelCnvStreamStats, latencyMax) &&
              offsetof(StreamStats, conversionMedian) ==
                  offsetof(ZelCnvStreamStats, conversionMedian));

}  // namespace zelcnv::camera
