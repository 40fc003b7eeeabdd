// Shared by the C and C++ halves of the header check: the exports as X-macro lists, grouped as in
// the export table, and the layout facts each language reports so that the two can be compared.
#ifndef ZELCNV_TESTS_UNIT_HEADER_HEADER_CHECK_H
#define ZELCNV_TESTS_UNIT_HEADER_HEADER_CHECK_H

#include <stddef.h>

// Exports with behaviour of their own (47).
#define ZELCNV_OWN_EXPORTS(X) \
  X(ZelCam_GetDllVersion)     \
  X(ZelCam_Initialize)        \
  X(ZelCam_Release)           \
  X(ZelCam_GetLastError)      \
  X(ZelCam_SetColorMode)      \
  X(ZelCam_GetColorMode)      \
  X(ZelCam_SetSamplingRate)   \
  X(ZelCam_GetSamplingRate)   \
  X(ZelCam_SetWaitTime)       \
  X(ZelCam_GetWaitTime)       \
  X(ZelCam_Width)             \
  X(ZelCam_Height)            \
  X(ZelCam_SetCameraDlg)      \
  X(ZelCam_SetImageDlg)       \
  X(ZelCam_StartPreview)      \
  X(ZelCam_StopPreview)       \
  X(ZelCam_Preview)           \
  X(ZelCam_CallBackPreview)   \
  X(ZelCam_Record)            \
  X(ZelCam_RecordW)           \
  X(ZelCam_Capture)           \
  X(ZelCam_SnapShot)          \
  X(ZelCam_GetImage)          \
  X(ZelCam_SaveImage)         \
  X(ZelCam_SaveImageW)        \
  X(ZelCam_SetPreviewWindow)  \
  X(ZelCam_Close)             \
  X(ZelCam_SetDeviceNumber)   \
  X(ZelCam_EnumDevice)        \
  X(ZelCam_EnumDeviceW)       \
  X(ZelCam_GetDeviceName)     \
  X(ZelCam_GetDeviceNameW)    \
  X(ZelCam_SetFilterValue)    \
  X(ZelCam_GetFilterValue)    \
  X(ZelCam_SetCrossbar)       \
  X(ZelCam_WriteRegister)     \
  X(ZelCam_ReadRegister)      \
  X(ZelCam_GetVideoFormat)    \
  X(ZelCam_GetIOPort)         \
  X(ZelCam_GetCameraInfo)     \
  X(ZelCam_GetStatus)         \
  X(ZelCam_GetSubSample)      \
  X(ZelCam_GetMirrorH)        \
  X(ZelCam_GetMirrorV)        \
  X(ZelCam_GetAutoIris)       \
  X(ZelCam_GetHalfClock)      \
  X(ZelCam_ReadSromID)

// Image parameter pairs (18 × 2): ZelCam_Set<Name> / ZelCam_Get<Name>, their ZELCNV_FILTER_<ID>
// constant and the identifier they pass on.
#define ZELCNV_FILTER_PAIRS(P)              \
  P(Brightness, BRIGHTNESS, 1)              \
  P(Contrast, CONTRAST, 2)                  \
  P(Hue, HUE, 3)                            \
  P(Saturation, SATURATION, 4)              \
  P(Sharpness, SHARPNESS, 5)                \
  P(BayerGainRGB, BAYER_GAIN_RGB, 6)        \
  P(BayerGainRed, BAYER_GAIN_RED, 7)        \
  P(BayerGainGreen, BAYER_GAIN_GREEN, 8)    \
  P(BayerGainBlue, BAYER_GAIN_BLUE, 9)      \
  P(BayerGainAuto, BAYER_GAIN_AUTO, 10)     \
  P(Gamma, GAMMA, 11)                       \
  P(BayerMode, BAYER_MODE, 12)              \
  P(GlobalGain, GLOBAL_GAIN, 13)            \
  P(ColorGainRed, COLOR_GAIN_RED, 14)       \
  P(ColorGainGreen1, COLOR_GAIN_GREEN1, 15) \
  P(ColorGainGreen2, COLOR_GAIN_GREEN2, 16) \
  P(ColorGainBlue, COLOR_GAIN_BLUE, 17)     \
  P(ExposureTime, EXPOSURE_TIME, 18)

// Exports the converter does not support (33).
#define ZELCNV_UNSUPPORTED_EXPORTS(X) \
  X(ZelCam_Fps)                       \
  X(ZelCam_GetCaptureWindowEx)        \
  X(ZelCam_GetGrayGainB)              \
  X(ZelCam_GetGrayGainG1)             \
  X(ZelCam_GetGrayGainG2)             \
  X(ZelCam_GetGrayGainR)              \
  X(ZelCam_GetGrayMode)               \
  X(ZelCam_GetGrayOffsetB)            \
  X(ZelCam_GetGrayOffsetG1)           \
  X(ZelCam_GetGrayOffsetG2)           \
  X(ZelCam_GetGrayOffsetR)            \
  X(ZelCam_GetRealExposureTime)       \
  X(ZelCam_SetAnalogDlg)              \
  X(ZelCam_SetAutoIris)               \
  X(ZelCam_SetCaptureWindow)          \
  X(ZelCam_SetCaptureWindowEx)        \
  X(ZelCam_SetGrayGainB)              \
  X(ZelCam_SetGrayGainG1)             \
  X(ZelCam_SetGrayGainG2)             \
  X(ZelCam_SetGrayGainR)              \
  X(ZelCam_SetGrayMode)               \
  X(ZelCam_SetGrayOffsetB)            \
  X(ZelCam_SetGrayOffsetG1)           \
  X(ZelCam_SetGrayOffsetG2)           \
  X(ZelCam_SetGrayOffsetR)            \
  X(ZelCam_SetHalfClock)              \
  X(ZelCam_SetIOPort)                 \
  X(ZelCam_SetMirrorH)                \
  X(ZelCam_SetMirrorV)                \
  X(ZelCam_SetRealExposureTime)       \
  X(ZelCam_SetSubSample)              \
  X(ZelCam_Trigger)                   \
  X(ZelCam_WriteSromID)

// What one language sees of the header.
typedef struct ZelCnvHeaderView {
  size_t wcharSize;
  size_t hwndSize;
  size_t frameInfoSize;
  size_t frameInfoOffsets[6];  // size, width, height, bitsPerPixel, frameRate, buffer
  size_t cameraInfoSize;
  size_t deviceListBytes;
  size_t wideDeviceListBytes;
  int ownExports;
  int filterExports;
  int unsupportedExports;
} ZelCnvHeaderView;

#ifdef __cplusplus
extern "C" {
#endif

// Implemented in header_check.c, compiled as C99.
void zelcnv_header_c_view(ZelCnvHeaderView* view);

#ifdef __cplusplus
}
#endif

#endif  // ZELCNV_TESTS_UNIT_HEADER_HEADER_CHECK_H
