// What every zelcnv command shares: the options common to all, a simulated converter attached
// on request, the handle on the chosen converter, the error numbers by name, the exit codes, and
// output for people (stderr messages) or scripts (one JSON document on stdout).
#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "ZelCnvSdk.h"

namespace zelcnv::tool {

// Exit codes, one per kind of failure.
enum Exit : int {
  kExitOk = 0,
  kExitFailed = 1,       // the library refused an operation
  kExitUsage = 2,        // a bad argument
  kExitNoConverter = 3,  // no converter found
  kExitFile = 4,         // a file that cannot be written
  kExitUnplugged = 5,    // the converter stopped sending mid-stream
};

struct CommonOptions {
  int device = 0;
  bool sim = false;  // --sim given
  std::string simConfig;
  std::string simFault;
  bool json = false;
};

// "ERR_BUFFER" for 5, and so on; "error N" for an unknown number.
std::string ErrorName(int error);

class Session {
 public:
  explicit Session(const CommonOptions& options) : options_(options) {}
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Attaches the simulated converter when asked, opens a handle and (unless only the list of
  // converters is wanted) selects the device. On failure a message is on stderr and the exit
  // code is returned; otherwise kExitOk.
  int Open(bool selectDevice = true);
  int handle() const { return handle_; }
  // The window given to the handle (errors, converters that come and go) and the one the frames
  // are announced to.
  HWND app() const { return app_; }
  HWND frames() const { return frames_; }
  const CommonOptions& options() const { return options_; }

  // Prints `message` and the handle's error numbers on stderr; returns `code`.
  int Fail(int code, const std::string& message);
  // The result document (--json) or nothing.
  void Emit(const nlohmann::ordered_json& document) const;

 private:
  const CommonOptions& options_;
  bool attached_ = false;
  HWND app_ = nullptr;
  HWND frames_ = nullptr;
  int handle_ = 0;
  // What --mode and --rate change for one command only: put back before the handle goes (the
  // library stores the settings of the handle released last).
  int savedMode_ = 0;
  int savedRate_ = -1;
};

}  // namespace zelcnv::tool
