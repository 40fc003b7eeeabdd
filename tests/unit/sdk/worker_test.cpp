// The library's worker threads and the turn its exports take on one camera object.
#include <gtest/gtest.h>

#include <atomic>
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
    EXPECT_FALSE(worker.StopRequested());
  }
  worker.Stop();
  EXPECT_EQ(runs.load(), 3);
}

TEST(CallTurnTest, TurnsAreTakenInTurnReenteredByTheirHolderAndGivenAwayWhileSuspended) {
  camera::CallTurn turn;
  std::atomic<bool> otherIn{false};
  turn.lock();
  turn.lock();  // the holder re-enters (its window procedure calls back)
  std::thread other([&] {
    std::lock_guard guard(turn);
    otherIn.store(true);
  });
  {
    // A modal dialog: the other thread's call runs while the holder waits for the user.
    const camera::SuspendedTurn away(turn);
    while (!otherIn.load()) std::this_thread::yield();
  }
  other.join();
  turn.unlock();
  turn.unlock();
  // Given back as deep as it was held: free again only after both unlocks.
  std::thread last([&] { std::lock_guard guard(turn); });
  last.join();
}

}  // namespace
}  // namespace zelcnv
