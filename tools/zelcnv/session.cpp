// The session every command runs in.
#include "session.h"

#include <cstdio>
#include <iostream>

#include "ZelCnvSim.h"
#include "message_pump.h"

namespace zelcnv::tool {

std::string ErrorName(int error) {
  static const char* const kNames[] = {
      nullptr,      "ERR_NOT_READY",   "ERR_NO_DEVICE", "ERR_THREAD",          "ERR_WINDOW",
      "ERR_BUFFER", "ERR_DEVICE_IO",   nullptr,         "ERR_CAPTURE",         "ERR_PARAMETER",
      nullptr,      "ERR_UNSUPPORTED", "ERR_OPERATION", "ERR_TRANSFER_STOPPED"};
  if (error > 0 && error < int(std::size(kNames)) && kNames[error] != nullptr) {
    return kNames[error];
  }
  return "error " + std::to_string(error);
}

Session::~Session() {
  if (handle_ != 0) {
    if (savedMode_ != 0) ZelCam_SetColorMode(handle_, savedMode_);
    if (savedRate_ >= 0) ZelCam_SetSamplingRate(handle_, savedRate_);
    ZelCam_Release(handle_);
  }
  DestroyNotifyWindow(frames_);
  DestroyNotifyWindow(app_);
  if (attached_) ZelSim_Detach(options_.device);
}

int Session::Open(bool selectDevice) {
  if (options_.sim) {
    if (ZelSim_Attach(options_.device, options_.simConfig.c_str()) != 1) {
      return Fail(kExitUsage, "the simulator refused the configuration \"" + options_.simConfig +
                                  "\" (or the simulator's driver is not running)");
    }
    attached_ = true;
    if (!options_.simFault.empty() &&
        ZelSim_InjectFault(options_.device, options_.simFault.c_str()) != 1) {
      return Fail(kExitUsage, "the simulator refused the fault \"" + options_.simFault + "\"");
    }
  }
  app_ = CreateNotifyWindow();
  frames_ = CreateNotifyWindow();
  handle_ = ZelCam_Initialize(app_);
  if (handle_ == 0) return Fail(kExitFailed, "the library could not open a handle");
  while (ZelCam_GetLastError(handle_) != 0) {
  }  // set-up reports on a machine without converters are not this command's failure
  savedMode_ = ZelCam_GetColorMode(handle_);
  int valid = 0;
  savedRate_ = ZelCam_GetSamplingRate(handle_, &valid);
  if (valid != 1) savedRate_ = -1;
  if (!selectDevice) return kExitOk;
  char name[ZELCNV_DEVICE_NAME_CHARS] = {};
  if (ZelCam_GetDeviceName(handle_, options_.device, name, sizeof name) != 1 ||
      ZelCam_SetDeviceNumber(handle_, options_.device) != 1) {
    return Fail(kExitNoConverter, "no converter found at index " + std::to_string(options_.device) +
                                      " (--sim attaches a simulated one)");
  }
  return kExitOk;
}

int Session::Fail(int code, const std::string& message) {
  std::fprintf(stderr, "zelcnv: %s\n", message.c_str());
  if (handle_ != 0) {
    for (int error = ZelCam_GetLastError(handle_); error != 0;
         error = ZelCam_GetLastError(handle_)) {
      std::fprintf(stderr, "zelcnv:   reported %s (%d)\n", ErrorName(error).c_str(), error);
    }
  }
  return code;
}

void Session::Emit(const nlohmann::ordered_json& document) const {
  if (options_.json) std::cout << document.dump(2) << std::endl;
}

}  // namespace zelcnv::tool
