// The registry ring: rotation on lookup, insertion before the head, removal, and handle values.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "camera/camera.h"
#include "sdk/handle_registry.h"

namespace zelcnv::sdk {
namespace {

using Ring = CTRing<int>;

// Walks the ring both ways from the head and checks that the links agree with `count`.
std::vector<int32_t> CheckedKeys(const Ring& ring) {
  std::vector<int32_t> keys;
  const Ring::RingNode* head = ring.Head();
  if (head == nullptr) {
    EXPECT_EQ(ring.Count(), 0);
    return keys;
  }
  const Ring::RingNode* node = head;
  do {
    EXPECT_EQ(node->next->prev, node);
    EXPECT_EQ(node->prev->next, node);
    keys.push_back(node->key);
    node = node->next;
  } while (node != head && keys.size() <= 100);
  EXPECT_EQ(static_cast<int32_t>(keys.size()), ring.Count());
  return keys;
}

TEST(HandleRingTest, InsertPutsTheNewNodeAtTheHeadBeforeTheOldOne) {
  Ring ring;
  EXPECT_EQ(ring.Seek(1), 0);
  ring.Insert(1, nullptr);
  EXPECT_EQ(ring.Head()->next, ring.Head()) << "one node links to itself";
  ring.Insert(2, nullptr);
  ring.Insert(3, nullptr);
  EXPECT_EQ(CheckedKeys(ring), (std::vector<int32_t>{3, 2, 1}));
}

TEST(HandleRingTest, LookupRotatesAndReleaseKeepsTheLinksConsistent) {
  Ring ring;
  for (int key : {1, 2, 3}) ring.Insert(key, nullptr);
  ASSERT_NE(ring.FindNode(1), nullptr);
  EXPECT_EQ(ring.Head()->key, 1) << "the found node is the head";
  EXPECT_EQ(CheckedKeys(ring), (std::vector<int32_t>{1, 3, 2}));
  EXPECT_EQ(ring.Remove(1), 1);
  EXPECT_EQ(ring.Count(), 2);
  EXPECT_EQ(CheckedKeys(ring), (std::vector<int32_t>{3, 2}));
  EXPECT_EQ(ring.Remove(1), 0);
}

TEST(HandleRingTest, FailedSeekLeavesTheHeadOneStepBehindItsStart) {
  Ring ring;
  ring.Insert(7, nullptr);
  EXPECT_EQ(ring.Seek(8), 0);
  EXPECT_EQ(ring.Head()->key, 7) << "a ring of one is unchanged";
  ring.Insert(8, nullptr);
  ring.Insert(9, nullptr);  // order 9, 8, 7
  EXPECT_EQ(ring.Seek(42), 0);
  EXPECT_EQ(ring.Head()->key, 7) << "the node that was last";
  EXPECT_EQ(CheckedKeys(ring), (std::vector<int32_t>{7, 9, 8}));
  ring.Clear();
  EXPECT_EQ(ring.Head(), nullptr);
  EXPECT_EQ(ring.RemoveHead(), 0);
}

TEST(HandleRegistryTest, RuntimeGeneratorStartsFromTheDefaultSeedInEveryThread) {
  // The runtime's generator with seed 1 yields 41, 18467, 6334 first.
  int first[3] = {};
  std::thread([&] {
    for (int& value : first) value = RuntimeRand();
  }).join();
  EXPECT_EQ(first[0], 41);
  EXPECT_EQ(first[1], 18467);
  EXPECT_EQ(first[2], 6334);
}

TEST(HandleRegistryTest, HandlesAreNonZeroUniqueAndFoundUntilReleased) {
  CSdkChain chain;
  std::set<int32_t> handles;
  for (int i = 0; i < 50; ++i) {
    const int32_t handle = chain.CreateHandle();
    ASSERT_NE(handle, 0);
    EXPECT_TRUE(handles.insert(handle).second) << "duplicate handle " << handle;
  }
  for (int32_t handle : handles) EXPECT_NE(chain.Find(handle), nullptr);
  for (int32_t handle : handles) {
    ASSERT_TRUE(chain.ReleaseAndDestroy(handle, true));
    EXPECT_EQ(chain.Find(handle), nullptr);
  }
  EXPECT_EQ(chain.Count(), 0);
}

TEST(HandleRegistryTest, ConcurrentLookupsAndReleasesKeepTheRingConsistent) {
  CSdkChain chain;
  std::vector<int32_t> handles;
  for (int i = 0; i < 40; ++i) handles.push_back(chain.CreateHandle());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        for (size_t i = t; i < handles.size(); i += 4) EXPECT_NE(chain.Find(handles[i]), nullptr);
      }
      for (size_t i = t; i < handles.size(); i += 8) {
        EXPECT_TRUE(chain.ReleaseAndDestroy(handles[i], true));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(chain.Count(), 40 - 20);
  for (size_t i = 0; i < handles.size(); ++i) {
    EXPECT_EQ(chain.Find(handles[i]) != nullptr, i % 8 >= 4) << i;
    chain.ReleaseAndDestroy(handles[i], true);
  }
}

}  // namespace
}  // namespace zelcnv::sdk
