// The library's worker threads and the turn its exports take on one camera object.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "camera/call_turn.h"
#include "platform/worker.h"

namespace zelcnv {
namespace {

struct Polling {
  platform::Worker* worker = nullptr;
  std::atomic<int> polls{0};
  std::atomic<bool> left{false};
};

TEST(WorkerTest, AStopCutsAWaitShortAndReturnsOnceTheBodyHasLeft) {
  Polling polling;
  platform::Worker worker;
  polling.worker = &worker;
  ASSERT_TRUE(worker.Start(
      [](void* context) {
        auto& p = *static_cast<Polling*>(context);
        // An hour between polls: only the stop ends this.
        while (!p.worker->WaitForStop(3600000)) p.polls.fetch_add(1);
        p.left.store(true);
      },
      &polling));
  EXPECT_TRUE(worker.Started());
  EXPECT_FALSE(worker.WaitEnded(0));
  worker.Stop();
  EXPECT_TRUE(polling.left.load()) << "Stop returns after the body";
  EXPECT_EQ(polling.polls.load(), 0);
  EXPECT_FALSE(worker.Started());
  worker.Stop();  // nothing left to stop
}

TEST(WorkerTest, ABodyThatEndsByItselfIsSeenEndedAndCollectedByTheNextStart) {
  std::atomic<int> runs{0};
  platform::Worker worker;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(worker.Start(
        [](void* count) { static_cast<std::atomic<int>*>(count)->fetch_add(1); }, &runs));
    EXPECT_TRUE(worker.WaitEnded(platform::kWaitForever));
    EXPECT_TRUE(worker.KeepGoing());
  }
  worker.Stop();
  EXPECT_EQ(runs.load(), 3);
}

// Processor time is read from the worker's own thread: a body that computes gains it, one that
// waits does not, and there is nothing to read before a start or after the stop.
TEST(WorkerTest, ProcessorTimeIsTheWorkersThreadsOwn) {
  struct Body {
    platform::Worker* worker = nullptr;
    std::atomic<uint64_t> sink{0};
  };
  auto compute = [](void* context) {
    auto& b = *static_cast<Body*>(context);
    uint64_t x = 1;
    while (b.worker->KeepGoing()) {
      for (int i = 0; i < 100000; ++i) x = x * 6364136223846793005u + 1442695040888963407u;
      b.sink.store(x, std::memory_order_relaxed);
    }
  };
  auto wait = [](void* context) {
    static_cast<Body*>(context)->worker->WaitForStop(platform::kWaitForever);
  };
  Body busyBody, idleBody;
  platform::Worker busy, idle;
  busyBody.worker = &busy;
  idleBody.worker = &idle;
  uint64_t used = 0;
  EXPECT_FALSE(busy.CpuTimeNs(&used)) << "no thread yet";
  ASSERT_TRUE(idle.Start(wait, &idleBody));
  ASSERT_TRUE(busy.Start(compute, &busyBody));
  // Past several clock ticks of the coarsest thread clocks (Windows counts in ticks).
  constexpr uint64_t kEnough = 100'000'000;
  uint64_t busyUsed = 0, idleUsed = 0;
  do {
    ASSERT_TRUE(busy.CpuTimeNs(&busyUsed));
  } while (busyUsed < kEnough);
  ASSERT_TRUE(idle.CpuTimeNs(&idleUsed));
  EXPECT_LT(idleUsed, busyUsed / 4) << "the waiting thread's own time, not the caller's";
  uint64_t later = 0;
  ASSERT_TRUE(busy.CpuTimeNs(&later));
  EXPECT_GE(later, busyUsed);
  busy.Stop();
  idle.Stop();
  EXPECT_FALSE(busy.CpuTimeNs(&used)) << "stopped";
}

// A body that sleeps until woken: each wake is seen, also one that came while the body was busy,
// several wakes in between count as one, and a stop ends the sleep for good.
TEST(WorkerTest, AWakeIsNeverLostAndAStopEndsTheSleep) {
  struct Sleeper {
    platform::Worker* worker = nullptr;
    std::atomic<int> work{0};  // handed over before each wake
    std::atomic<int> done{0};
    std::atomic<int> wakes{0};
  } sleeper;
  platform::Worker worker;
  sleeper.worker = &worker;
  ASSERT_TRUE(worker.Start(
      [](void* context) {
        auto& s = *static_cast<Sleeper*>(context);
        while (s.worker->WaitForWake()) {
          s.wakes.fetch_add(1);
          s.done.store(s.work.load());
        }
        // Asked to end: no later sleep blocks.
        EXPECT_FALSE(s.worker->WaitForWake());
      },
      &sleeper));
  for (int i = 1; i <= 200; ++i) {
    sleeper.work.store(i);
    worker.Wake();
    if (i % 2 == 0) worker.Wake();  // a second wake on top of the first
    while (sleeper.done.load() != i) std::this_thread::yield();
  }
  EXPECT_LE(sleeper.wakes.load(), 400);
  worker.Stop();
  EXPECT_FALSE(worker.Started());
}

TEST(CallTurnTest, TurnsAreTakenInTurnReenteredByTheirHolderAndGivenAwayWhileSuspended) {
  camera::CallTurn turn;
  const auto otherGetsIt = [&] {
    bool got = false;
    std::thread other([&] {
      got = turn.try_lock();
      if (got) turn.unlock();
    });
    other.join();
    return got;
  };
  turn.lock();
  EXPECT_TRUE(turn.try_lock()) << "the holder re-enters (its window procedure calls back)";
  EXPECT_FALSE(otherGetsIt());
  {
    // A modal dialog: another thread's call runs while the holder waits for the user, however
    // deep the holder was.
    const camera::SuspendedTurn away(turn);
    EXPECT_TRUE(otherGetsIt());
  }
  EXPECT_FALSE(otherGetsIt()) << "taken back on resuming";
  turn.unlock();
  EXPECT_FALSE(otherGetsIt()) << "given back as deep as it was held";
  turn.unlock();
  EXPECT_TRUE(otherGetsIt());
  // A caller blocked in lock gets the turn once it is free.
  turn.lock();
  std::atomic<bool> otherIn{false};
  std::thread waiting([&] {
    const std::lock_guard guard(turn);
    otherIn.store(true);
  });
  EXPECT_FALSE(otherIn.load());
  turn.unlock();
  waiting.join();
  EXPECT_TRUE(otherIn.load());
}

}  // namespace
}  // namespace zelcnv
