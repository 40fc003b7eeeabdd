// The settings dialogs through the C API on Linux: without a driver they are never created (and
// never block), with one installed through ZelCnvPosix.h they run in memory against the camera
// object while it streams, writing the simulated converter from the dialog's thread as the preview
// and transfer threads deliver frames.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ZelCnvPosix.h"
#include "ZelCnvSdk.h"
#include "ZelCnvSim.h"
#include "support/camera_fixture.h"

namespace zelcnv::apitest {
namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kSamplingCode = 1010;
constexpr int kWaitTime = 1045;
constexpr int kBrightnessBar = 2001;
constexpr int kBrightnessEdit = 2002;
constexpr int kHueSpin = 2024;
constexpr int kHueEdit = 2022;

using User = std::function<void(ZelCnvDialog*, int templateId)>;

// Installs `user` as the dialog driver for the scope.
class Driver {
 public:
  explicit Driver(User user) : user_(std::move(user)) {
    ZelCnv_SetDialogDriver(
        [](ZelCnvDialog* dialog, int templateId, void* context) {
          (*static_cast<User*>(context))(dialog, templateId);
        },
        &user_);
  }
  ~Driver() { ZelCnv_SetDialogDriver(nullptr, nullptr); }

 private:
  User user_;
};

std::string Text(ZelCnvDialog* dialog, int control) {
  char buffer[64] = {};
  return ZelCnv_DialogGetText(dialog, control, buffer, sizeof buffer) >= 0 ? buffer : "<none>";
}

class DialogDriverTest : public CameraTest {
 protected:
  void StartStream() {
    buffer_.assign(static_cast<size_t>(width_ + 3) / 4 * 4 * height_, 0);
    ASSERT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer_.data(),
                                     static_cast<int>(buffer_.size()), 1),
              1);
  }

  // One released frame: its sequence, which must follow `previous` (-1: any).
  int64_t NextInOrder(int64_t previous) {
    EXPECT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    const ReceivedMessage message = NextFrameMessage();
    EXPECT_NE(message.wParam, 0u) << "error " << message.lParam;
    if (message.wParam == 0) return previous;
    const int stride = (width_ + 3) / 4 * 4;
    const zelsim::FrameStamp top = StampOfRow(buffer_, stride, 0, 1);
    const zelsim::FrameStamp bottom = StampOfRow(buffer_, stride, height_ - 1, 1);
    EXPECT_EQ(top.sequence, bottom.sequence) << "a torn frame";
    if (previous >= 0) {
      EXPECT_EQ(int64_t{top.sequence}, previous + 1);
    }
    return top.sequence;
  }

  std::vector<uint8_t> buffer_;
};

TEST_F(DialogDriverTest, WithoutADriverNeitherDialogIsCreatedAndTheStreamGoesOn) {
  Open("timing=manual input0=moving", 8);
  StartStream();
  int64_t sequence = NextInOrder(-1);
  EXPECT_EQ(ZelCam_SetCameraDlg(handle_, app_.handle()), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_WINDOW);
  EXPECT_EQ(ZelCam_SetImageDlg(handle_, app_.handle()), 0);
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_WINDOW);
  // Not even stopped and started again: the next frame is the device's next one.
  sequence = NextInOrder(sequence);
  EXPECT_EQ(StopManualStream(), 1);
  EXPECT_EQ(ZelCam_SetCameraDlg(0, nullptr), 0) << "an unknown handle";
}

