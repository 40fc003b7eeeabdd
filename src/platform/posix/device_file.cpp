// Device files on Linux: a path namespace served by in-process backends.
#include "platform/device_file.h"
#include "platform/posix/device_namespace.h"

#include <map>
#include <mutex>

namespace zelcnv::platform {

struct DeviceFile {
  std::unique_ptr<DeviceConnection> connection;
};

namespace {

struct Namespace {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<DeviceBackend>> paths;
};

Namespace& Paths() {
  static Namespace* instance = new Namespace;  // outlives every static destructor
  return *instance;
}

}  // namespace

bool RegisterDevicePath(const std::string& path, std::shared_ptr<DeviceBackend> backend) {
  if (!backend) return false;
  Namespace& ns = Paths();
  std::lock_guard lock(ns.mutex);
  return ns.paths.emplace(path, std::move(backend)).second;
}

bool UnregisterDevicePath(const std::string& path) {
  Namespace& ns = Paths();
  std::shared_ptr<DeviceBackend> gone;  // released outside the lock
  std::lock_guard lock(ns.mutex);
  auto it = ns.paths.find(path);
  if (it == ns.paths.end()) return false;
  gone = std::move(it->second);
  ns.paths.erase(it);
  return true;
}

std::shared_ptr<DeviceBackend> DeviceBackendAt(const std::string& path) {
  Namespace& ns = Paths();
  std::lock_guard lock(ns.mutex);
  auto it = ns.paths.find(path);
  return it == ns.paths.end() ? nullptr : it->second;
}

DeviceFile* OpenDeviceFile(const char* path) {
  if (path == nullptr) return nullptr;
  std::shared_ptr<DeviceBackend> backend;
  {
    Namespace& ns = Paths();
    std::lock_guard lock(ns.mutex);
    auto it = ns.paths.find(path);
    if (it == ns.paths.end()) return nullptr;
    backend = it->second;
  }
  std::unique_ptr<DeviceConnection> connection = backend->Open();
  if (!connection) return nullptr;
  return new (std::nothrow) DeviceFile{std::move(connection)};
}

bool ControlTransfer(DeviceFile* file, uint32_t code, const void* in, uint32_t inLength, void* out,
                     uint32_t outLength, uint32_t* bytesMoved, uint32_t timeoutMs) {
  uint32_t moved = 0;
  bool ok = file != nullptr &&
            file->connection->Control(code, in, inLength, out, outLength, &moved, timeoutMs);
  if (bytesMoved != nullptr) *bytesMoved = moved;
  return ok;
}

void CancelDeviceFile(DeviceFile* file) {
  if (file != nullptr) file->connection->Cancel();
}

void CloseDeviceFile(DeviceFile* file) {
  delete file;
}

}  // namespace zelcnv::platform
