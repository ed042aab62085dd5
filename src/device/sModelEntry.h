// SPDX-License-Identifier: LGPL-2.1-or-later
// The built-in table of link products the library recognises: how discovery
// finds each one and what its device objects report.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qvzel_driver.h"

namespace nQVZEL_15_0 {

// Values of sModelEntry::m_Kind. Kinds 0 and 1 are treated alike.
constexpr uint32_t kModelKindController = 0;
constexpr uint32_t kModelKindPxi1Controller = 1;
constexpr uint32_t kModelKindUpstreamByPciIds = 2;
constexpr uint32_t kModelKindUpstreamByInterface = 3;

// The driver interface class a device session opens for every upstream link
// device, whichever class (or PCI identifiers) discovery found it through.
constexpr const char kUpstreamInterfaceClass[] = QVZEL_CLASS_CYCLONE4_UPSTREAM;

// A port's number while its bridge has given none (sPortInfo::m_BridgeAttr300).
constexpr uint32_t kNoPortNumber = 0xFFFFFFFF;

constexpr size_t kModelMaxPorts = 4;
constexpr size_t kModelMaxSlotPathPatterns = 4;

struct sModelEntry {
  const char* m_ModelName;  // null only in the terminating row
  uint32_t m_Kind;
  const char* m_PartNumber;  // "" when the product has none
  uint32_t m_Integrated;     // 1 for an integrated link controller
  // Kinds 0 and 1: 1 = search bridges by PCI IDs, 0 = search the driver's
  // device interfaces named by m_InterfaceName.
  uint32_t m_FindByPciIds;
  uint16_t m_VendorId;
  uint16_t m_DeviceId;
  uint16_t m_SubsystemVendorId;  // 0: subsystem not matched
  uint16_t m_SubsystemId;        // 0: subsystem not matched
  const char* m_InterfaceName;   // driver interface class, or null
  // Multi-port products: divisor applied to a port bridge's width attribute.
  uint32_t m_PortWidth;
  uint32_t m_PortCount;
  const char* m_PortNames[kModelMaxPorts];
  uint32_t m_SlotPathPatternCount;
  // Relative slot-path patterns that lead from the device to its bridges.
  const char* m_SlotPathPatterns[kModelMaxSlotPathPatterns];
  // Upstream kinds: the bridge whose link attributes are the device's live
  // link, counted upwards from the device (1: the bridge above its bus).
  // 0 in controller rows, which read no live link.
  uint32_t m_LinkBridgeLevel;
};

// Rows in g_ModelTable, the terminating row included; discovery walks all.
constexpr size_t kModelTableRowCount = 15;

extern const sModelEntry g_ModelTable[kModelTableRowCount];

}  // namespace nQVZEL_15_0