TEST_F(DialogDriverTest, ImageDialogWritesTheConverterBetweenFramesAndCancelRestoresTheBytes) {
  Open("timing=manual input0=moving", 8);
  ASSERT_EQ(ZelCam_SetBrightness(handle_, 90), 1);
  StartStream();
  int64_t sequence = NextInOrder(-1);
  int result = 0;
  {
    Driver driver([&](ZelCnvDialog* dialog, int templateId) {
      EXPECT_EQ(templateId, 108);
      EXPECT_EQ(ZelCnv_DialogIsEnabled(dialog, 3), 1) << "Default, with the device";
      EXPECT_EQ(Text(dialog, kBrightnessEdit), "90");
      // Every slide writes the converter while the transfer and preview threads deliver the
      // next frame.
      for (int position = 0; position < 256; position += 5) {
        ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
        ASSERT_EQ(ZelCnv_DialogSlide(dialog, kBrightnessBar, position), 1);
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x09), position);
        const ReceivedMessage message = NextFrameMessage();
        ASSERT_NE(message.wParam, 0u);
        const zelsim::FrameStamp stamp = StampOfRow(buffer_, (width_ + 3) / 4 * 4, 0, 1);
        EXPECT_EQ(int64_t{stamp.sequence}, sequence + 1);
        sequence = stamp.sequence;
      }
      ASSERT_EQ(ZelCnv_DialogType(dialog, kBrightnessEdit, "300"), 1);
      int position = 0;
      ASSERT_EQ(ZelCnv_DialogGetPosition(dialog, kBrightnessBar, &position), 1);
      EXPECT_EQ(position, 44);
      EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x09), 44);
      ASSERT_EQ(ZelCnv_DialogSpin(dialog, kHueSpin, 2), 1);
      EXPECT_EQ(Text(dialog, kHueEdit), "2");
      EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x0B), 2);
      EXPECT_EQ(ZelCam_GetBrightness(handle_, nullptr), 44) << "edited in place";
      ZelCnv_DialogClick(dialog, kCancel);
    });
    result = ZelCam_SetImageDlg(handle_, app_.handle());
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ZelCam_GetBrightness(handle_, nullptr), 90);
  EXPECT_EQ(ZelCam_GetHue(handle_, nullptr), 0);
  EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x09), 44) << "until the next stream start";
  sequence = NextInOrder(sequence);
  EXPECT_EQ(StopManualStream(), 1);
}

TEST_F(DialogDriverTest, VideoFormatDialogStopsTheStreamReprogramsAfterOkAndStreamsAgainInOrder) {
  Open("timing=manual input0=moving", 8);
  StartStream();
  NextInOrder(-1);
  int result = 0;
  {
    // Stopping waits for the transfer in flight, which a manual converter would hold.
    ASSERT_EQ(ZelSim_Configure(0, "timing=free"), 1);
    Driver driver([&](ZelCnvDialog* dialog, int templateId) {
      EXPECT_EQ(templateId, 106);
      EXPECT_EQ(ZelSim_Configure(0, "timing=manual"), 1);
      EXPECT_EQ(ZelCnv_DialogChoose(dialog, kSamplingCode, 2), 1);  // "Normal HiSpeed"
      EXPECT_EQ(ZelCnv_DialogIsEnabled(dialog, 1002), 1) << "Apply";
      EXPECT_EQ(ZelCnv_DialogType(dialog, kWaitTime, "1"), 1);
      ZelCnv_DialogClick(dialog, kOk);
      EXPECT_EQ(ZelCnv_DialogClick(dialog, kOk), 0) << "the dialog has ended";
    });
    result = ZelCam_SetCameraDlg(handle_, app_.handle());
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ZelCam_GetSamplingRate(handle_, nullptr), 2) << "the store was loaded";
  EXPECT_EQ(ZelCam_GetColorMode(handle_), 8) << "the store's colour mode 0";
  width_ = ZelCam_Width(handle_);
  height_ = ZelCam_Height(handle_);
  // Every frame of the stopped stream was announced before the stop returned.
  frames_.Drain();
  buffer_.resize(static_cast<size_t>(width_ + 3) / 4 * 4 * height_);
  int64_t sequence = -1;
  for (int i = 0; i < 5; ++i) sequence = NextInOrder(sequence);
  EXPECT_EQ(StopManualStream(), 1);
}

TEST_F(DialogDriverTest, AStreamStartedWhileTheFormatDialogIsOpenComesBackInTheNewFormat) {
  Open("timing=free", 8);
  ASSERT_EQ(ZelCam_GetSamplingRate(handle_, nullptr), 3) << "normal width";
  int result = 0;
  {
    Driver driver([&](ZelCnvDialog* dialog, int) {
      // The application's other thread (here the same one: the dialog lets calls through)
      // starts a stream in the format before, then the user picks another and says OK.
      buffer_.assign(static_cast<size_t>(768 + 3) / 4 * 4 * 576, 0);
      EXPECT_EQ(ZelCam_CallBackPreview(handle_, frames_.handle(), buffer_.data(),
                                       static_cast<int>(buffer_.size()), 1),
                1);
      EXPECT_EQ(ZelCnv_DialogChoose(dialog, kSamplingCode, 0), 1);  // wide
      ZelCnv_DialogClick(dialog, kOk);
    });
    result = ZelCam_SetCameraDlg(handle_, app_.handle());
  }
  EXPECT_EQ(result, 1);
  ASSERT_EQ(ZelCam_GetSamplingRate(handle_, nullptr), 0);
  ASSERT_NE(ZelCam_Width(handle_), width_) << "the new format's own width";
  // Not reprogrammed under the running stream: stopped, and started again in the new format.
  frames_.Drain();
  const ReceivedMessage message = NextFrameMessage();
  ASSERT_NE(message.wParam, 0u);
  EXPECT_EQ(reinterpret_cast<const FrameInfo*>(message.wParam)->width, ZelCam_Width(handle_));
  EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
}

