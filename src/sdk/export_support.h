// What every export shares: one lookup of the handle, the failure value for an unknown handle,
// the camera object kept alive and to itself for the length of the call, and nothing thrown
// across the C boundary.
#pragma once

#include <mutex>
#include <new>

#include "camera/camera.h"
#include "sdk/handle_registry.h"

namespace zelcnv::sdk {

// How many exports this thread is inside (an export can be re-entered through the application's
// window procedure while a modal dialog or a window call runs).
int& ExportDepth();

class ExportScope {
 public:
  ExportScope() { ++ExportDepth(); }
  ~ExportScope() { --ExportDepth(); }
  ExportScope(const ExportScope&) = delete;
  ExportScope& operator=(const ExportScope&) = delete;
};

// Runs `operation` on the handle's camera object; `failure` for an unknown handle (nothing is
// touched then) or when the operation throws. An allocation failure is also reported on the
// handle's error stack. Calls on one camera object from several threads take turns.
// `taking` false: the operation locks for itself and may wait long; it takes no turn, so it holds
// up no other call.
template <class Result, class Operation>
Result WithCamera(int handle, Result failure, Operation&& operation, bool taking = true) noexcept {
  CameraRef camera;
  try {
    camera = Registry().Find(handle);
    if (camera == nullptr) return failure;
    ExportScope scope;
    std::unique_lock turn(camera->Turn(), std::defer_lock);
    if (taking) turn.lock();
    return operation(*camera);
  } catch (const std::bad_alloc&) {
    if (camera != nullptr) camera->PushError(camera::kErrBuffer);
    return failure;
  } catch (...) {
    return failure;
  }
}

}  // namespace zelcnv::sdk
