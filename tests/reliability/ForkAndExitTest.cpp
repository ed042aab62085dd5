// SPDX-License-Identifier: LGPL-2.1-or-later
// fork() and exit() while other threads are inside the library.
//
// A child forked while another thread held the manager's mutex used to
// inherit it held by a thread that does not exist in the child, and its
// first call aborted. exit() runs the destructors of a library's globals
// while other threads may still be inside a call, which must not meet a
// destroyed mutex or table. Each run is a child process; a crash, an abort
// or a hang shows as a child that did not exit by itself with 0.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "SimMachine.h"

namespace systest {
namespace {

constexpr int kForks = 40;
constexpr int kExitRuns = 400;
constexpr int kExitThreads = 3;

class ForkAndExit : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    load(cardAndControllerSystem());
  }
};

// One pass over a fresh list through every function; false on any answer
// other than the usual one.
bool useTheLibrary() {
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  if (nQVPXIFINDER100_openList(&l_Count, &l_pList) != 0 || l_Count != 2) return false;
  bool l_Ok = true;
  for (uint32_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    void* l_pItem = nullptr;
    uint32_t l_Class = 0;
    const char* l_pText = nullptr;
    l_Ok = l_Ok && nQVPXIFINDER100_getNthItem(l_pList, l_Index, &l_pItem) == 0 &&
           nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_DEVICE_CLASS, &l_Class) == 0 &&
           nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_SLOT_PATH, &l_pText) == 0;
    if (!l_Ok) break;
    if (l_Class == QVZEL_DEVICE_CLASS_UPSTREAM) {
      l_Ok = nQVPXIKTFINDER100_openDevice(l_pItem) == 0;
      nQVPXIKTFINDER100_closeDevice(l_pItem);
    } else {
      const uint8_t* l_pMap = nullptr;
      l_Ok = nQVPXIFINDER100_getControllerIDSELMap(l_pItem, &l_pMap) == 0;
    }
  }
  nQVPXIFINDER100_closeList(l_pList);
  return l_Ok;
}

// The child's verdict on its copy of a list its parent opened: the parent's
// handles name the same devices, and closing the list there closes it.
bool inheritedListWorks(void* a_pList) {
  void* l_pItem = nullptr;
  const char* l_pModel = nullptr;
  if (nQVPXIFINDER100_getNthItem(a_pList, 0, &l_pItem) != 0 ||
      nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_MODEL_NAME, &l_pModel) != 0 ||
      l_pModel == nullptr) {
    return false;
  }
  nQVPXIFINDER100_closeList(a_pList);
  return nQVPXIFINDER100_getNthItem(a_pList, 0, &l_pItem) == QVZEL_ERR_INVALID_PARAMETER;
}

TEST_F(ForkAndExit, ChildrenForkedDuringCallsOfAnotherThreadCanCallTheLibrary) {
  cList l_Kept;
  ASSERT_EQ(l_Kept.code(), 0);
  ASSERT_EQ(l_Kept.count(), 2u);
  std::atomic<bool> l_Stop{false};
  std::atomic<int> l_Rounds{0};
  std::thread l_Busy([&] {
    while (!l_Stop) {
      useTheLibrary();
      ++l_Rounds;
    }
  });
  while (l_Rounds == 0) std::this_thread::yield();

  int l_Failed = 0;
  int l_FirstStatus = 0;
  for (int l_Fork = 0; l_Fork < kForks; ++l_Fork) {
    usleep(static_cast<useconds_t>(200 * (l_Fork % 7)));
    const pid_t l_Child = fork();
    ASSERT_NE(-1, l_Child);
    if (l_Child == 0) {
      alarm(10);
      const bool l_Ok = useTheLibrary() && inheritedListWorks(l_Kept.handle()) && useTheLibrary();
      _exit(l_Ok ? 0 : 3);
    }
    int l_Status = 0;
    ASSERT_EQ(l_Child, waitpid(l_Child, &l_Status, 0));
    if (!WIFEXITED(l_Status) || WEXITSTATUS(l_Status) != 0) {
      if (l_Failed++ == 0) l_FirstStatus = l_Status;
    }
  }
  l_Stop = true;
  l_Busy.join();
  EXPECT_EQ(0, l_Failed) << "of " << kForks << " children; first wait status " << l_FirstStatus;
  // The parent's own list is untouched by what its children did.
  EXPECT_EQ(text(l_Kept.item(0), QVZEL_ATTR_MODEL_NAME).empty(), false);
  EXPECT_TRUE(useTheLibrary());
}

// Lists, attribute reads and device sessions without end.
void callForever(std::atomic<int>* a_pStarted) {
  ++*a_pStarted;
  for (;;) useTheLibrary();
}

TEST_F(ForkAndExit, ExitWhileOtherThreadsCallTheLibrary) {
  int l_Failed = 0;
  int l_FirstStatus = 0;
  for (int l_Run = 0; l_Run < kExitRuns; ++l_Run) {
    const pid_t l_Child = fork();
    ASSERT_NE(-1, l_Child);
    if (l_Child == 0) {
      alarm(10);
      std::atomic<int> l_Started{0};
      for (int l_Thread = 0; l_Thread < kExitThreads; ++l_Thread) {
        std::thread(callForever, &l_Started).detach();
      }
      while (l_Started < kExitThreads) std::this_thread::yield();
      usleep(static_cast<useconds_t>(300 + 200 * (l_Run % 10)));
      std::exit(0);
    }
    int l_Status = 0;
    ASSERT_EQ(l_Child, waitpid(l_Child, &l_Status, 0));
    if (!WIFEXITED(l_Status) || WEXITSTATUS(l_Status) != 0) {
      if (l_Failed++ == 0) l_FirstStatus = l_Status;
    }
  }
  EXPECT_EQ(0, l_Failed) << "of " << kExitRuns << " runs; first wait status " << l_FirstStatus;
}

}  // namespace
}  // namespace systest
