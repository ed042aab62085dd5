// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "FakeBridgeWrapper.h"
#include "device/sModelEntry.h"
#include "finder/PortList.h"
#include "qvpcibrd.h"
#include "status/StatusCodes.h"

namespace discoverytest {
namespace {

using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::buildPortList;
using nQVZEL_15_0::g_ModelTable;
using nQVZEL_15_0::sCommonDeviceInfo;
using nQVZEL_15_0::sModelEntry;
using nQVZEL_15_0::tPortList;

const sModelEntry& row(const char* a_pModel) {
  for (const sModelEntry& l_rRow : g_ModelTable) {
    if (l_rRow.m_ModelName != nullptr && std::strcmp(l_rRow.m_ModelName, a_pModel) == 0) {
      return l_rRow;
    }
  }
  throw std::runtime_error(a_pModel);
}

// A device with one slot path per port bridge: MR00:00,E0, MR00:08,E0, ...
// and bridges 100, 101, ... at them, each with its attribute QVPCIBRD_ATTR_PORT_NUMBER and
// speed; widths as given (a negative width is not served).
class PortList : public ::testing::Test {
 protected:
  void addPorts(const std::vector<int64_t>& a_rWidths) {
    for (size_t l_Index = 0; l_Index < a_rWidths.size(); ++l_Index) {
      char l_Path[32];
      std::snprintf(l_Path, sizeof(l_Path), "MR00:%02X,E0", static_cast<unsigned>(l_Index << 3));
      const uint32_t l_Bridge = 100 + static_cast<uint32_t>(l_Index);
      Status l_Status;
      m_Info.m_SlotPaths.push_back(cSlotPath(l_Path, l_Status));
      m_Wrapper.m_BridgesByPath[l_Path] = l_Bridge;
      m_Wrapper.m_Attributes[{l_Bridge, QVPCIBRD_ATTR_PORT_NUMBER}] =
          static_cast<uint32_t>(l_Index + 1);
      m_Wrapper.m_Attributes[{l_Bridge, QVPCIBRD_ATTR_LINK_SPEED}] = 3;
      if (a_rWidths[l_Index] >= 0) {
        m_Wrapper.m_Attributes[{l_Bridge, QVPCIBRD_ATTR_LINK_WIDTH}] =
            static_cast<uint32_t>(a_rWidths[l_Index]);
      }
    }
  }

  tPortList build(const char* a_pModel) {
    return buildPortList(m_Info, row(a_pModel), m_Wrapper, m_Status);
  }

  sCommonDeviceInfo m_Info;
  cFakeBridgeWrapper m_Wrapper;
  Status m_Status;
};

TEST_F(PortList, EachBridgeIsReadWithFiveCallsInOrder) {
  addPorts({4, 4, 4, 4});
  const tPortList l_Ports = build("QV PXIe-6550");
  EXPECT_EQ(m_Status.code, 0);
  ASSERT_EQ(l_Ports.size(), 4u);
  for (uint32_t l_Index = 0; l_Index < 4; ++l_Index) {
    EXPECT_EQ(l_Ports[l_Index].m_Name, std::to_string(l_Index + 1));
    EXPECT_EQ(l_Ports[l_Index].m_BridgeAttr300, l_Index + 1);
    EXPECT_EQ(l_Ports[l_Index].m_BridgeAttrB00, 4u);
    EXPECT_EQ(l_Ports[l_Index].m_BridgeAttrC00, 3u);
  }
  const std::vector<std::string> l_FirstBridge(m_Wrapper.m_Calls.begin() + 4,
                                               m_Wrapper.m_Calls.begin() + 9);
  EXPECT_EQ(l_FirstBridge,
            (std::vector<std::string>{"GetAttributeU32 100 0x20000300", "OpenBridge 100",
                                      "GetAttributeU32 100 0x20000B00",
                                      "GetAttributeU32 100 0x20000C00", "CloseBridge 100"}));
}

TEST_F(PortList, AnUnservedAttributeEndsTheListButStillClosesTheBridge) {
  addPorts({4, -1, 4, 4});
  const tPortList l_Ports = build("QV PXIe-6550");
  EXPECT_EQ(m_Status.code, 0);
  ASSERT_EQ(l_Ports.size(), 1u);
  EXPECT_EQ(m_Wrapper.m_Calls.back(), "CloseBridge 101");
  EXPECT_EQ(std::count(m_Wrapper.m_Calls.begin(), m_Wrapper.m_Calls.end(),
                       "GetAttributeU32 101 0x20000C00"),
            0);
}

TEST_F(PortList, AnotherFailureKeepsItsCodeAndTheRecord) {
  addPorts({4, 4, 4, 4});
  m_Wrapper.m_AttributeFailures[{101, QVPCIBRD_ATTR_LINK_WIDTH}] = qvstatus::kIoError;
  const tPortList l_Ports = build("QV PXIe-6550");
  EXPECT_EQ(m_Status.code, qvstatus::kIoError);
  EXPECT_EQ(l_Ports.size(), 4u);
}

TEST_F(PortList, AHugeWidthIsAnOverflowAndIsCountedAtOnce) {
  addPorts({0xFFFFFFFF});
  const tPortList l_Ports = build("QV PXIe-6550");
  EXPECT_EQ(m_Status.code, qvstatus::kOverflow);
  EXPECT_EQ(l_Ports.size(), 1u);
}

TEST_F(PortList, ABridgeNarrowerThanAPortTakesNoName) {
  addPorts({2, 16});
  const tPortList l_Ports = build("QV PXIe-6550");
  EXPECT_EQ(m_Status.code, 0);
  ASSERT_EQ(l_Ports.size(), 2u);
  EXPECT_EQ(l_Ports[0].m_Name, "1");
  EXPECT_EQ(l_Ports[1].m_Name, "1");
}

TEST_F(PortList, AMissingBridgeFailsBeforeAnyAttributeIsRead) {
  addPorts({4, 4});
  m_Wrapper.m_BridgesByPath.erase("MR00:08,E0");
  EXPECT_TRUE(build("QV PXIe-6550").empty());
  EXPECT_EQ(m_Status.code, qvstatus::kNotFound);
  EXPECT_EQ(m_Wrapper.m_Calls.size(), 2u);
}

TEST_F(PortList, ASinglePortRowReadsOnlyTheFirstBridgesNumber) {
  addPorts({8});
  const tPortList l_Ports = build("QV PXIe-6510");
  EXPECT_EQ(m_Status.code, 0);
  ASSERT_EQ(l_Ports.size(), 1u);
  EXPECT_EQ(l_Ports[0].m_Name, "1");
  EXPECT_EQ(l_Ports[0].m_BridgeAttr300, 1u);
  EXPECT_EQ(l_Ports[0].m_BridgeAttrB00, 0u);
  EXPECT_EQ(l_Ports[0].m_BridgeAttrC00, 0u);
  EXPECT_EQ(m_Wrapper.m_Calls.back(), "GetAttributeU32 100 0x20000300");
}

TEST_F(PortList, ASinglePortRowKeepsItsPortWhenTheNumberIsNotServed) {
  addPorts({8});
  m_Wrapper.m_Attributes.erase({100, QVPCIBRD_ATTR_PORT_NUMBER});
  const tPortList l_Ports = build("QV PXIe-6510");
  EXPECT_EQ(m_Status.code, 0);
  ASSERT_EQ(l_Ports.size(), 1u);
  EXPECT_FALSE(l_Ports[0].m_BridgeAttr300Served);
}

}  // namespace
}  // namespace discoverytest
