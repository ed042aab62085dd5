// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cstring>

#include "device/iZelDevice.h"
#include "qvzelif.h"

using namespace nQVZEL_15_0;
using nQvPxiDriverTools_1_0::cSlotPath;

namespace {

boost::shared_ptr<sCommonDeviceInfo> makeInfo(const char* a_pSlotPath, uint8_t a_Bus = 0x12,
                                              uint8_t a_Device = 3, uint8_t a_Function = 5) {
  boost::shared_ptr<sCommonDeviceInfo> l_Info = boost::make_shared<sCommonDeviceInfo>();
  l_Info->m_Bus = a_Bus;
  l_Info->m_Device = a_Device;
  l_Info->m_Function = a_Function;
  Status l_Status;
  l_Info->m_SlotPaths.push_back(cSlotPath(a_pSlotPath, l_Status));
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess);
  return l_Info;
}

uint32_t u32(iZelDevice& a_rDevice, uint32_t a_Id) {
  Status l_Status;
  uint32_t l_Value = 0xDEADBEEF;
  a_rDevice.getU32Attribute(a_Id, &l_Value, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess) << std::hex << a_Id;
  return l_Value;
}

const char* text(iZelDevice& a_rDevice, uint32_t a_Id) {
  Status l_Status;
  const char* l_pValue = nullptr;
  a_rDevice.getStringAttribute(a_Id, &l_pValue, l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kSuccess) << std::hex << a_Id;
  return l_pValue;
}

}  // namespace

TEST(AttributeIdRule, SplitsIndexOnlyWhenBits12To15AreSet) {
  struct sCase {
    uint32_t m_Id, m_Base, m_Index;
  };
  const sCase l_Cases[] = {
      {0xF000F023u, 0xF000F020u, 3}, {0x1F02Au, 0x1F020u, 10},       {0x10001u, 0x10001u, 0},
      {0xF000F830u, 0xF000F830u, 0}, {0xF00Fu, 0xF000u, 15},         {0x1E00Fu, 0x1E00Fu, 0},
      {0x0000000Fu, 0x0000000Fu, 0}, {0xFFFFFFFFu, 0xFFFFFFF0u, 15},
  };
  for (const sCase& l_rCase : l_Cases) {
    uint32_t l_Base = 0;
    uint32_t l_Index = 99;
    iZelDevice::splitAttributeId(l_rCase.m_Id, &l_Base, &l_Index);
    EXPECT_EQ(l_Base, l_rCase.m_Base) << std::hex << l_rCase.m_Id;
    EXPECT_EQ(l_Index, l_rCase.m_Index) << std::hex << l_rCase.m_Id;
  }
}

TEST(ZelDevice, CommonU32AttributesAndIndexedIdentifiers) {
  Status l_Status;
  iZelDevice l_Device(&g_ModelTable[0], makeInfo("MR00:00,E0"), l_Status);
  ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
  // Row 0 has subsystem IDs, so those are reported.
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_VENDOR_ID), 0x1F3Cu);
  EXPECT_EQ(u32(l_Device, 0x1F025), 0x1F3Cu);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PRODUCT_ID), 0x5A21u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PCI_BUS), 0x12u);
  EXPECT_EQ(u32(l_Device, 0xF000F012), 0x12u);
  EXPECT_EQ(u32(l_Device, 0xF000F01F), 0x12u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PCI_DEVICE), 3u);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PCI_FUNCTION + 7), 5u);

  // Row 6 has no subsystem IDs: the plain IDs are reported.
  iZelDevice l_Plain(&g_ModelTable[6], makeInfo("MR00:00,E0"), l_Status);
  EXPECT_EQ(u32(l_Plain, QVZEL_ATTR_VENDOR_ID), 0x1F3Cu);
  EXPECT_EQ(u32(l_Plain, QVZEL_ATTR_PRODUCT_ID), 0x5A04u);

  iZelDevice l_NoRow(nullptr, makeInfo("MR00:00,E0"), l_Status);
  EXPECT_EQ(u32(l_NoRow, QVZEL_ATTR_VENDOR_ID), 0u);
  EXPECT_EQ(u32(l_NoRow, QVZEL_ATTR_PRODUCT_ID), 0u);
}

TEST(ZelDevice, CommonStringAttributes) {
  Status l_Status;
  iZelDevice l_Device(&g_ModelTable[13], makeInfo("0:08,E0"), l_Status);
  ASSERT_EQ(l_Status.code, qvstatus::kSuccess);
  EXPECT_STREQ(text(l_Device, QVZEL_ATTR_VENDOR_NAME), "Quovex");
  EXPECT_STREQ(text(l_Device, QVZEL_ATTR_MODEL_NAME), "QV PXIe-6550");
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_MODEL_NAME), g_ModelTable[13].m_ModelName);
  const char* l_pSlotPath = text(l_Device, QVZEL_ATTR_SLOT_PATH);
  EXPECT_STREQ(l_pSlotPath, "MR00:08,E0");
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_SLOT_PATH_2), l_pSlotPath);
  EXPECT_EQ(text(l_Device, QVZEL_ATTR_SLOT_PATH_2 + 5), l_pSlotPath);
  EXPECT_EQ(text(l_Device, 0x1F81A), l_pSlotPath);
}

