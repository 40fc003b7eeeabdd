// Linux stand-in for the driver's device namespace: paths such as "\\.\ZQVD-0" served by
// in-process backends (the simulated converter today, a USB backend later).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zelcnv::platform {

// One open handle on a backend. Control() may block (a frame transfer waits for its frame), at
// most `timeoutMs` (kWaitForever: no limit), and may be called from several threads on different
// connections at once, one call at a time on each.
class DeviceConnection {
 public:
  virtual ~DeviceConnection() = default;
  virtual bool Control(uint32_t code, const void* in, uint32_t inLength, void* out,
                       uint32_t outLength, uint32_t* bytesMoved, uint32_t timeoutMs) = 0;
  // From another thread: the Control running now fails at once, and so does every later one. A
  // backend whose Control can block must cut that wait short here.
  virtual void Cancel() {}
};

class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;
  // A new connection, or null when the device refuses to open (for example unplugged).
  // A connection must stay safe to use and to destroy after its path is unregistered.
  virtual std::unique_ptr<DeviceConnection> Open() = 0;
};

// Serves `path` with `backend`; false when the path is already served.
bool RegisterDevicePath(const std::string& path, std::shared_ptr<DeviceBackend> backend);
// Stops serving `path` (open connections keep working as their backend decides); false if unknown.
bool UnregisterDevicePath(const std::string& path);
// The backend serving `path`, or null. With Unregister and Register it lets a caller put a
// backend of its own in front of another (a measurement wrapping a simulated converter).
std::shared_ptr<DeviceBackend> DeviceBackendAt(const std::string& path);

}  // namespace zelcnv::platform
