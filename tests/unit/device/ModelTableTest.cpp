// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/sModelEntry.h"

using namespace nQVZEL_15_0;

namespace {

// The product table as published, typed independently of the library's copy.
// Texts that a row leaves unset are written as the marker "<null>".
struct sExpectedRow {
  const char* m_Name;
  uint32_t m_Kind;
  const char* m_PartNumber;
  uint32_t m_Integrated;
  uint32_t m_ByPciIds;
  uint16_t m_Vendor;
  uint16_t m_Device;
  uint16_t m_SubVendor;
  uint16_t m_Sub;
  const char* m_Interface;
  uint32_t m_PortWidth;
  std::vector<std::string> m_Ports;
  std::vector<std::string> m_Patterns;
};

const char* const kNull = "<null>";

// clang-format off
const std::vector<sExpectedRow> kExpected = {
    {"QV PXI-2250 Integrated ZEL Express", 1, "", 1, 1, 0x104C, 0x8231, 0x1F3C, 0x5A21, kNull, 0,
     {"1"}, {}},
    {"QV PXI-4120", 1, "", 0, 0, 0x1F3C, 0x5A02, 0, 0, "nQVZEL_1_0_Pxi4120", 0, {"1"}, {"-,f2"}},
    {"QV PXI-4120", 1, "", 0, 1, 0x104C, 0x8231, 0x1F3C, 0x5A02, kNull, 0, {"1"}, {}},
    {"QV PXI-4125", 1, "", 0, 1, 0x12D8, 0xE112, 0x1F3C, 0x4125, kNull, 0, {"1"}, {}},
    {"QV PXI-4130", 1, "", 0, 1, 0x12D8, 0xE112, 0x1F3C, 0x4130, kNull, 0, {"1"}, {}},
    {"QV PXI-4135", 1, "", 0, 0, 0x1F3C, 0x5A08, 0, 0, "nQVZEL_1_0_Pxi4135", 0, {"1"}, {"-,f2"}},
    {"PXI-ZEL-7", 0, "", 0, 0, 0x1F3C, 0x5A04, 0, 0, "nQVZEL_1_0_Zel7Device", 0, {"1"}, {"f0"}},
    {"QV PXI-4140", 2, "", 0, 1, 0x12D8, 0xE111, 0x1F3C, 0x4140, kNull, 0, {"1"}, {}},
    {"QV PXI-4145", 2, "", 0, 1, 0x12D8, 0xE111, 0x1F3C, 0x4145, kNull, 0, {"1"}, {}},
    {"QV PXIe-6510", 3, "410517-01", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A10,
     "nQVZEL_1_0_IdtUpstreamZEL", 0, {"1"}, {"f0,d4f0"}},
    {"QV PXIe-6520", 3, "410518-04", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A11,
     "nQVZEL_1_0_IdtUpstreamZEL", 0, {"1"}, {"f0,d4f0"}},
    {"QV PXIe-6530mc ZEL Mode", 3, "", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A12,
     "nQVZEL_1_0_IdtUpstreamZEL", 0, {"1"}, {"f0,d4f0"}},
    {"QV PXIe-6540", 3, "410612-01", 0, 0, 0x111D, 0x8088, 0x1F3C, 0x5A13,
     "nQVZEL_1_0_IdtUpstreamZEL", 0, {"1"}, {"f0,d4f0"}},
    {"QV PXIe-6550", 3, "410733-01", 0, 0, 0x1F3C, 0x5A30, 0x1F3C, 0x5A31,
     "nQVZEL_1_0_Cyclone4UpstreamZEL", 4, {"1", "2", "3", "4"},
     {"-,-,d0f0", "-,-,d1f0", "-,-,d2f0", "-,-,d3f0"}},
    {kNull, 0, kNull, 0, 1, 0, 0, 0, 0, kNull, 0, {}, {}},
};  // clang-format on

std::string textOf(const char* a_pText) { return a_pText == nullptr ? kNull : a_pText; }

}  // namespace

TEST(ModelTable, EveryRowMatchesThePublishedTable) {
  ASSERT_EQ(kModelTableRowCount, 15u);
  ASSERT_EQ(kExpected.size(), kModelTableRowCount);
  for (size_t l_Row = 0; l_Row < kModelTableRowCount; ++l_Row) {
    SCOPED_TRACE("row " + std::to_string(l_Row));
    const sModelEntry& l_rEntry = g_ModelTable[l_Row];
    const sExpectedRow& l_rWant = kExpected[l_Row];
    EXPECT_EQ(textOf(l_rEntry.m_ModelName), l_rWant.m_Name);
    EXPECT_EQ(l_rEntry.m_Kind, l_rWant.m_Kind);
    EXPECT_EQ(textOf(l_rEntry.m_PartNumber), l_rWant.m_PartNumber);
    EXPECT_EQ(l_rEntry.m_Integrated, l_rWant.m_Integrated);
    EXPECT_EQ(l_rEntry.m_FindByPciIds, l_rWant.m_ByPciIds);
    EXPECT_EQ(l_rEntry.m_VendorId, l_rWant.m_Vendor);
    EXPECT_EQ(l_rEntry.m_DeviceId, l_rWant.m_Device);
    EXPECT_EQ(l_rEntry.m_SubsystemVendorId, l_rWant.m_SubVendor);
    EXPECT_EQ(l_rEntry.m_SubsystemId, l_rWant.m_Sub);
    EXPECT_EQ(textOf(l_rEntry.m_InterfaceName), l_rWant.m_Interface);
    EXPECT_EQ(l_rEntry.m_PortWidth, l_rWant.m_PortWidth);

    // Valid entries carry the names; the rest of the four slots are null.
    EXPECT_EQ(l_rEntry.m_PortCount, l_rWant.m_Ports.size());
    for (size_t l_Port = 0; l_Port < kModelMaxPorts; ++l_Port) {
      EXPECT_EQ(textOf(l_rEntry.m_PortNames[l_Port]),
                l_Port < l_rWant.m_Ports.size() ? l_rWant.m_Ports[l_Port] : kNull);
    }
    EXPECT_EQ(l_rEntry.m_SlotPathPatternCount, l_rWant.m_Patterns.size());
    for (size_t l_Pattern = 0; l_Pattern < kModelMaxSlotPathPatterns; ++l_Pattern) {
      EXPECT_EQ(textOf(l_rEntry.m_SlotPathPatterns[l_Pattern]),
                l_Pattern < l_rWant.m_Patterns.size() ? l_rWant.m_Patterns[l_Pattern] : kNull);
    }
  }
}

TEST(ModelTable, KindConstants) {
  EXPECT_EQ(kModelKindController, 0u);
  EXPECT_EQ(kModelKindPxi1Controller, 1u);
  EXPECT_EQ(kModelKindUpstreamByPciIds, 2u);
  EXPECT_EQ(kModelKindUpstreamByInterface, 3u);
}
