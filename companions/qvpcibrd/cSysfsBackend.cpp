#include "cSysfsBackend.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "cPcieConfig.h"
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
  const uint32_t l_Class = a_rFunction.m_Class >> 8;
  // 0x0604 PCI-to-PCI bridge, 0x0609 semi-transparent PCI-to-PCI bridge.
  return a_rFunction.m_HasClass && (l_Class == 0x0604 || l_Class == 0x0609);
}

bool isLinkFunction(const sSysfsFunction& a_rFunction) {
  if (a_rFunction.m_VendorId == kLinkVendorId) return true;
  for (const sChip& l_rChip : kLinkChips) {
    if (a_rFunction.m_VendorId == l_rChip.m_VendorId &&
        a_rFunction.m_DeviceId == l_rChip.m_DeviceId) {
      return true;
    }
  }
  return false;
}

// The link attributes, from the sysfs link files where the kernel offers
// them and otherwise from the PCI Express capability when it was readable.
void addLinkAttributes(const sSysfsFunction& a_rFunction, sBridge& a_rBridge) {
  const cPcieConfig l_Config(a_rFunction.m_Config);
  uint16_t l_LinkStatus = 0;
  const bool l_HasLinkStatus = l_Config.linkStatus(l_LinkStatus);
  bool l_HasWidth = true, l_HasSpeed = true;
  uint32_t l_Width = 0, l_Speed = 0;
  if (a_rFunction.m_HasLinkWidth) {
    l_Width = a_rFunction.m_LinkWidth;
  } else if (l_HasLinkStatus) {
    l_Width = (l_LinkStatus >> 4) & 0x3F;
  } else {
    l_HasWidth = false;
  }
  if (a_rFunction.m_HasLinkSpeed) {
    l_Speed = cPcieConfig::speedCodeFromText(a_rFunction.m_LinkSpeed);
  } else if (l_HasLinkStatus) {
    l_Speed = l_LinkStatus & 0xF;
  } else {
    l_HasSpeed = false;
  }
  if (l_HasWidth) a_rBridge.m_Attributes[QVPCIBRD_ATTR_LINK_WIDTH] = l_Width;
  if (l_HasSpeed) a_rBridge.m_Attributes[QVPCIBRD_ATTR_LINK_SPEED] = l_Speed;
  if (l_HasWidth && l_HasSpeed)
    a_rBridge.m_Attributes[QVPCIBRD_ATTR_LINK_STATUS] = l_Speed | (l_Width << 4);
  uint32_t l_LinkCapabilities = 0;
  if (l_Config.linkCapabilities(l_LinkCapabilities)) {
    a_rBridge.m_Attributes[QVPCIBRD_ATTR_PORT_NUMBER] = l_LinkCapabilities >> 24;
  }
}

}  // namespace

std::string cSysfsBackend::root() {
  const char* l_pRoot = std::getenv(kSysfsRootVariable);
  return l_pRoot && *l_pRoot ? std::string(l_pRoot) : std::string(kDefaultSysfsRoot);
}

bool cSysfsBackend::buildTree(cSysfsSnapshot& a_rSnapshot, cPciTree& a_rTree,
                              std::string& a_rError) {
  // Every function that holds another one is a bridge with that bus below it.
  std::map<std::string, uint8_t> l_BusBelow;
  for (const sSysfsFunction& l_rFunction : a_rSnapshot.m_Functions) {
    if (!l_rFunction.m_ParentName.empty()) l_BusBelow[l_rFunction.m_ParentName] = l_rFunction.m_Bus;
  }
  std::set<std::string> l_Names;
  for (sSysfsFunction& l_rFunction : a_rSnapshot.m_Functions) {
    const auto l_Below = l_BusBelow.find(l_rFunction.m_Name);
    const bool l_HasChildren = l_Below != l_BusBelow.end();
    if (!isPciToPciBridge(l_rFunction) && !l_rFunction.m_HasSecondary && !l_HasChildren &&
        !isLinkFunction(l_rFunction)) {
      continue;
    }
    cSysfsSnapshot::readDetails(l_rFunction);
    sBridge l_Bridge;
    l_Bridge.m_Name = l_rFunction.m_Name;
    l_Bridge.m_ParentName = l_rFunction.m_ParentName;
    l_Bridge.m_Bus = l_rFunction.m_Bus;
    l_Bridge.m_Device = l_rFunction.m_Device;
    l_Bridge.m_Function = l_rFunction.m_Function;
    // The children's addresses are the kernel's own word on the bus below.
    l_Bridge.m_HasSecondary = l_rFunction.m_HasSecondary || l_HasChildren;
    l_Bridge.m_Secondary = l_HasChildren ? l_Below->second : l_rFunction.m_Secondary;
    l_Bridge.m_VendorId = l_rFunction.m_VendorId;
    l_Bridge.m_DeviceId = l_rFunction.m_DeviceId;
    l_Bridge.m_SubsystemVendorId = l_rFunction.m_SubsystemVendorId;
    l_Bridge.m_SubsystemId = l_rFunction.m_SubsystemId;
    addLinkAttributes(l_rFunction, l_Bridge);
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

int32_t cSysfsBackend::readAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                                     uint32_t& a_rValue) {
  const auto& l_rAttributes = a_rTree.m_Bridges[a_Index].m_Attributes;
  const auto l_It = l_rAttributes.find(a_AttributeId);
  if (l_It == l_rAttributes.end()) return QVPCIBRD_ERR_ATTR_NOT_SERVED;
  a_rValue = l_It->second;
  return QVPCIBRD_SUCCESS;
}

int32_t cSysfsBackend::writeAttribute(cPciTree&, int, uint32_t, uint32_t) {
  return QVPCIBRD_ERR_READ_ONLY;
}

int32_t cSysfsBackend::updateEeprom(cPciTree&, int, uint32_t, uint32_t, const uint8_t*, uint32_t) {
  return QVPCIBRD_ERR_READ_ONLY;
}

}  // namespace qvpcibrd
