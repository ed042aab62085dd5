// SPDX-License-Identifier: LGPL-2.1-or-later
// The manager lock tries the mutex a few times before it blocks; these tests
// hold it to what a plain lock gives: exclusion between threads, recursion
// within one, and a holder that keeps it however long it takes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "finder/ManagerLock.h"

namespace {

using nQVZEL_15_0::cManagerLock;

TEST(ManagerLock, ExcludesOtherThreadsUnderContention) {
  ASSERT_EQ(nQVZEL_15_0::managerSetupStatus().code, qvstatus::kSuccess);
  constexpr int kThreads = 8;
  constexpr int kRounds = 20000;
  // A plain counter: only the lock keeps the increments from being lost.
  long l_Counter = 0;
  std::atomic<int> l_Inside{0};
  std::atomic<bool> l_Overlap{false};
  std::vector<std::thread> l_Threads;
  for (int l_Thread = 0; l_Thread < kThreads; ++l_Thread) {
    l_Threads.emplace_back([&] {
      for (int l_Round = 0; l_Round < kRounds; ++l_Round) {
        cManagerLock l_Lock;
        if (l_Inside.fetch_add(1) != 0) l_Overlap = true;
        l_Counter = l_Counter + 1;
        l_Inside.fetch_sub(1);
      }
    });
  }
  for (auto& l_rThread : l_Threads) l_rThread.join();
  EXPECT_FALSE(l_Overlap);
  EXPECT_EQ(l_Counter, long{kThreads} * kRounds);
}

TEST(ManagerLock, IsRecursiveAndHeldUntilTheLastRelease) {
  std::atomic<bool> l_OtherGotIt{false};
  std::thread l_Other;
  {
    cManagerLock l_Outer;
    {
      cManagerLock l_Inner;  // the same thread again: must not deadlock
    }
    l_Other = std::thread([&] {
      cManagerLock l_Lock;
      l_OtherGotIt = true;
    });
    // Longer than the other thread's attempts before it blocks: it must still
    // be waiting while the outer lock is held.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(l_OtherGotIt);
  }
  l_Other.join();
  EXPECT_TRUE(l_OtherGotIt);
}

}  // namespace
