// SPDX-License-Identifier: LGPL-2.1-or-later
// Look-ups of the simulated PCI bridge library on a larger tree: parents
// named before or after their children, and every bridge found again by its
// own slot path (the library keeps indexes for both).
#include <gtest/gtest.h>

#include <string>

#include "SimPciBridge.h"
#include "config/cSlotPath.h"
#include "pcibridge/cPciBrdDynLib.h"
#include "qvpcibrd.h"
#include "status/StatusCodes.h"

using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdDynLib;

namespace {

// Two root buses, each with three root ports holding three bridges each,
// each of those holding two. Children are written before their parents.
std::string threeLevelTree() {
  std::string l_Leaves, l_Middle, l_Roots;
  int l_Bus = 1;
  for (int l_Root = 0; l_Root < 6; ++l_Root) {
    const std::string l_RootName = "r" + std::to_string(l_Root);
    const int l_RootSecondary = l_Bus++;
    l_Roots += "[bridge " + l_RootName + "]\nbus = " + (l_Root < 3 ? "0" : "0x80") +
               "\ndevice = " + std::to_string(l_Root % 3 + 1) +
               "\nfunction = 0\nsecondary = " + std::to_string(l_RootSecondary) + "\n";
    for (int l_Mid = 0; l_Mid < 3; ++l_Mid) {
      const std::string l_MidName = l_RootName + "m" + std::to_string(l_Mid);
      const int l_MidSecondary = l_Bus++;
      l_Middle += "[bridge " + l_MidName + "]\nparent = " + l_RootName +
                  "\ndevice = " + std::to_string(l_Mid) +
                  "\nfunction = 0\nsecondary = " + std::to_string(l_MidSecondary) + "\n";
      for (int l_Leaf = 0; l_Leaf < 2; ++l_Leaf) {
        l_Leaves += "[bridge " + l_MidName + "l" + std::to_string(l_Leaf) +
                    "]\nparent = " + l_MidName +
                    "\ndevice = 0\nfunction = " + std::to_string(l_Leaf) + "\n";
      }
    }
  }
  return l_Leaves + l_Middle + l_Roots;
}

}  // namespace

TEST(SimLookup, EveryBridgeIsFoundByItsOwnSlotPath) {
  qvztest::cSimSystem l_System(threeLevelTree());
  JsonStatus l_Status;
  cPciBrdDynLib l_Lib(l_Status);
  int32_t l_Session = -1;
  ASSERT_EQ(0, l_Lib.OpenSession(0, &l_Session));

  constexpr uint32_t kBridges = 6 * (1 + 3 + 3 * 2);
  uint32_t l_Found = 0;
  // References are opaque but dense from the first one the library answers.
  uint32_t l_First = 0;
  ASSERT_EQ(0, l_Lib.FindBridgeByAddress(l_Session, 1, 0, 0, &l_First));
  for (uint32_t l_Ref = l_First - 0x100; l_Ref < l_First + 0x100; ++l_Ref) {
    uint8_t l_Bus = 0;
    if (l_Lib.GetBridgeAddress(l_Session, l_Ref, &l_Bus, nullptr, nullptr) != 0) continue;
    cSlotPath l_Path;
    ASSERT_EQ(0, l_Lib.GetBridgeSlotPath(l_Session, l_Ref, l_Path));
    uint32_t l_Back = 0;
    ASSERT_EQ(0, l_Lib.FindBridgeBySlotPath(l_Session, l_Path, &l_Back));
    EXPECT_EQ(l_Ref, l_Back);
    ++l_Found;
  }
  EXPECT_EQ(kBridges, l_Found);

  // A path one level below a leaf names no bridge.
  Status l_PathStatus;
  cSlotPath l_Below;
  l_Below.SetFromText("MR00:00,00,00,08", l_PathStatus);
  ASSERT_EQ(l_PathStatus.code, qvstatus::kSuccess);
  uint32_t l_None = 0;
  EXPECT_EQ(QVPCIBRD_ERR_NOT_FOUND, l_Lib.FindBridgeBySlotPath(l_Session, l_Below, &l_None));
  l_Lib.CloseSession(l_Session);
}
