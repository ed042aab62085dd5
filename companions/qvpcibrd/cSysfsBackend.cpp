// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSysfsBackend.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "qvpcibrd.h"

namespace qvpcibrd {
namespace {

// The link products' own vendor: every function of it is served, whatever
// its class, so that discovery can reach their endpoints too.
constexpr uint16_t kLinkVendorId = 0x1F3C;

struct sChip {
  uint16_t m_VendorId;
  uint16_t m_DeviceId;
};
// Bridge chips the link products are built with. They are PCI-to-PCI
// bridges anyway; listing them keeps them served should one report another class.
constexpr sChip kLinkChips[] = {
    {0x104C, 0x8231}, {0x12D8, 0xE111}, {0x12D8, 0xE112}, {0x111D, 0x8088}};

bool isPciToPciBridge(const sSysfsFunction& a_rFunction) {
  const uint32_t l_Class = a_rFunction.m_Identity.m_Class >> 8;
  // 0x0604 PCI-to-PCI bridge, 0x0609 semi-transparent PCI-to-PCI bridge.
  return a_rFunction.m_HasClass && (l_Class == 0x0604 || l_Class == 0x0609);
}

bool isChipVendor(uint16_t a_VendorId) {
  for (const sChip& l_rChip : kLinkChips) {
    if (a_VendorId == l_rChip.m_VendorId) return true;
  }
  return false;
}

bool isLinkFunction(const sSysfsFunction& a_rFunction) {
  if (a_rFunction.m_Identity.m_VendorId == kLinkVendorId) return true;
  for (const sChip& l_rChip : kLinkChips) {
    if (a_rFunction.m_Identity.m_VendorId == l_rChip.m_VendorId &&
        a_rFunction.m_Identity.m_DeviceId == l_rChip.m_DeviceId) {
      return true;
    }
  }
  return false;
}

// Whether the session serves the function. The class and the place in the
// tree decide for bridges; the identifier files are read for the rest only,
// and the device identifier only for the chips' vendors.
bool isServed(sSysfsFunction& a_rFunction) {
  if (isPciToPciBridge(a_rFunction) || a_rFunction.m_HasBusEntry || a_rFunction.m_HasChildren) {
    return true;
  }
  cSysfsSnapshot::readVendorId(a_rFunction);
  if (a_rFunction.m_Identity.m_VendorId == kLinkVendorId) return true;
  if (!isChipVendor(a_rFunction.m_Identity.m_VendorId)) return false;
  cSysfsSnapshot::readIds(a_rFunction);
  return isLinkFunction(a_rFunction);
}

// A bridge's secondary bus is its own: its bus entry, else (for functions of
// the bridge class, base class 0x06) its secondary_bus_number or
// configuration space. Only a function that shows none of them (one of
// another class that holds a bridge) takes the lowest bus of the functions
// in its directory; never the highest, which may be a virtual bus of SR-IOV
// functions beside the physical one.
void setSecondaryBus(const sSysfsFunction& a_rFunction, sBridge& a_rBridge) {
  const bool l_BridgeClass =
      !a_rFunction.m_HasClass || (a_rFunction.m_Identity.m_Class >> 16) == 0x06;
  uint8_t l_Bus = a_rFunction.m_BusEntry;
  bool l_Has = a_rFunction.m_HasBusEntry ||
               (l_BridgeClass && cSysfsSnapshot::readSecondaryBus(a_rFunction, l_Bus));
  // A secondary bus lies above the bridge's own bus; anything else (0 on an
  // unconfigured hot-plug bridge, say) names no bus, unless functions sit below.
  if ((!l_Has || l_Bus <= a_rFunction.m_Bus) && a_rFunction.m_HasChildren) {
    l_Has = true;
    l_Bus = a_rFunction.m_LowestChildBus;
  }
  a_rBridge.m_HasSecondary = l_Has && l_Bus > a_rFunction.m_Bus;
  a_rBridge.m_Secondary = a_rBridge.m_HasSecondary ? l_Bus : 0;
}

}  // namespace

std::string cSysfsBackend::root() {
  const char* l_pRoot = std::getenv(kSysfsRootVariable);
  return l_pRoot && *l_pRoot ? std::string(l_pRoot) : std::string(kDefaultSysfsRoot);
}

bool cSysfsBackend::buildTree(cSysfsSnapshot& a_rSnapshot, cPciTree& a_rTree,
                              std::string& a_rError) {
  m_Links.clear();
  std::set<std::string> l_Names;
  for (sSysfsFunction& l_rFunction : a_rSnapshot.m_Functions) {
    if (!isServed(l_rFunction)) continue;
    cSysfsSnapshot::readIds(l_rFunction);
    sBridge l_Bridge;
    l_Bridge.m_Name = l_rFunction.m_Name;
    l_Bridge.m_ParentName = l_rFunction.m_ParentName;
    l_Bridge.m_Bus = l_rFunction.m_Bus;
    l_Bridge.m_Device = l_rFunction.m_Device;
    l_Bridge.m_Function = l_rFunction.m_Function;
    setSecondaryBus(l_rFunction, l_Bridge);
    const sPciIdentity& l_rIds = l_rFunction.m_Identity;
    l_Bridge.m_VendorId = l_rIds.m_VendorId;
    l_Bridge.m_DeviceId = l_rIds.m_DeviceId;
    l_Bridge.m_SubsystemVendorId = l_rIds.m_SubsystemVendorId;
    l_Bridge.m_SubsystemId = l_rIds.m_SubsystemId;
    m_Links.emplace_back(l_rFunction.m_Dir);
    l_Names.insert(l_Bridge.m_Name);
    a_rTree.m_Bridges.push_back(l_Bridge);
  }
  // Every parent holds a function and so is in the tree; anything else
  // (a parent outside domain 0) leaves the function on a root bus.
  for (sBridge& l_rBridge : a_rTree.m_Bridges) {
    if (!l_rBridge.m_ParentName.empty() && !l_Names.count(l_rBridge.m_ParentName)) {
      l_rBridge.m_ParentName.clear();
    }
  }
  a_rTree.m_RootBuses = a_rSnapshot.m_RootBuses;
  return a_rTree.finish(a_rError);
}

int32_t cSysfsBackend::loadTree(cPciTree& a_rTree) {
  const std::string l_Root = root();
  cSysfsSnapshot l_Snapshot;
  std::string l_Error;
  if (!l_Snapshot.read(l_Root, l_Error) || !buildTree(l_Snapshot, a_rTree, l_Error)) {
    std::fprintf(stderr, "qvpcibrd: %s\n", l_Error.c_str());
    return QVPCIBRD_ERR_SYSTEM_DESCRIPTION;
  }
  return QVPCIBRD_SUCCESS;
}

int32_t cSysfsBackend::readAttribute(cPciTree&, int a_Index, uint32_t a_AttributeId,
                                     uint32_t& a_rValue) {
  if (a_Index < 0 || static_cast<size_t>(a_Index) >= m_Links.size()) {
    return QVPCIBRD_ERR_ATTR_NOT_SERVED;
  }
  cSysfsLink& l_rLink = m_Links[a_Index];
  uint32_t l_Value = 0;
  const bool l_Read = a_AttributeId == QVPCIBRD_ATTR_PORT_NUMBER
                          ? l_rLink.portNumber(l_Value)
                          : readLinkAttribute(l_rLink, a_AttributeId, l_Value);
  if (!l_Read) return QVPCIBRD_ERR_ATTR_NOT_SERVED;
  a_rValue = l_Value;
  return QVPCIBRD_SUCCESS;
}

int32_t cSysfsBackend::writeAttribute(cPciTree&, int, uint32_t, uint32_t) {
  return QVPCIBRD_ERR_READ_ONLY;
}

int32_t cSysfsBackend::updateEeprom(cPciTree&, int, uint32_t, uint32_t, const uint8_t*, uint32_t) {
  return QVPCIBRD_ERR_READ_ONLY;
}

}  // namespace qvpcibrd
