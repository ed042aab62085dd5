// SPDX-License-Identifier: LGPL-2.1-or-later
// During the firmware write an interrupt must not end the tool.
#include <gtest/gtest.h>

#include <csignal>

#include "cDeferredSignals.h"

namespace {

using nQvzelTool::cDeferredSignals;

TEST(DeferredSignals, AnInterruptWaitsAndIsReported) {
  struct sigaction l_Before;
  sigaction(SIGINT, nullptr, &l_Before);
  {
    cDeferredSignals l_Signals("");
    EXPECT_EQ(l_Signals.caught(), 0);
    // Under the default action these would end the test program.
    raise(SIGTERM);
    raise(SIGINT);
    EXPECT_EQ(l_Signals.caught(), SIGTERM);
  }
  struct sigaction l_After;
  sigaction(SIGINT, nullptr, &l_After);
  EXPECT_EQ(l_After.sa_handler, l_Before.sa_handler);
  // A new deferral starts afresh.
  cDeferredSignals l_Again("");
  EXPECT_EQ(l_Again.caught(), 0);
}

}  // namespace
