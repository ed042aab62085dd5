// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSimBackend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "PortLink.h"
#include "qvpcibrd.h"
#include "systemText.h"

namespace qvpcibrd {

using nQvSimSystem_1_0::cSystemFile;
using nQvSimSystem_1_0::parseNumber;
using nQvSimSystem_1_0::sSystemEntry;
using nQvSimSystem_1_0::sSystemSection;

namespace {

// The entry point names without their QvPciBrd_ prefix.
const char* const kEntryPointNames[] = {
#define QVZ_PCIBRD_NAME(a_Name) #a_Name,
    QVPCIBRD_ENTRY_POINTS(QVZ_PCIBRD_NAME)
#undef QVZ_PCIBRD_NAME
};

}  // namespace

bool isEntryPointName(const std::string& a_rName) {
  return std::find(std::begin(kEntryPointNames), std::end(kEntryPointNames), a_rName) !=
         std::end(kEntryPointNames);
}

std::string attributeQualifier(uint32_t a_AttributeId) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof l_Text, "0x%08X", a_AttributeId);
  return l_Text;
}

const int32_t* injectedFault(const cPciTree& a_rTree, const std::string& a_rCall, int a_Index,
                             const std::string& a_rQualifier) {
  const std::string l_Qualified = a_rCall + "." + a_rQualifier;
  const std::map<std::string, int32_t>* l_Tables[2] = {
      a_Index >= 0 ? &a_rTree.m_Bridges[a_Index].m_Faults : nullptr, &a_rTree.m_Faults};
  for (const auto* l_pTable : l_Tables) {
    if (!l_pTable) continue;
    if (!a_rQualifier.empty()) {
      auto l_It = l_pTable->find(l_Qualified);
      if (l_It != l_pTable->end()) return &l_It->second;
    }
    auto l_It = l_pTable->find(a_rCall);
    if (l_It != l_pTable->end()) return &l_It->second;
  }
  return nullptr;
}

namespace {

std::string at(int a_Line) { return "line " + std::to_string(a_Line) + ": "; }

bool numberIn(const sSystemEntry& a_rEntry, int64_t a_Min, int64_t a_Max, int64_t& a_rValue,
              std::string& a_rError) {
  if (!parseNumber(a_rEntry.m_Value, a_rValue) || a_rValue < a_Min || a_rValue > a_Max) {
    a_rError = at(a_rEntry.m_Line) + a_rEntry.m_Key + ": expected a number from " +
               std::to_string(a_Min) + " to " + std::to_string(a_Max) + ", got '" +
               a_rEntry.m_Value + "'";
    return false;
  }
  return true;
}

// "fail.Call" or "fail.Call.Qualifier" into the fault table; the qualifier
// is "count", "fill" or an attribute identifier (normalised to 0x%08X).
bool addFault(const sSystemEntry& a_rEntry, std::map<std::string, int32_t>& a_rFaults,
              std::string& a_rError) {
  const std::string l_Rest = a_rEntry.m_Key.substr(5);
  const size_t l_Dot = l_Rest.find('.');
  const std::string l_Call = l_Rest.substr(0, l_Dot);
  if (!isEntryPointName(l_Call)) {
    a_rError = at(a_rEntry.m_Line) + a_rEntry.m_Key + ": unknown entry point '" + l_Call + "'";
    return false;
  }
  std::string l_Key = l_Call;
  if (l_Dot != std::string::npos) {
    const std::string l_Qualifier = l_Rest.substr(l_Dot + 1);
    int64_t l_Attribute = 0;
    if (l_Qualifier == "count" || l_Qualifier == "fill") {
      l_Key += "." + l_Qualifier;
    } else if (parseNumber(l_Qualifier, l_Attribute) && l_Attribute >= 0 &&
               l_Attribute <= 0xFFFFFFFF) {
      l_Key += "." + attributeQualifier(static_cast<uint32_t>(l_Attribute));
    } else {
      a_rError = at(a_rEntry.m_Line) + a_rEntry.m_Key +
                 ": the qualifier is 'count', 'fill' or an attribute identifier";
      return false;
    }
  }
  int64_t l_Code = 0;
  if (!numberIn(a_rEntry, INT32_MIN, INT32_MAX, l_Code, a_rError)) return false;
  a_rFaults[l_Key] = static_cast<int32_t>(l_Code);
  return true;
}

// A described link as the hardware shows it: a port without a cable is
// down (width 0) and reports the lowest speed.
class cSimLink : public iPortLink {
 public:
  explicit cSimLink(const sBridge& a_rBridge) : m_rBridge(a_rBridge) {}
  bool builtWidth(uint32_t& a_rLanes) override {
    a_rLanes = m_rBridge.m_LinkMaxWidth;
    return true;
  }
  bool trainedWidth(uint32_t& a_rLanes) override {
    a_rLanes = !m_rBridge.m_LinkCabled      ? 0
               : m_rBridge.m_LinkWidth != 0 ? m_rBridge.m_LinkWidth
                                            : m_rBridge.m_LinkMaxWidth;
    return true;
  }
  bool speed(uint32_t& a_rCode) override {
    a_rCode = m_rBridge.m_LinkCabled ? m_rBridge.m_LinkSpeed : 1;
    return true;
  }

