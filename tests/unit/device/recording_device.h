// A device backend for tests: records every transfer and answers from a script.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/device_namespace.h"

namespace zelcnv::testing {

struct RecordedTransfer {
  uint32_t code;
  uint32_t pipe;
  std::vector<uint8_t> data;  // what the host handed over (the buffer as sent)
};

// What the device does with one transfer: succeed or fail, and how many bytes it reports.
struct ScriptedReply {
  bool ok = true;
  int moved = -1;  // -1: the whole buffer
  uint8_t fill = 0;
};

class RecordingDevice : public platform::DeviceBackend {
 public:
  std::vector<RecordedTransfer> Transfers() {
    std::lock_guard lock(mutex_);
    return transfers_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    transfers_.clear();
    replies_.clear();
    opens_ = 0;
  }
  // The (register, value) pairs of every register-write packet, in order.
  std::vector<std::pair<uint8_t, uint8_t>> RegisterWrites() {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<uint8_t, uint8_t>> writes;
    for (const RecordedTransfer& t : transfers_) {
      if (t.pipe == 0 && t.data.size() == 64 && t.data[0] == 0x04) {
        writes.emplace_back(t.data[1], t.data[2]);
      }
    }
    return writes;
  }
  void QueueReply(ScriptedReply reply) {
    std::lock_guard lock(mutex_);
    replies_.push_back(reply);
  }
  int opens() {
    std::lock_guard lock(mutex_);
    return opens_;
  }

  std::unique_ptr<platform::DeviceConnection> Open() override {
    std::lock_guard lock(mutex_);
    ++opens_;
    return std::make_unique<Connection>(this);
  }

 private:
  class Connection : public platform::DeviceConnection {
   public:
    explicit Connection(RecordingDevice* device) : device_(device) {}
    bool Control(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
                 uint32_t* moved, uint32_t /*timeoutMs*/) override {
      return device_->Handle(code, in, inLength, out, outLength, moved);
    }

   private:
    RecordingDevice* device_;
  };

  bool Handle(uint32_t code, const void* in, uint32_t inLength, void* out, uint32_t outLength,
              uint32_t* moved) {
    std::lock_guard lock(mutex_);
    uint32_t pipe = 0xFFFFFFFF;
    if (inLength == 4) std::memcpy(&pipe, in, 4);
    const auto* bytes = static_cast<const uint8_t*>(out);
    transfers_.push_back({code, pipe, std::vector<uint8_t>(bytes, bytes + outLength)});
    ScriptedReply reply;
    if (!replies_.empty()) {
      reply = replies_.front();
      replies_.pop_front();
    }
    uint32_t count = reply.moved < 0 ? outLength : static_cast<uint32_t>(reply.moved);
    if (pipe != 0) std::memset(out, reply.fill, count < outLength ? count : outLength);
    *moved = count;
    return reply.ok;
  }

  std::mutex mutex_;
  std::vector<RecordedTransfer> transfers_;
  std::deque<ScriptedReply> replies_;
  int opens_ = 0;
};

// Serves a RecordingDevice at a path for the life of a test.
class ServedDevice {
 public:
  explicit ServedDevice(std::string path)
      : path_(std::move(path)), device_(std::make_shared<RecordingDevice>()) {
    platform::RegisterDevicePath(path_, device_);
  }
  ~ServedDevice() { platform::UnregisterDevicePath(path_); }
  RecordingDevice& operator*() { return *device_; }
  RecordingDevice* operator->() { return device_.get(); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::shared_ptr<RecordingDevice> device_;
};

}  // namespace zelcnv::testing
