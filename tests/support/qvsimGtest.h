// SPDX-License-Identifier: LGPL-2.1-or-later
// GoogleTest helper: enter the private driver tree or skip the test with the
// reason (never pass it silently). Use in a test body or in SetUp().
#pragma once

#include "qvsimSupport.h"

#include <gtest/gtest.h>

#include <string>

#define QVSIM_ENTER_OR_SKIP()                                                            \
  do {                                                                                   \
    std::string l_QvsimReason;                                                           \
    if (!::nQvDriverSim_1_0::enterPrivateDriverTree(l_QvsimReason)) {                    \
      GTEST_SKIP() << "no private /proc/driver tree on this machine: " << l_QvsimReason; \
    }                                                                                    \
  } while (0)
