// What every export shares: one lookup of the handle, the failure value for an unknown handle,
// and nothing thrown across the C boundary.
#pragma once

#include <new>

#include "camera/camera.h"
#include "sdk/handle_registry.h"

namespace zelcnv::sdk {

// Runs `operation` on the handle's camera object; `failure` for an unknown handle (nothing is
// touched then) or when the operation throws. An allocation failure is also reported on the
// handle's error stack.
template <class Result, class Operation>
Result WithCamera(int handle, Result failure, Operation&& operation) noexcept {
  camera::CZelCam* camera = nullptr;
  try {
    camera = Registry().Find(handle);
    if (camera == nullptr) return failure;
    return operation(*camera);
  } catch (const std::bad_alloc&) {
    if (camera != nullptr) camera->PushError(camera::kErrBuffer);
    return failure;
  } catch (...) {
    return failure;
  }
}

}  // namespace zelcnv::sdk
