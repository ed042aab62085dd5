// SPDX-License-Identifier: LGPL-2.1-or-later
// The exported functions' argument and handle checks, exercised in-process.
#include "finder/cSessionManager.h"
#include "qvzelif.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using nQVZEL_15_0::cSessionManager;

// An address no open list ever hands out.
int g_NotAHandle = 0;
void* const kBogus = &g_NotAHandle;

TEST(Exports, NullOutputPointersAreRefusedFirst) {
  uint32_t l_Count = 77;
  void* l_pList = kBogus;
  EXPECT_EQ(nQVPXIFINDER100_openList(nullptr, &l_pList), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIFINDER100_openList(&l_Count, nullptr), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(l_Count, 77u);
  EXPECT_EQ(l_pList, kBogus);
  EXPECT_EQ(nQVPXIFINDER100_getNthItem(kBogus, 0, nullptr), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(kBogus, 0, nullptr), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIFINDER100_getStringAttribute(kBogus, 0, nullptr), QVZEL_ERR_INVALID_PARAMETER);
  EXPECT_EQ(nQVPXIFINDER100_getControllerIDSELMap(kBogus, nullptr), QVZEL_ERR_INVALID_PARAMETER);
}

TEST(Exports, UnknownHandlesGiveInvalidParameterAndWriteNothing) {
  void* l_pItem = kBogus;
  uint32_t l_Value = 5;
  const char* l_pText = "untouched";
  const uint8_t* l_pMap = reinterpret_cast<const uint8_t*>(kBogus);
  for (void* l_pHandle : {static_cast<void*>(nullptr), kBogus}) {
    EXPECT_EQ(nQVPXIFINDER100_getNthItem(l_pHandle, 0, &l_pItem), QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIFINDER100_getU32Attribute(l_pHandle, QVZEL_ATTR_PCI_BUS, &l_Value),
              QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIFINDER100_getStringAttribute(l_pHandle, QVZEL_ATTR_VENDOR_NAME, &l_pText),
              QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIFINDER100_getControllerIDSELMap(l_pHandle, &l_pMap),
              QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIKTFINDER100_openDevice(l_pHandle), QVZEL_ERR_INVALID_PARAMETER);
    EXPECT_EQ(nQVPXIKTFINDER100_updateFirmware(l_pHandle, "x", 1, 0),
              QVZEL_ERR_INVALID_PARAMETER);
  }
  EXPECT_EQ(l_pItem, kBogus);
  EXPECT_EQ(l_Value, 5u);
  EXPECT_STREQ(l_pText, "untouched");
  EXPECT_EQ(l_pMap, reinterpret_cast<const uint8_t*>(kBogus));
}

TEST(Exports, CloseFunctionsAcceptAnythingAndReturnZero) {
  EXPECT_EQ(nQVPXIFINDER100_closeList(nullptr), 0);
  EXPECT_EQ(nQVPXIFINDER100_closeList(kBogus), 0);
  EXPECT_EQ(nQVPXIFINDER100_closeList(kBogus), 0);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(nullptr), 0);
  EXPECT_EQ(nQVPXIKTFINDER100_closeDevice(kBogus), 0);
  EXPECT_EQ(cSessionManager::openListCount(), 0);
}

}  // namespace