TEST(ZelDevice, UnknownIdentifiersRecordInvalidParameterAndWriteNothing) {
  Status l_Status;
  iZelDevice l_Device(&g_ModelTable[0], makeInfo("MR00:00,E0"), l_Status);
  for (uint32_t l_Id : {0u, 1u, 0x10000u, 0x10001u, 0x1F010u, 0x1F040u, 0xF000F040u, 0x1F820u}) {
    Status l_U32Status;
    uint32_t l_Value = 0xDEADBEEF;
    l_Device.getU32Attribute(l_Id, &l_Value, l_U32Status);
    EXPECT_EQ(l_U32Status.code, qvstatus::kInvalidParameter) << std::hex << l_Id;
    EXPECT_EQ(l_Value, 0xDEADBEEFu);
  }
  for (uint32_t l_Id : {2u, 0x1F020u, 0xF000F810u, 0xF000F830u, 0x11u}) {
    Status l_TextStatus;
    const char* l_pValue = "untouched";
    l_Device.getStringAttribute(l_Id, &l_pValue, l_TextStatus);
    EXPECT_EQ(l_TextStatus.code, qvstatus::kInvalidParameter) << std::hex << l_Id;
    EXPECT_STREQ(l_pValue, "untouched");
  }
}

TEST(ZelDevice, FailedStatusOnEntryWritesNothing) {
  Status l_Ok;
  iZelDevice l_Device(&g_ModelTable[0], makeInfo("MR00:00,E0"), l_Ok);
  Status l_Status;
  QVZ_SET_STATUS(l_Status, qvstatus::kNotFound);
  const Status l_Before = l_Status;
  uint32_t l_Value = 0xDEADBEEF;
  const char* l_pValue = "untouched";
  l_Device.getU32Attribute(QVZEL_ATTR_PCI_BUS, &l_Value, l_Status);
  l_Device.getU32Attribute(0x12345, &l_Value, l_Status);
  l_Device.getStringAttribute(QVZEL_ATTR_VENDOR_NAME, &l_pValue, l_Status);
  EXPECT_EQ(l_Value, 0xDEADBEEFu);
  EXPECT_STREQ(l_pValue, "untouched");
  EXPECT_EQ(std::memcmp(&l_Status, &l_Before, sizeof(Status)), 0);

  // A device built under a failed status has no slot path text.
  iZelDevice l_Late(&g_ModelTable[0], makeInfo("MR00:00,E0"), l_Status);
  EXPECT_STREQ(text(l_Late, QVZEL_ATTR_SLOT_PATH), "");
}

TEST(ZelDevice, ModelNameWithoutRowIsRefusedNotRead) {
  for (const sModelEntry* l_pRow : {static_cast<const sModelEntry*>(nullptr), &g_ModelTable[14]}) {
    Status l_Status;
    iZelDevice l_Device(l_pRow, makeInfo("MR00:00,E0"), l_Status);
    const char* l_pValue = "untouched";
    l_Device.getStringAttribute(QVZEL_ATTR_MODEL_NAME, &l_pValue, l_Status);
    EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
    EXPECT_STREQ(l_pValue, "untouched");
  }
}

TEST(ZelDevice, ConstructionWithoutSlotPathIsRefused) {
  Status l_Status;
  iZelDevice l_Device(&g_ModelTable[0], boost::make_shared<sCommonDeviceInfo>(), l_Status);
  EXPECT_EQ(l_Status.code, qvstatus::kInvalidParameter);
}

TEST(ZelDevice, InterfaceInfoIsHeldAsCommonInfo) {
  boost::shared_ptr<sDeviceInterfaceIteratorInfo> l_Info =
      boost::make_shared<sDeviceInterfaceIteratorInfo>();
  l_Info->m_Bus = 7;
  l_Info->m_Entry.m_SerialNumber = "ABC123";
  Status l_Status;
  l_Info->m_SlotPaths.push_back(cSlotPath("MR02:10", l_Status));
  iZelDevice l_Device(&g_ModelTable[9], l_Info, l_Status);
  EXPECT_EQ(u32(l_Device, QVZEL_ATTR_PCI_BUS), 7u);
  EXPECT_STREQ(text(l_Device, QVZEL_ATTR_SLOT_PATH), "MR02:10");
  EXPECT_EQ(l_Device.getInfo().get(), l_Info.get());
}
