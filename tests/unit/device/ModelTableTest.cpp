// SPDX-License-Identifier: LGPL-2.1-or-later
// The model table checked by what its rows must agree with: the kernel
// driver's bindings and interface classes (include/qvzel_driver.h), the
// model names, and one another. A wrong identifier, class, kind or port
// layout in a row breaks one of these properties.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "config/cSlotPath.h"
#include "device/sModelEntry.h"
#include "qvzel_driver.h"
#include "status/StatusCodes.h"

using namespace nQVZEL_15_0;

namespace {

constexpr const char* kClassPrefix = "nQVZEL_1_0_";
constexpr const char* kUpstreamClassSuffix = "UpstreamZEL";

// What the driver binds for each interface class it publishes; a
// subsystem range of 0 to 0 means the subsystem is not matched. The
// four-port card is the only multi-port product.
struct sDriverBinding {
  uint16_t m_VendorId;
  uint16_t m_DeviceId;
  uint16_t m_SubsystemFirst;
  uint16_t m_SubsystemLast;
  uint32_t m_Ports;
};

const std::map<std::string, sDriverBinding>& driverBindings() {
  static const std::map<std::string, sDriverBinding> s_Bindings = {
      {QVZEL_CLASS_PXI4120, {QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_PXI4120, 0, 0, 1}},
      {QVZEL_CLASS_PXI4135, {QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_PXI4135, 0, 0, 1}},
      {QVZEL_CLASS_ZEL7, {QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_ZEL7, 0, 0, 1}},
      {QVZEL_CLASS_IDT_UPSTREAM,
       {QVZEL_PCI_VENDOR_IDT, QVZEL_PCI_DEVICE_IDT_UPSTREAM, 0x5A10, 0x5A13, 1}},
      {QVZEL_CLASS_CYCLONE4_UPSTREAM,
       {QVZEL_PCI_VENDOR_QV, QVZEL_PCI_DEVICE_CYCLONE4, QVZEL_PCI_SUBSYSTEM_CYCLONE4,
        QVZEL_PCI_SUBSYSTEM_CYCLONE4, 4}},
  };
  return s_Bindings;
}

// The model rows, without the terminating one.
constexpr size_t kModelRows = kModelTableRowCount - 1;

std::string traceOf(size_t a_Row) {
  const char* l_pName = g_ModelTable[a_Row].m_ModelName;
  return "row " + std::to_string(a_Row) + " (" + (l_pName ? l_pName : "null") + ")";
}

bool endsWith(const std::string& a_rText, const std::string& a_rEnd) {
  return a_rText.size() >= a_rEnd.size() &&
         a_rText.compare(a_rText.size() - a_rEnd.size(), a_rEnd.size(), a_rEnd) == 0;
}

// Letters and digits only, upper case: "QV PXI-4120" gives "QVPXI4120".
std::string squeezed(const std::string& a_rText) {
  std::string l_Out;
  for (char l_Char : a_rText) {
    if (std::isalnum(static_cast<unsigned char>(l_Char))) {
      l_Out += static_cast<char>(std::toupper(static_cast<unsigned char>(l_Char)));
    }
  }
  return l_Out;
}

// The digits after the model name's last '-' read as hex digits
// ("QV PXI-4125" gives 0x4125), or -1 when they are not four digits.
long modelNumberAsHex(const std::string& a_rName) {
  const std::string l_Tail = a_rName.substr(a_rName.rfind('-') + 1);
  if (l_Tail.size() != 4 || l_Tail.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stol(l_Tail, nullptr, 16);
}

bool isPartNumber(const std::string& a_rText) {
  if (a_rText.size() != 9 || a_rText[6] != '-') return false;
  for (size_t l_Index = 0; l_Index < a_rText.size(); ++l_Index) {
    if (l_Index != 6 && !std::isdigit(static_cast<unsigned char>(a_rText[l_Index]))) return false;
  }
  return true;
}

}  // namespace

TEST(ModelTable, FourteenModelsAndATerminatingRow) {
  ASSERT_EQ(kModelTableRowCount, 15u);
  for (size_t l_Row = 0; l_Row < kModelRows; ++l_Row) {
    SCOPED_TRACE(traceOf(l_Row));
    const sModelEntry& l_rEntry = g_ModelTable[l_Row];
    ASSERT_NE(l_rEntry.m_ModelName, nullptr);
    EXPECT_NE(l_rEntry.m_ModelName[0], '\0');
    ASSERT_NE(l_rEntry.m_PartNumber, nullptr);
  }
  // The last row is walked like the others: a PCI ID search for IDs 0 that
  // finds nothing and makes no device.
  const sModelEntry& l_rLast = g_ModelTable[kModelRows];
  EXPECT_EQ(l_rLast.m_ModelName, nullptr);
  EXPECT_EQ(l_rLast.m_PartNumber, nullptr);
  EXPECT_EQ(l_rLast.m_InterfaceName, nullptr);
  EXPECT_EQ(l_rLast.m_FindByPciIds, 1u);
  EXPECT_EQ(l_rLast.m_Kind, kModelKindController);
  EXPECT_EQ(0, l_rLast.m_VendorId | l_rLast.m_DeviceId | l_rLast.m_SubsystemVendorId |
                   l_rLast.m_SubsystemId);
  EXPECT_EQ(0u, l_rLast.m_PortCount + l_rLast.m_SlotPathPatternCount + l_rLast.m_PortWidth +
                    l_rLast.m_LinkBridgeLevel);
}

// A row is searched either by PCI IDs or through the driver's interface
// class it names, and its kind says which kind of device that is.
TEST(ModelTable, EachRowIsFoundOneWayAsItsKindSays) {
  for (size_t l_Row = 0; l_Row < kModelRows; ++l_Row) {
    SCOPED_TRACE(traceOf(l_Row));
    const sModelEntry& l_rEntry = g_ModelTable[l_Row];
    ASSERT_LE(l_rEntry.m_FindByPciIds, 1u);
    EXPECT_EQ(l_rEntry.m_FindByPciIds == 1, l_rEntry.m_InterfaceName == nullptr);
    if (l_rEntry.m_Kind == kModelKindUpstreamByPciIds) {
      EXPECT_EQ(l_rEntry.m_FindByPciIds, 1u);
    }
    if (l_rEntry.m_InterfaceName == nullptr) {
      EXPECT_NE(l_rEntry.m_Kind, kModelKindUpstreamByInterface);
      continue;
    }
    const std::string l_Class = l_rEntry.m_InterfaceName;
    ASSERT_EQ(l_Class.rfind(kClassPrefix, 0), 0u) << l_Class;
    const bool l_Upstream = endsWith(l_Class, kUpstreamClassSuffix);
    EXPECT_EQ(l_Upstream, l_rEntry.m_Kind == kModelKindUpstreamByInterface) << l_Class;
    EXPECT_LE(l_rEntry.m_Kind, kModelKindUpstreamByInterface);
    if (!l_Upstream) {
      // A controller's class is named after its model: "nQVZEL_1_0_Pxi4120"
      // for "QV PXI-4120", "nQVZEL_1_0_Zel7Device" for "PXI-ZEL-7".
      std::string l_Word = l_Class.substr(std::strlen(kClassPrefix));
      if (endsWith(l_Word, "Device")) l_Word.resize(l_Word.size() - std::strlen("Device"));
      EXPECT_TRUE(endsWith(squeezed(l_rEntry.m_ModelName), squeezed(l_Word))) << l_Class;
    }
  }
}

// Rows searched through the driver name a class the driver publishes and
// the PCI identifiers of the functions it binds for that class; every class
// has a row.
TEST(ModelTable, DriverRowsMatchWhatTheDriverBinds) {
  std::set<std::string> l_Used;
  for (size_t l_Row = 0; l_Row < kModelRows; ++l_Row) {
    const sModelEntry& l_rEntry = g_ModelTable[l_Row];
    if (l_rEntry.m_InterfaceName == nullptr) continue;
    SCOPED_TRACE(traceOf(l_Row));
    const auto l_Found = driverBindings().find(l_rEntry.m_InterfaceName);
    ASSERT_NE(l_Found, driverBindings().end()) << l_rEntry.m_InterfaceName;
    const sDriverBinding& l_rBinding = l_Found->second;
    l_Used.insert(l_Found->first);
    EXPECT_EQ(l_rEntry.m_VendorId, l_rBinding.m_VendorId);
    EXPECT_EQ(l_rEntry.m_DeviceId, l_rBinding.m_DeviceId);
    if (l_rBinding.m_SubsystemLast == 0) {
      EXPECT_EQ(0, l_rEntry.m_SubsystemVendorId | l_rEntry.m_SubsystemId);
    } else {
      EXPECT_EQ(l_rEntry.m_SubsystemVendorId, QVZEL_PCI_VENDOR_QV);
      EXPECT_GE(l_rEntry.m_SubsystemId, l_rBinding.m_SubsystemFirst);
      EXPECT_LE(l_rEntry.m_SubsystemId, l_rBinding.m_SubsystemLast);
    }
    EXPECT_EQ(l_rEntry.m_PortCount, l_rBinding.m_Ports);
  }
  EXPECT_EQ(l_Used.size(), driverBindings().size());
}

// No two rows match the same function; subsystem IDs are the maker's and
// name the model; a model appears twice only when it is found both ways.
TEST(ModelTable, IdentifiersAreUniqueAndNameTheirModels) {
  std::set<std::tuple<uint16_t, uint16_t, uint16_t, uint16_t>> l_Keys;
  std::map<std::string, size_t> l_RowOfName;
  std::map<std::pair<uint16_t, uint16_t>, uint32_t> l_KindOfChip;
  std::set<std::string> l_PartNumbers;
  for (size_t l_Row = 0; l_Row < kModelRows; ++l_Row) {
    SCOPED_TRACE(traceOf(l_Row));
    const sModelEntry& l_rEntry = g_ModelTable[l_Row];
    const std::string l_Name = l_rEntry.m_ModelName;
    EXPECT_TRUE(l_Keys
                    .emplace(l_rEntry.m_VendorId, l_rEntry.m_DeviceId, l_rEntry.m_SubsystemVendorId,
                             l_rEntry.m_SubsystemId)
                    .second);

    EXPECT_EQ(l_rEntry.m_SubsystemVendorId == 0, l_rEntry.m_SubsystemId == 0);
    if (l_rEntry.m_SubsystemVendorId == 0) {
      EXPECT_EQ(l_rEntry.m_VendorId, QVZEL_PCI_VENDOR_QV);
    } else {
      EXPECT_EQ(l_rEntry.m_SubsystemVendorId, QVZEL_PCI_VENDOR_QV);
      // The maker's own range, or the model number in hex digits.
      EXPECT_TRUE((l_rEntry.m_SubsystemId & 0xFF00) == 0x5A00 ||
                  l_rEntry.m_SubsystemId == modelNumberAsHex(l_Name))
          << std::hex << l_rEntry.m_SubsystemId;
    }
    EXPECT_EQ(l_rEntry.m_Integrated == 1, l_Name.find("Integrated") != std::string::npos);

    // Bridge chips bought in serve one kind of product each.
    if (l_rEntry.m_FindByPciIds == 1) {
      const auto l_Chip = std::make_pair(l_rEntry.m_VendorId, l_rEntry.m_DeviceId);
      const auto l_Kind = l_KindOfChip.emplace(l_Chip, l_rEntry.m_Kind);
      EXPECT_EQ(l_Kind.first->second, l_rEntry.m_Kind);
    }

    const std::string l_Part = l_rEntry.m_PartNumber;
    if (!l_Part.empty()) {
      EXPECT_TRUE(isPartNumber(l_Part)) << l_Part;
      EXPECT_TRUE(l_PartNumbers.insert(l_Part).second) << l_Part;
      EXPECT_EQ(l_rEntry.m_Kind, kModelKindUpstreamByInterface);
    }

    const auto l_Named = l_RowOfName.emplace(l_Name, l_Row);
    if (!l_Named.second) {
      // The PCI ID row of such a model matches the subsystem its function
      // has in the driver's row.
      const sModelEntry& l_rOther = g_ModelTable[l_Named.first->second];
      ASSERT_NE(l_rOther.m_FindByPciIds, l_rEntry.m_FindByPciIds);
      const sModelEntry& l_rByIds = l_rEntry.m_FindByPciIds ? l_rEntry : l_rOther;
      const sModelEntry& l_rByDriver = l_rEntry.m_FindByPciIds ? l_rOther : l_rEntry;
      EXPECT_EQ(l_rByIds.m_SubsystemId, l_rByDriver.m_DeviceId);
      EXPECT_EQ(l_rByIds.m_Kind, l_rByDriver.m_Kind);
    }
  }
}

// Port names are "1" to the port count; a multi-port row divides the link
// width among its ports and reaches each port's bridge by its own pattern;
// the live link sits above the ports; rows of one driver class share their
// layout.
TEST(ModelTable, PortsAndSlotPathPatternsAgree) {
  std::map<std::string, size_t> l_FirstRowOfClass;
  for (size_t l_Row = 0; l_Row < kModelRows; ++l_Row) {
    SCOPED_TRACE(traceOf(l_Row));
    const sModelEntry& l_rEntry = g_ModelTable[l_Row];
    ASSERT_GE(l_rEntry.m_PortCount, 1u);
    ASSERT_LE(l_rEntry.m_PortCount, kModelMaxPorts);
    ASSERT_LE(l_rEntry.m_SlotPathPatternCount, kModelMaxSlotPathPatterns);
    for (size_t l_Port = 0; l_Port < kModelMaxPorts; ++l_Port) {
      if (l_Port < l_rEntry.m_PortCount) {
        ASSERT_NE(l_rEntry.m_PortNames[l_Port], nullptr);
        EXPECT_EQ(std::to_string(l_Port + 1), l_rEntry.m_PortNames[l_Port]);
      } else {
        EXPECT_EQ(l_rEntry.m_PortNames[l_Port], nullptr);
      }
    }
    for (size_t l_Index = 0; l_Index < kModelMaxSlotPathPatterns; ++l_Index) {
      EXPECT_EQ(l_Index < l_rEntry.m_SlotPathPatternCount,
                l_rEntry.m_SlotPathPatterns[l_Index] != nullptr);
    }
    // A function found by PCI IDs is its own bridge; one found through the
    // driver reaches its bridges by patterns that apply to a deep path.
    EXPECT_EQ(l_rEntry.m_FindByPciIds == 1, l_rEntry.m_SlotPathPatternCount == 0);
    for (size_t l_Index = 0; l_Index < l_rEntry.m_SlotPathPatternCount; ++l_Index) {
      Status l_Status;
      nQvPxiDriverTools_1_0::cSlotPath l_Path("MR00:00,08,10,18,20", l_Status);
      l_Path.ApplyRelativePath(l_rEntry.m_SlotPathPatterns[l_Index], l_Status);
      EXPECT_EQ(l_Status.code, qvstatus::kSuccess) << l_rEntry.m_SlotPathPatterns[l_Index];
    }

    // An upstream device's live link is on the bridge above the bus its
    // port patterns climb to; controllers read no live link.
    if (l_rEntry.m_Kind == kModelKindUpstreamByPciIds ||
        l_rEntry.m_Kind == kModelKindUpstreamByInterface) {
      uint32_t l_Climb = 0;
      const char* l_pStep = l_rEntry.m_SlotPathPatterns[0];
      for (; l_pStep != nullptr && std::strncmp(l_pStep, "-,", 2) == 0; l_pStep += 2) ++l_Climb;
      EXPECT_EQ(l_rEntry.m_LinkBridgeLevel, l_Climb + 1);
    } else {
      EXPECT_EQ(l_rEntry.m_LinkBridgeLevel, 0u);
    }

    EXPECT_EQ(l_rEntry.m_PortWidth == 0, l_rEntry.m_PortCount == 1);
    if (l_rEntry.m_PortCount > 1) {
      ASSERT_EQ(l_rEntry.m_SlotPathPatternCount, l_rEntry.m_PortCount);
      for (size_t l_Port = 0; l_Port < l_rEntry.m_PortCount; ++l_Port) {
        EXPECT_TRUE(
            endsWith(l_rEntry.m_SlotPathPatterns[l_Port], ",d" + std::to_string(l_Port) + "f0"))
            << l_rEntry.m_SlotPathPatterns[l_Port];
      }
    }

    if (l_rEntry.m_InterfaceName == nullptr) continue;
    const auto l_First = l_FirstRowOfClass.emplace(l_rEntry.m_InterfaceName, l_Row);
    const sModelEntry& l_rFirst = g_ModelTable[l_First.first->second];
    EXPECT_EQ(l_rEntry.m_PortWidth, l_rFirst.m_PortWidth);
    EXPECT_EQ(l_rEntry.m_SlotPathPatternCount, l_rFirst.m_SlotPathPatternCount);
    for (size_t l_Index = 0; l_Index < l_rEntry.m_SlotPathPatternCount; ++l_Index) {
      EXPECT_STREQ(l_rEntry.m_SlotPathPatterns[l_Index], l_rFirst.m_SlotPathPatterns[l_Index]);
    }
  }
}

TEST(ModelTable, KindConstants) {
  EXPECT_EQ(kModelKindController, 0u);
  EXPECT_EQ(kModelKindPxi1Controller, 1u);
  EXPECT_EQ(kModelKindUpstreamByPciIds, 2u);
  EXPECT_EQ(kModelKindUpstreamByInterface, 3u);
}
