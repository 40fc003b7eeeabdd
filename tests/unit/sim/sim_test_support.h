// A host for the device model whose clock only the test moves, and a device-side view of the
// model's pipes, shared by the model tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "model/converter_model.h"
#include "model/wire_protocol.h"

namespace zelsim::test {

inline constexpr uint64_t kMs = 1000000;

class TestHost {
 public:
  TestHost() : host_{this, &NowNs, &Lock, &Unlock, &Wait, &WakeAll, &Alloc, &Free} {}
  const SimHost& Host() const { return host_; }

  uint64_t Now() const { return now_.load(); }
  void AdvanceBy(uint64_t ns) {
    std::lock_guard lock(mutex_);
    now_ += ns;
    wake_.notify_all();
  }
  // A wait with a deadline moves the clock to it at once instead of blocking: single-threaded
  // tests run the realtime schedule without real time passing.
  void SetAutoAdvance(bool on) {
    std::lock_guard lock(mutex_);
    autoAdvance_ = on;
  }
  // Blocks until `count` threads wait inside the model; false if that never happens (a transfer
  // that should have blocked returned instead).
  bool AwaitWaiters(int count) {
    std::unique_lock lock(mutex_);
    return waitersChanged_.wait_for(lock, std::chrono::seconds(30),
                                    [&] { return waiters_ >= count; });
  }
  std::vector<uint64_t> Deadlines() {
    std::lock_guard lock(mutex_);
    return deadlines_;
  }
  int Allocations() const { return allocations_.load(); }

 private:
  static TestHost& Self(void* context) { return *static_cast<TestHost*>(context); }
  static uint64_t NowNs(void* context) { return Self(context).now_.load(); }
  static void Lock(void* context) { Self(context).mutex_.lock(); }
  static void Unlock(void* context) { Self(context).mutex_.unlock(); }
  static void WakeAll(void* context) {
    ++Self(context).generation_;
    Self(context).wake_.notify_all();
  }
  static void* Alloc(void* context, size_t size) {
    ++Self(context).allocations_;
    return ::operator new(size);
  }
  static void Free(void*, void* block) { ::operator delete(block); }

  static void Wait(void* context, uint64_t deadline) {
    TestHost& self = Self(context);
    std::unique_lock lock(self.mutex_, std::adopt_lock);
    self.deadlines_.push_back(deadline);
    if (self.autoAdvance_ && deadline != kNoDeadline) {
      if (self.now_ < deadline) self.now_ = deadline;
    } else {
      const uint64_t generation = self.generation_;
      ++self.waiters_;
      self.waitersChanged_.notify_all();
      self.wake_.wait(lock,
                      [&] { return self.generation_ != generation || self.now_ >= deadline; });
      --self.waiters_;
    }
    lock.release();
  }

  SimHost host_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable waitersChanged_;
  std::atomic<uint64_t> now_{1000 * kMs};
  std::atomic<int> allocations_{0};
  bool autoAdvance_ = true;
  int waiters_ = 0;
  uint64_t generation_ = 0;
  std::vector<uint64_t> deadlines_;
};

// One open connection on a model, speaking its pipes as the host library does.
class Wire {
 public:
  Wire(ConverterModel* model, uint32_t connection) : model_(model), connection_(connection) {}

