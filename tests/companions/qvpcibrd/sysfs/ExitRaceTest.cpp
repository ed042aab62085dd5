// SPDX-License-Identifier: LGPL-2.1-or-later
// exit() while other threads are inside the bridge library: exit() runs the
// destructors of a library's globals, and a call still running must not
// meet a destroyed session table or lock. Each run is a child process whose
// threads keep opening sessions on the recorded PXI host and reading link
// values when its main thread calls exit(); a crash or hang shows as a
// child that did not exit by itself with 0.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "SysfsSupport.h"

using qvztest::cPciBrd;
using qvztest::cSysfsRoot;
using qvztest::treeRoot;

namespace {

constexpr int kRuns = 150;
constexpr int kThreads = 3;

// Sessions and attribute reads without end.
void callForever(cPciBrd* a_pLib, std::atomic<int>* a_pStarted) {
  ++*a_pStarted;
  for (;;) {
    tQvPciBrdSession l_Session = QVPCIBRD_NO_SESSION;
    if (a_pLib->OpenSession(0, &l_Session) != 0) continue;
    tQvPciBrdBridgeRef l_Port = 0;
    uint32_t l_Value = 0;
    if (a_pLib->FindBridgeByAddress(l_Session, 3, 0, 0, &l_Port) == 0) {
      a_pLib->GetAttributeU32(l_Session, l_Port, QVPCIBRD_ATTR_LINK_WIDTH, &l_Value);
    }
    a_pLib->CloseSession(l_Session);
  }
}

TEST(SysfsExit, ExitWhileOtherThreadsCallTheLibrary) {
  const cSysfsRoot l_Env(treeRoot("pxi"));
  int l_Failed = 0;
  for (int l_Run = 0; l_Run < kRuns; ++l_Run) {
    const pid_t l_Child = fork();
    ASSERT_NE(-1, l_Child);
    if (l_Child == 0) {
      alarm(10);
      // Never unloaded: only exit() may tear the library's state down.
      cPciBrd* l_pLib = new cPciBrd;
      if (!l_pLib->ready()) _exit(2);
      std::atomic<int> l_Started{0};
      for (int l_Thread = 0; l_Thread < kThreads; ++l_Thread) {
        std::thread(callForever, l_pLib, &l_Started).detach();
      }
      while (l_Started < kThreads) std::this_thread::yield();
      usleep(static_cast<useconds_t>(500 + 300 * (l_Run % 10)));
      std::exit(0);
    }
    int l_Status = 0;
    ASSERT_EQ(l_Child, waitpid(l_Child, &l_Status, 0));
    if (!WIFEXITED(l_Status) || WEXITSTATUS(l_Status) != 0) ++l_Failed;
  }
  EXPECT_EQ(0, l_Failed) << "of " << kRuns << " runs";
}

}  // namespace