 private:
  const sBridge& m_rBridge;
};

// "link.speed = 8": the speed in GT/s as a code of Link Status.
bool speedCode(const std::string& a_rText, uint32_t& a_rCode) {
  static const char* const s_Rates[] = {"2.5", "5", "8", "16", "32", "64"};
  for (uint32_t l_Code = 0; l_Code < 6; ++l_Code) {
    if (a_rText == s_Rates[l_Code]) {
      a_rCode = l_Code + 1;
      return true;
    }
  }
  return false;
}

bool readLinkKey(const sSystemEntry& a_rEntry, sBridge& a_rBridge, std::string& a_rError) {
  const std::string& l_rKey = a_rEntry.m_Key;
  int64_t l_Value = 0;
  a_rBridge.m_HasLink = true;
  if (l_rKey == "link.max_width" || l_rKey == "link.width") {
    if (!numberIn(a_rEntry, 1, 32, l_Value, a_rError)) return false;
    (l_rKey == "link.width" ? a_rBridge.m_LinkWidth : a_rBridge.m_LinkMaxWidth) =
        static_cast<uint32_t>(l_Value);
    return true;
  }
  if (l_rKey == "link.speed") {
    if (speedCode(a_rEntry.m_Value, a_rBridge.m_LinkSpeed)) return true;
    a_rError = at(a_rEntry.m_Line) + l_rKey + ": expected 2.5, 5, 8, 16, 32 or 64 (GT/s), got '" +
               a_rEntry.m_Value + "'";
    return false;
  }
  if (l_rKey == "link.cabled") {
    if (a_rEntry.m_Value == "yes" || a_rEntry.m_Value == "no") {
      a_rBridge.m_LinkCabled = a_rEntry.m_Value == "yes";
      return true;
    }
    a_rError =
        at(a_rEntry.m_Line) + l_rKey + ": expected yes or no, got '" + a_rEntry.m_Value + "'";
    return false;
  }
  a_rError = at(a_rEntry.m_Line) + l_rKey +
             ": unknown link key (link.max_width, link.width, link.speed, link.cabled)";
  return false;
}

// A described link must say what it is built for, trains no wider, and
// leaves the three link attributes to it.
bool checkLink(const sSystemSection& a_rSection, const sBridge& a_rBridge, std::string& a_rError) {
  if (!a_rBridge.m_HasLink) return true;
  const std::string l_Where = at(a_rSection.m_Line) + "bridge " + a_rBridge.m_Name + ": ";
  if (a_rBridge.m_LinkMaxWidth == 0) {
    a_rError = l_Where + "a link needs link.max_width";
    return false;
  }
  if (a_rBridge.m_LinkWidth > a_rBridge.m_LinkMaxWidth) {
    a_rError = l_Where + "link.width is wider than link.max_width";
    return false;
  }
  for (const auto& l_rAttribute : a_rBridge.m_Attributes) {
    if (isLinkAttribute(l_rAttribute.first)) {
      a_rError = l_Where + "attr." + attributeQualifier(l_rAttribute.first) +
                 " and link keys both describe the link";
      return false;
    }
  }
  return true;
}

bool readBridge(const sSystemSection& a_rSection, sBridge& a_rBridge, std::string& a_rError) {
  a_rBridge.m_Name = a_rSection.m_Name;
  if (a_rBridge.m_Name.empty()) {
    a_rError = at(a_rSection.m_Line) + "a bridge section needs a name: [bridge NAME]";
    return false;
  }
  bool l_HasBus = false, l_HasDevice = false, l_HasFunction = false;
  for (const sSystemEntry& l_rEntry : a_rSection.m_Entries) {
    const std::string& l_rKey = l_rEntry.m_Key;
    int64_t l_Value = 0;
    if (l_rKey == "parent") {
      a_rBridge.m_ParentName = l_rEntry.m_Value;
    } else if (l_rKey == "bus") {
      if (!numberIn(l_rEntry, 0, 255, l_Value, a_rError)) return false;
      a_rBridge.m_Bus = static_cast<uint8_t>(l_Value);
      l_HasBus = true;
    } else if (l_rKey == "device") {
      if (!numberIn(l_rEntry, 0, 31, l_Value, a_rError)) return false;
      a_rBridge.m_Device = static_cast<uint8_t>(l_Value);
      l_HasDevice = true;
    } else if (l_rKey == "function") {
      if (!numberIn(l_rEntry, 0, 7, l_Value, a_rError)) return false;
      a_rBridge.m_Function = static_cast<uint8_t>(l_Value);
      l_HasFunction = true;
    } else if (l_rKey == "secondary") {
      if (!numberIn(l_rEntry, 0, 255, l_Value, a_rError)) return false;
      a_rBridge.m_Secondary = static_cast<uint8_t>(l_Value);
      a_rBridge.m_HasSecondary = true;
    } else if (l_rKey == "vendor_id" || l_rKey == "device_id" || l_rKey == "subsystem_vendor_id" ||
               l_rKey == "subsystem_id") {
      if (!numberIn(l_rEntry, 0, 0xFFFF, l_Value, a_rError)) return false;
      const uint16_t l_Id = static_cast<uint16_t>(l_Value);
      if (l_rKey == "vendor_id") a_rBridge.m_VendorId = l_Id;
      if (l_rKey == "device_id") a_rBridge.m_DeviceId = l_Id;
      if (l_rKey == "subsystem_vendor_id") a_rBridge.m_SubsystemVendorId = l_Id;
      if (l_rKey == "subsystem_id") a_rBridge.m_SubsystemId = l_Id;
    } else if (l_rKey.compare(0, 5, "attr.") == 0) {
      int64_t l_Id = 0;
      if (!parseNumber(l_rKey.substr(5), l_Id) || l_Id < 0 || l_Id > 0xFFFFFFFF) {
        a_rError = at(l_rEntry.m_Line) + l_rKey + ": expected attr.<identifier>";
        return false;
      }
      if (!numberIn(l_rEntry, 0, 0xFFFFFFFF, l_Value, a_rError)) return false;
      a_rBridge.m_Attributes[static_cast<uint32_t>(l_Id)] = static_cast<uint32_t>(l_Value);
    } else if (l_rKey.compare(0, 5, "link.") == 0) {
      if (!readLinkKey(l_rEntry, a_rBridge, a_rError)) return false;
    } else if (l_rKey.compare(0, 5, "fail.") == 0) {
      if (!addFault(l_rEntry, a_rBridge.m_Faults, a_rError)) return false;
    }
    // Other keys are left to other readers of the description.
  }
  const std::string l_Where = at(a_rSection.m_Line) + "bridge " + a_rBridge.m_Name + ": ";
  if (!l_HasDevice || !l_HasFunction) {
    a_rError = l_Where + "needs 'device' and 'function'";
    return false;
  }
  if (l_HasBus == !a_rBridge.m_ParentName.empty()) {
    a_rError = l_Where + "needs exactly one of 'parent' and 'bus'";
    return false;
  }
  return checkLink(a_rSection, a_rBridge, a_rError);
}

bool readGlobal(const sSystemSection& a_rSection, cPciTree& a_rTree, std::string& a_rError) {
  for (const sSystemEntry& l_rEntry : a_rSection.m_Entries) {
    const std::string& l_rKey = l_rEntry.m_Key;
    if (l_rKey == "root_buses") {
      std::istringstream l_List(l_rEntry.m_Value);
      std::string l_Item;
      while (std::getline(l_List, l_Item, ',')) {
        const sSystemEntry l_One{l_rKey, nQvSimSystem_1_0::trim(l_Item), l_rEntry.m_Line};
        int64_t l_Bus = 0;
        if (!numberIn(l_One, 0, 255, l_Bus, a_rError)) return false;
        a_rTree.m_RootBuses.push_back(static_cast<uint8_t>(l_Bus));
      }
    } else if (l_rKey == "quirk.GetBridgeSlotPath") {
      const std::string& l_rValue = l_rEntry.m_Value;
      if (l_rValue == "zero-size") {
        a_rTree.m_SlotPathQuirk = eSlotPathQuirk::kZeroSize;
      } else if (l_rValue == "no-nul") {
        a_rTree.m_SlotPathQuirk = eSlotPathQuirk::kNoNul;
      } else if (l_rValue == "junk") {
        a_rTree.m_SlotPathQuirk = eSlotPathQuirk::kJunk;
      } else {
        a_rError = at(l_rEntry.m_Line) + l_rKey + ": expected zero-size, no-nul or junk";
        return false;
      }
    } else if (l_rKey == "quirk.lists") {
      if (l_rEntry.m_Value == "grow-count") {
        a_rTree.m_ListQuirk = eListQuirk::kGrowCount;
      } else if (l_rEntry.m_Value == "huge-count") {
        a_rTree.m_ListQuirk = eListQuirk::kHugeCount;
      } else {
        a_rError = at(l_rEntry.m_Line) + l_rKey + ": expected grow-count or huge-count";
        return false;
      }
    } else if (l_rKey.compare(0, 5, "fail.") == 0) {
      if (!addFault(l_rEntry, a_rTree.m_Faults, a_rError)) return false;
    }
  }
  return true;
}

}  // namespace

