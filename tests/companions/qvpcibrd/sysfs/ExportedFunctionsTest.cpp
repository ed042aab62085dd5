// SPDX-License-Identifier: LGPL-2.1-or-later
// A whole list opening of the library on the recorded PXI host, through the
// exported functions: the chassis controller behind link port 1 is found by
// its identifiers, with the slot path, bus and port number the sysfs
// backend gives for its bridge.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SysfsSupport.h"
#include "qvzelif.h"

using qvztest::cSysfsRoot;
using qvztest::treeRoot;

namespace {

TEST(ExportedFunctions, ListOpeningFindsTheChassisController) {
  cSysfsRoot l_Env(treeRoot("pxi"));
  uint32_t l_Count = 0;
  void* l_pList = nullptr;
  ASSERT_EQ(0, nQVPXIFINDER100_openList(&l_Count, &l_pList));
  int l_Found = 0;
  for (uint32_t l_Index = 0; l_Index < l_Count; ++l_Index) {
    void* l_pItem = nullptr;
    ASSERT_EQ(0, nQVPXIFINDER100_getNthItem(l_pList, l_Index, &l_pItem));
    const char* l_pModel = nullptr;
    ASSERT_EQ(0, nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_MODEL_NAME, &l_pModel));
    if (std::strcmp(l_pModel, "QV PXI-4130") != 0) continue;
    ++l_Found;
    const char* l_pSlotPath = nullptr;
    EXPECT_EQ(0, nQVPXIFINDER100_getStringAttribute(l_pItem, QVZEL_ATTR_SLOT_PATH, &l_pSlotPath));
    EXPECT_STREQ("MR00:00,00,00,E0", l_pSlotPath);
    uint32_t l_Value = 0xFFFF;
    EXPECT_EQ(0,
              nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_CONTROLLER_BRIDGE_BUS, &l_Value));
    EXPECT_EQ(4u, l_Value);
    EXPECT_EQ(0, nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_PCI_DEVICE, &l_Value));
    EXPECT_EQ(0u, l_Value);
    EXPECT_EQ(0, nQVPXIFINDER100_getU32Attribute(l_pItem, QVZEL_ATTR_CONTROLLER_PORT, &l_Value));
    EXPECT_EQ(0u, l_Value) << "Link Capabilities port number of 04:00.0";
  }
  EXPECT_EQ(1, l_Found);
  nQVPXIFINDER100_closeList(l_pList);
}

}  // namespace
