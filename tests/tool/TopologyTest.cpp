// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include "ToolTestItems.h"
#include "Topology.h"

namespace {

using namespace nQvzelTool;
using namespace nQvzelToolTest;

// A four-port card whose port bridges are 00, 08, 10 and 18 below bridge 00
// on root port E0; its first port bridge is MR00:00,00,E0.
TEST(Topology, ControllersHangBelowTheRightPort) {
  std::vector<sItemRecord> l_Items;
  l_Items.push_back(upstream(0, "MR00:00,00,E0", 4));
  l_Items.push_back(controller(1, "MR00:00,00,08,00,E0"));  // below port 2
  l_Items.push_back(controller(2, "MR00:10,00,00,00,E0"));  // below port 1
  l_Items.push_back(controller(3, "MR00:00,00,18,00,E0"));  // below port 4
  l_Items.push_back(controller(4, "MR00:00,00,20,00,E0"));  // beside the ports
  l_Items.push_back(controller(5, "MR01:00,00,08,00,E0"));  // other root bus
  l_Items.push_back(controller(6, "MR00:08,00,E0"));        // the port bridge itself
  l_Items.push_back(controller(7, "MR00:00,00,09,00,E0"));  // function 1 is no port
  attachControllers(l_Items);
  EXPECT_TRUE(l_Items[1].m_Attachment.m_Attached);
  EXPECT_EQ(l_Items[1].m_Attachment.m_UpstreamIndex, 0u);
  EXPECT_EQ(l_Items[1].m_Attachment.m_PortIndex, 1u);
  EXPECT_TRUE(l_Items[2].m_Attachment.m_Attached);
  EXPECT_EQ(l_Items[2].m_Attachment.m_PortIndex, 0u);
  EXPECT_TRUE(l_Items[3].m_Attachment.m_Attached);
  EXPECT_EQ(l_Items[3].m_Attachment.m_PortIndex, 3u);
  for (size_t l_Index : {4u, 5u, 6u, 7u}) {
    EXPECT_FALSE(l_Items[l_Index].m_Attachment.m_Attached) << "item " << l_Index;
  }
  // Port 3 has nothing below it, and says so.
  const std::vector<bool> l_Expected = {true, true, false, true};
  for (size_t l_Port = 0; l_Port < 4; ++l_Port) {
    EXPECT_EQ(l_Items[0].m_Ports[l_Port].m_ChassisFound, l_Expected[l_Port]) << "port " << l_Port;
  }
}

TEST(Topology, SinglePortCardTakesOnlyItsOwnBridge) {
  std::vector<sItemRecord> l_Items;
  l_Items.push_back(upstream(0, "MR00:20,00,E0", 1));
  l_Items.push_back(controller(1, "MR00:00,00,20,00,E0"));
  l_Items.push_back(controller(2, "MR00:00,00,28,00,E0"));  // the next device is no port
  attachControllers(l_Items);
  EXPECT_TRUE(l_Items[1].m_Attachment.m_Attached);
  EXPECT_EQ(l_Items[1].m_Attachment.m_PortIndex, 0u);
  EXPECT_FALSE(l_Items[2].m_Attachment.m_Attached);
}

// A chassis below port 1 holds a second card; a controller below that card
// belongs to it, not to the first one.
TEST(Topology, TheClosestUpstreamPortWins) {
  std::vector<sItemRecord> l_Items;
  l_Items.push_back(controller(0, "MR00:00,00,20,00,00,00,00,E0"));
  l_Items.push_back(upstream(1, "MR00:00,00,E0", 4));
  l_Items.push_back(upstream(2, "MR00:20,00,00,00,00,E0", 1));
  attachControllers(l_Items);
  ASSERT_TRUE(l_Items[0].m_Attachment.m_Attached);
  EXPECT_EQ(l_Items[0].m_Attachment.m_UpstreamIndex, 2u);
  EXPECT_EQ(l_Items[0].m_Attachment.m_PortIndex, 0u);
}

// Port bridges past the last device number of the bus do not exist; a text
// without a first code names no port.
TEST(Topology, PortPathsStayOnTheBus) {
  EXPECT_EQ(portSlotPath("MR00:E8,00,E0", 2), "MR00:F8,00,E0");
  EXPECT_EQ(portSlotPath("MR00:0A", 1), "MR00:12");
  EXPECT_EQ(portSlotPath("MR00:F8,00,E0", 1), "");
  EXPECT_EQ(portSlotPath("MR00:", 1), "");
}

}  // namespace