bool cSimBackend::buildTree(const cSystemFile& a_rFile, cPciTree& a_rTree, std::string& a_rError) {
  for (const sSystemSection& l_rSection : a_rFile.sections()) {
    if (l_rSection.m_Kind == "bridge") {
      sBridge l_Bridge;
      if (!readBridge(l_rSection, l_Bridge, a_rError)) return false;
      for (const sBridge& l_rOther : a_rTree.m_Bridges) {
        if (l_rOther.m_Name == l_Bridge.m_Name) {
          a_rError = at(l_rSection.m_Line) + "bridge " + l_Bridge.m_Name + " is described twice";
          return false;
        }
      }
      a_rTree.m_Bridges.push_back(l_Bridge);
    } else if (l_rSection.m_Kind == "pcibrd") {
      if (!readGlobal(l_rSection, a_rTree, a_rError)) return false;
    }
  }
  return a_rTree.finish(a_rError);
}

int32_t cSimBackend::loadTree(cPciTree& a_rTree) {
  const char* l_pPath = std::getenv(kSystemVariable);
  if (!l_pPath || !*l_pPath) return QVPCIBRD_SUCCESS;  // no description: an empty machine
  cSystemFile l_File;
  std::string l_Error;
  if (!l_File.load(l_pPath, l_Error)) {
    std::fprintf(stderr, "qvpcibrd: %s\n", l_Error.c_str());
    return QVPCIBRD_ERR_SYSTEM_DESCRIPTION;
  }
  if (!buildTree(l_File, a_rTree, l_Error)) {
    std::fprintf(stderr, "qvpcibrd: %s: %s\n", l_pPath, l_Error.c_str());
    return QVPCIBRD_ERR_SYSTEM_DESCRIPTION;
  }
  return QVPCIBRD_SUCCESS;
}

