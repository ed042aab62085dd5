// SPDX-License-Identifier: LGPL-2.1-or-later
// The sysfs backend as the library sees it: through the core's bridge
// wrapper and slot paths, taking the steps discovery takes for a four-port
// upstream card and a chassis controller on the recorded PXI host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SysfsSupport.h"
#include "config/cSlotPath.h"
#include "pcibridge/cPciBrdWrapper_sc.h"
#include "status/Status.h"
#include "status/StatusCodes.h"

using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::nQvPciBrdWrapper_15_0::cPciBrdWrapper_sc;
using qvztest::cSysfsRoot;
using qvztest::treeRoot;

namespace {

std::string textOf(const cSlotPath& a_rPath) {
  Status l_Status;
  std::string l_Text;
  a_rPath.GetText(l_Text, l_Status);
  EXPECT_EQ(0, l_Status.code);
  return l_Text;
}

class LibraryView : public ::testing::Test {
 protected:
  LibraryView() : m_Env(treeRoot("pxi")), m_Wrapper(m_Status) {}
  void SetUp() override {
    ASSERT_EQ(0, m_Status.code);
    m_Wrapper.OpenSession(0, m_Status);
    ASSERT_EQ(0, m_Status.code);
  }

  cSysfsRoot m_Env;
  JsonStatus m_Status;
  cPciBrdWrapper_sc m_Wrapper;
};

TEST_F(LibraryView, FourPortCardFromItsOwnFunction) {
  // The card's function 09:00.0 is found through the driver; its slot path
  // is the bridge above its bus plus its own device and function.
  uint32_t l_Above = 0;
  m_Wrapper.FindParentBridgeForBus(9, l_Above, m_Status);
  cSlotPath l_Card;
  m_Wrapper.GetBridgeSlotPath(l_Above, l_Card, m_Status);
  Status l_Status;
  l_Card.PushDeviceFunction(0, 0, l_Status);
  ASSERT_EQ(0, m_Status.code);
  EXPECT_EQ("MR00:00,20,00,E0", textOf(l_Card));

  // Its four link ports, as the model's patterns name them. Ports 3 and 4
  // are not cabled, but each is an x4 port and so takes one port name.
  const char* const l_Patterns[] = {"-,-,d0f0", "-,-,d1f0", "-,-,d2f0", "-,-,d3f0"};
  const uint32_t l_Ports[] = {1, 2, 3, 4}, l_Widths[] = {4, 4, 4, 4}, l_Speeds[] = {1, 2, 1, 1};
  for (int l_Index = 0; l_Index < 4; ++l_Index) {
    cSlotPath l_Path(l_Card);
    l_Path.ApplyRelativePath(l_Patterns[l_Index], l_Status);
    uint32_t l_Bridge = 0, l_Port = 0, l_Width = 0, l_Speed = 0;
    m_Wrapper.FindBridgeBySlotPath(l_Path, l_Bridge, m_Status);
    m_Wrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_PORT_NUMBER, l_Port, m_Status);
    m_Wrapper.OpenBridge(l_Bridge, m_Status);
    m_Wrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_LINK_WIDTH, l_Width, m_Status);
    m_Wrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_LINK_SPEED, l_Speed, m_Status);
    EXPECT_EQ(0, m_Wrapper.CloseBridge(l_Bridge));
    EXPECT_EQ(0, m_Status.code) << l_Patterns[l_Index];
    EXPECT_EQ(l_Ports[l_Index], l_Port);
    EXPECT_EQ(l_Widths[l_Index], l_Width);
    EXPECT_EQ(l_Speeds[l_Index], l_Speed);
  }
  EXPECT_EQ(0, l_Status.code);

  // The card's link status is read three levels above its bus: at the root port.
  uint32_t l_Link = l_Above;
  m_Wrapper.GetBridgeParent(l_Link, l_Link, m_Status);
  m_Wrapper.GetBridgeParent(l_Link, l_Link, m_Status);
  uint32_t l_LinkStatus = 0;
  m_Wrapper.GetAttributeU32(l_Link, QVPCIBRD_ATTR_LINK_STATUS, l_LinkStatus, m_Status);
  EXPECT_EQ(0, m_Status.code);
  EXPECT_EQ(0x43u, l_LinkStatus);
  uint8_t l_Bus = 0xFF, l_Device = 0xFF;
  m_Wrapper.GetBridgeAddress(l_Link, &l_Bus, &l_Device, nullptr, m_Status);
  EXPECT_EQ(0, l_Bus);
  EXPECT_EQ(0x1C, l_Device);
}

TEST_F(LibraryView, ChassisControllerByIdentifiers) {
  const uint16_t l_Ids[4] = {0x12D8, 0xE112, 0x1F3C, 0x4130};
  std::vector<uint32_t> l_Found;
  m_Wrapper.FindBridgesByPciIds(&l_Ids[0], &l_Ids[1], &l_Ids[2], &l_Ids[3], l_Found, m_Status);
  ASSERT_EQ(0, m_Status.code);
  ASSERT_EQ(1u, l_Found.size());
  cSlotPath l_Path;
  m_Wrapper.GetBridgeSlotPath(l_Found[0], l_Path, m_Status);
  EXPECT_EQ("MR00:00,00,00,E0", textOf(l_Path));
  EXPECT_EQ(4u, l_Path.GetDeviceFunctionCount());
  uint8_t l_Bus = 0;
  m_Wrapper.GetBridgeAddress(l_Found[0], &l_Bus, nullptr, nullptr, m_Status);
  EXPECT_EQ(4, l_Bus);
  // What a controller file would name: the same bridge by its text.
  Status l_Status;
  const cSlotPath l_FromFile("MR00:00,00,00,E0", l_Status);
  uint32_t l_Again = 0;
  m_Wrapper.FindBridgeBySlotPath(l_FromFile, l_Again, m_Status);
  EXPECT_EQ(0, m_Status.code);
  EXPECT_EQ(l_Found[0], l_Again);
}

TEST_F(LibraryView, AttributeNotServedReachesTheLibraryAsSuch) {
  uint32_t l_Bridge = 0, l_Value = 0x55;
  m_Wrapper.FindBridgeByAddress(0x80, 0, 0, l_Bridge, m_Status);
  ASSERT_EQ(0, m_Status.code);
  m_Wrapper.GetAttributeU32(l_Bridge, QVPCIBRD_ATTR_PORT_NUMBER, l_Value, m_Status);
  EXPECT_EQ(qvstatus::kPciBrdAttrNotServed, m_Status.code);
  EXPECT_EQ(0x55u, l_Value);
}

}  // namespace