  bool Transfer(uint32_t pipe, void* buffer, uint32_t length, uint32_t* moved = nullptr,
                uint32_t code = kCodeAltInDirect) {
    const uint8_t in[4] = {static_cast<uint8_t>(pipe), 0, 0, 0};
    return model_->Control(connection_, code, in, sizeof in, buffer, length, moved);
  }
  bool Send(std::initializer_list<uint8_t> bytes) {
    uint8_t packet[kPacketBytes] = {};
    std::memcpy(packet, bytes.begin(), bytes.size());
    return Transfer(kRequestPipe, packet, kPacketBytes, nullptr, kCodeInDirect);
  }
  bool SendSamplesPerFrame(uint32_t samples) {
    return Send({kRequestSamplesPerFrame, static_cast<uint8_t>(samples),
                 static_cast<uint8_t>(samples >> 8), static_cast<uint8_t>(samples >> 16),
                 static_cast<uint8_t>(samples >> 24)});
  }
  // Byte 0 of the next answer, or -1 when the read fails.
  int ReadAnswer() {
    uint8_t answer[kPacketBytes] = {};
    return Transfer(kAnswerPipe, answer, kPacketBytes, nullptr, kCodeOutDirect) ? answer[0] : -1;
  }
  // A register read as the host library does it: query, then two reads, the second deciding.
  int ReadRegister(uint8_t address) {
    if (!Send({kRequestReadRegister, address})) return -1;
    ReadAnswer();
    return ReadAnswer();
  }
  // A frame transfer into `frame`, resized to `length` bytes.
  bool Frame(std::vector<uint8_t>* frame, uint32_t length, uint32_t* moved = nullptr) {
    frame->assign(length, 0xEE);
    return Transfer(kVideoPipe, frame->data(), length, moved);
  }

 private:
  ConverterModel* model_;
  uint32_t connection_;
};

// The raw frame a device with `params` should send as frame `sequence`: blanking, the expected
// picture's rows in their field lines, zero padding, all cut to the announced size.
inline std::vector<uint8_t> ExpectedRawFrame(const PictureParams& params, uint32_t sequence) {
  const FrameGeometry g = GeometryFor(params);
  const uint32_t b = params.bytesPerSample;
  std::vector<uint8_t> picture(ExpectedPictureBytes(params));
  RenderExpectedPicture(params, sequence, picture.data(), picture.size());
  std::vector<uint8_t> raw(std::max<size_t>(RawFrameBytes(params), size_t{g.frameSamples} * b), 0);
  FillBlanking(raw.data(), g.frameSamples, static_cast<int>(b));
  const size_t rowBytes = size_t(g.hActive) * b;
  for (int32_t row = 0; row < 2 * g.vActive; ++row) {
    const int32_t line = row % 2 == 0 ? g.vStart + row / 2 : g.vTotal + g.vStart + row / 2;
    std::memcpy(&raw[(size_t(line) * g.hTotal + g.hStart) * b], &picture[row * rowBytes], rowBytes);
  }
  raw.resize(RawFrameBytes(params));
  return raw;
}

// What the host library's field weave makes of a raw frame; empty when the frame is too short
// for its geometry (the announced size cuts it).
inline std::vector<uint8_t> Weave(const PictureParams& params, const std::vector<uint8_t>& raw) {
  const FrameGeometry g = GeometryFor(params);
  const uint32_t b = params.bytesPerSample;
  if (raw.size() < size_t{g.frameSamples} * b) return {};
  const size_t rowBytes = size_t(g.hActive) * b;
  std::vector<uint8_t> picture(2 * g.vActive * rowBytes);
  for (int32_t row = 0; row < 2 * g.vActive; ++row) {
    const int32_t line = row % 2 == 0 ? g.vStart + row / 2 : g.vTotal + g.vStart + row / 2;
    std::memcpy(&picture[row * rowBytes], &raw[(size_t(line) * g.hTotal + g.hStart) * b], rowBytes);
  }
  return picture;
}

// A freshly created model with one open connection; free timing unless a test says otherwise.
class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_ = ConverterModel::Create(host_.Host());
    ASSERT_NE(model_, nullptr);
    ASSERT_TRUE(model_->Open(&connection_));
    ASSERT_TRUE(model_->Configure("timing=free"));
    wire_ = Wire(model_, connection_);
  }
  void TearDown() override { ConverterModel::Destroy(model_); }

  TestHost host_;
  ConverterModel* model_ = nullptr;
  uint32_t connection_ = 0;
  Wire wire_{nullptr, 0};

  Wire& wire() { return wire_; }
};

}  // namespace zelsim::test