int32_t cSimBackend::readAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                                   uint32_t& a_rValue) {
  const sBridge& l_rBridge = a_rTree.m_Bridges[a_Index];
  // A value stored for the session wins; a described link answers the link
  // attributes the way the sysfs backend derives them on a machine.
  auto l_It = l_rBridge.m_Attributes.find(a_AttributeId);
  if (l_It != l_rBridge.m_Attributes.end()) {
    a_rValue = l_It->second;
    return QVPCIBRD_SUCCESS;
  }
  cSimLink l_Link(l_rBridge);
  if (l_rBridge.m_HasLink && readLinkAttribute(l_Link, a_AttributeId, a_rValue)) {
    return QVPCIBRD_SUCCESS;
  }
  return QVPCIBRD_ERR_ATTR_NOT_SERVED;
}

int32_t cSimBackend::writeAttribute(cPciTree& a_rTree, int a_Index, uint32_t a_AttributeId,
                                    uint32_t a_Value) {
  a_rTree.m_Bridges[a_Index].m_Attributes[a_AttributeId] = a_Value;
  return QVPCIBRD_SUCCESS;
}

int32_t cSimBackend::updateEeprom(cPciTree&, int, uint32_t, uint32_t, const uint8_t*, uint32_t) {
  return QVPCIBRD_SUCCESS;
}

}  // namespace qvpcibrd
