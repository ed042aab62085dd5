// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "FakeBridgeWrapper.h"
#include "device/sModelEntry.h"
#include "finder/DeviceSearch.h"
#include "status/StatusCodes.h"

namespace discoverytest {
namespace {

using nQvPxiDriverTools_1_0::cSlotPath;
using nQVZEL_15_0::buildSlotPathList;
using nQVZEL_15_0::g_ModelTable;
using nQVZEL_15_0::sModelEntry;

const sModelEntry& row(const char* a_pModel) {
  for (const sModelEntry& l_rRow : g_ModelTable) {
    if (l_rRow.m_ModelName != nullptr && std::strcmp(l_rRow.m_ModelName, a_pModel) == 0) {
      return l_rRow;
    }
  }
  throw std::runtime_error(a_pModel);
}

std::vector<std::string> texts(const std::vector<cSlotPath>& a_rPaths) {
  std::vector<std::string> l_Texts;
  for (const cSlotPath& l_rPath : a_rPaths) {
    Status l_Status;
    std::string l_Text;
    l_rPath.GetText(l_Text, l_Status);
    l_Texts.push_back(l_Text);
  }
  return l_Texts;
}

class SlotPathList : public ::testing::Test {
 protected:
  std::vector<std::string> build(const char* a_pModel, const char* a_pDevicePath) {
    Status l_Parse;
    const cSlotPath l_Device(a_pDevicePath, l_Parse);
    return texts(buildSlotPathList(l_Device, row(a_pModel), m_Wrapper, m_Status));
  }

  cFakeBridgeWrapper m_Wrapper;
  Status m_Status;
};

TEST_F(SlotPathList, ARowWithoutPatternsKeepsTheDevicesOwnPath) {
  EXPECT_EQ(build("QV PXI-4140", "MR00:18"), (std::vector<std::string>{"MR00:18"}));
  EXPECT_TRUE(m_Wrapper.m_Calls.empty());
  EXPECT_EQ(m_Status.code, 0);
}

TEST_F(SlotPathList, OnlyPatternsThatReachABridgeAreKeptInPatternOrder) {
  m_Wrapper.m_BridgesByPath = {{"MR00:18,00,E0", 4}, {"MR00:08,00,E0", 2}};
  EXPECT_EQ(build("QV PXIe-6550", "MR00:00,00,00,E0"),
            (std::vector<std::string>{"MR00:08,00,E0", "MR00:18,00,E0"}));
  EXPECT_EQ(m_Wrapper.m_Calls.size(), 4u);
  EXPECT_EQ(m_Status.code, 0);
}

TEST_F(SlotPathList, NoBridgeReachedIsAnInvalidParameter) {
  EXPECT_TRUE(build("QV PXI-4120", "MR00:00,E0").empty());
  EXPECT_EQ(m_Wrapper.m_Calls, (std::vector<std::string>{"FindBridgeBySlotPath MR00:E2"}));
  EXPECT_EQ(m_Status.code, qvstatus::kInvalidParameter);
}

TEST_F(SlotPathList, APatternThatClimbsAboveTheRootFailsTheDevice) {
  build("QV PXIe-6550", "MR00:00");
  EXPECT_EQ(m_Status.code, qvstatus::kSlotPathSyntax);
  EXPECT_TRUE(m_Wrapper.m_Calls.empty());
}

}  // namespace
}  // namespace discoverytest