TEST_F(DialogDriverTest, TheFormatDialogIsShownAtOnceOverASilentConverter) {
  for (const char* silence : {"stall", "manual"}) {
    SCOPED_TRACE(silence);
    const bool stall = std::string(silence) == "stall";
    Open(stall ? "timing=realtime" : "timing=manual", 8);
    if (!stall) {
      ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
    }
    StartStream();
    ASSERT_NE(NextFrameMessage().wParam, 0u);
    if (stall) {
      ASSERT_EQ(ZelSim_InjectFault(0, "stall=20000"), 1);
    }
    // The stream stops before the dialog shows: the user gets it at once, not when the
    // converter speaks again.
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration shownAfter{};
    {
      Driver driver([&](ZelCnvDialog* dialog, int) {
        shownAfter = std::chrono::steady_clock::now() - start;
        ZelCnv_DialogClick(dialog, kCancel);
      });
      EXPECT_EQ(ZelCam_SetCameraDlg(handle_, app_.handle()), 1);
    }
    EXPECT_LT(shownAfter, std::chrono::seconds(1));
    EXPECT_EQ(ZelCam_StopPreview(handle_), 1);
    ZelCam_Release(handle_);
    handle_ = 0;
    ASSERT_EQ(ZelSim_Detach(0), 1);
  }
}

TEST_F(DialogDriverTest, ASecondDialogOfAKindIsRefusedFromAnyThreadAndTheFirstGoesOn) {
  Open("timing=manual", 8);
  const int other = ZelCam_Initialize(nullptr);
  ASSERT_NE(other, 0);
  int calls = 0;
  {
    Driver driver([&](ZelCnvDialog* dialog, int templateId) {
      ++calls;
      if (templateId == 106) {
        // The other kind may open meanwhile; this kind may not, not even from here.
        EXPECT_EQ(ZelCam_SetCameraDlg(other, nullptr), 0);
        EXPECT_EQ(ZelCam_GetLastError(other), ERR_WINDOW);
        EXPECT_EQ(ZelCam_SetImageDlg(other, nullptr), 1);
        ZelCnv_DialogType(dialog, kWaitTime, "77");
        ZelCnv_DialogClick(dialog, kOk);
      } else {
        int refused = -1;
        std::thread second([&] { refused = ZelCam_SetImageDlg(handle_, nullptr); });
        second.join();
        EXPECT_EQ(refused, 0);
        ZelCnv_DialogClick(dialog, kOk);
      }
    });
    EXPECT_EQ(ZelCam_SetCameraDlg(handle_, nullptr), 1);
  }
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(ZelCam_GetWaitTime(handle_), 77) << "the first dialog's OK";
  EXPECT_EQ(ZelCam_GetLastError(handle_), ERR_WINDOW) << "the refused image dialog";
  ZelCam_Release(other);
}

TEST_F(DialogDriverTest, AnArmedCaptureGivesTheDeviceToTheImageDialogAndIsArmedAgainAfter) {
  Open("timing=manual", 8);
  ASSERT_EQ(ZelCam_Capture(handle_), 1);
  {
    Driver driver([&](ZelCnvDialog* dialog, int templateId) {
      if (templateId == 108) {
        EXPECT_EQ(ZelCnv_DialogClick(dialog, 3), 1) << "Default, with the device";
        EXPECT_EQ(ZelSim_ReadDeviceRegister(0, 0x0C), 128);
        ZelCnv_DialogClick(dialog, kOk);
      } else {
        ZelCnv_DialogClick(dialog, kCancel);
      }
    });
    EXPECT_EQ(ZelCam_SetImageDlg(handle_, nullptr), 1);
    EXPECT_EQ(ZelCam_SetCameraDlg(handle_, nullptr), 1);
  }
  // Armed again: a snapshot reads a frame without preparing the stream anew.
  std::vector<uint8_t> frame(static_cast<size_t>(width_ + 3) / 4 * 4 * height_);
  ASSERT_EQ(ZelSim_InjectFault(0, "release=1"), 1);
  EXPECT_EQ(ZelCam_SnapShot(handle_, frame.data(), static_cast<int>(frame.size()), 0), 1);
  EXPECT_EQ(ZelCam_StartPreview(handle_), 0) << "still armed, so no stream may start";
}

}  // namespace
}  // namespace zelcnv::apitest
