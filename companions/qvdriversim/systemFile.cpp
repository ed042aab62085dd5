// SPDX-License-Identifier: LGPL-2.1-or-later
#include "systemFile.h"

#include <set>

#include "cSystemFile.h"
#include "qvzel_driver.h"
#include "systemText.h"

namespace nQvDriverSim_1_0 {

using nQvSimSystem_1_0::cSystemFile;
using nQvSimSystem_1_0::sSystemEntry;
using nQvSimSystem_1_0::sSystemSection;

namespace {

// The bus properties the driver publishes as 4-byte values.
const char* const kBusPropertyKeys[] = {
    QVZEL_PROP_VENDOR_ID,       QVZEL_PROP_DEVICE_ID,     QVZEL_PROP_SUBSYSTEM_VENDOR_ID,
    QVZEL_PROP_SUBSYSTEM_ID,    QVZEL_PROP_BUS_NUMBER,    QVZEL_PROP_DEVICE_NUMBER,
    QVZEL_PROP_FUNCTION_NUMBER, QVZEL_PROP_DOMAIN_NUMBER,
};

// Names that become one path component: no slash, not "." or "..".
bool isComponentName(const std::string& a_rName) {
  return !a_rName.empty() && a_rName != "." && a_rName != ".." &&
         a_rName.find('/') == std::string::npos && a_rName.find('\0') == std::string::npos;
}

bool startsWith(const std::string& a_rText, const char* a_pPrefix, std::string& a_rRest) {
  const std::string l_Prefix = a_pPrefix;
  if (a_rText.compare(0, l_Prefix.size(), l_Prefix) != 0) return false;
  a_rRest = a_rText.substr(l_Prefix.size());
  return true;
}

std::vector<uint8_t> littleEndian32(uint32_t a_Value) {
  return {static_cast<uint8_t>(a_Value), static_cast<uint8_t>(a_Value >> 8),
          static_cast<uint8_t>(a_Value >> 16), static_cast<uint8_t>(a_Value >> 24)};
}

// Applies one key of an interface section; false with a reason on a bad value.
bool applyInterfaceKey(sInterfaceSpec& a_rSpec, const std::string& a_rKey,
                       const std::string& a_rValue, std::string& a_rReason) {
  std::string l_Rest;
  for (const char* l_pBusKey : kBusPropertyKeys) {
    if (a_rKey != l_pBusKey) continue;
    uint32_t l_Value = 0;
    if (!nQvSimSystem_1_0::parseU32(a_rValue, l_Value)) {
      a_rReason = "bad 32-bit number for " + a_rKey;
      return false;
    }
    a_rSpec.m_BusProperties[a_rKey] = littleEndian32(l_Value);
    return true;
  }
  if (a_rKey == "class" || a_rKey == "instance" || a_rKey == "directory") {
    if (!isComponentName(a_rValue)) {
      a_rReason = a_rKey + " must be a non-empty name without '/'";
      return false;
    }
    (a_rKey == "class"      ? a_rSpec.m_Class
     : a_rKey == "instance" ? a_rSpec.m_Instance
                            : a_rSpec.m_Directory) = a_rValue;
    return true;
  }
  if (a_rKey == "interfacePath") {
    a_rSpec.m_HasInterfacePath = true;
    a_rSpec.m_InterfacePath = a_rValue;
    return true;
  }
  if (a_rKey == QVZEL_PROP_SERIAL_NUMBER) {
    std::vector<uint8_t> l_Bytes(a_rValue.begin(), a_rValue.end());
    l_Bytes.push_back(0);
    a_rSpec.m_DeviceProperties[QVZEL_PROP_SERIAL_NUMBER] = l_Bytes;
    return true;
  }
  const bool l_Bus = startsWith(a_rKey, "busProperty.", l_Rest);
  if (l_Bus || startsWith(a_rKey, "deviceProperty.", l_Rest)) {
    std::vector<uint8_t> l_Bytes;
    if (!isComponentName(l_Rest) || !nQvSimSystem_1_0::parseHexBytes(a_rValue, l_Bytes)) {
      a_rReason = "bad property name or hex bytes for " + a_rKey;
      return false;
    }
    (l_Bus ? a_rSpec.m_BusProperties : a_rSpec.m_DeviceProperties)[l_Rest] = l_Bytes;
    return true;
  }
  if (a_rKey == "name" || a_rKey == "logDir" || a_rKey == "stateDir")
    return true;  // set by the tree builder
  if (applyDeviceSetting(a_rSpec.m_Driver, a_rKey, a_rValue) == eSettingResult::kBadValue) {
    a_rReason = "bad value for " + a_rKey;
    return false;
  }
  return true;  // applied, or an unknown key: ignored
}

// The interface sections of a parsed file, in file order.
bool readInterfaces(const cSystemFile& a_rFile, const std::string& a_rSourceName,
                    std::vector<sInterfaceSpec>& a_rInterfaces, std::string& a_rError) {
  auto l_Fail = [&](int a_Line, const std::string& a_rWhat) {
    a_rError = a_rSourceName + ":" + std::to_string(a_Line) + ": " + a_rWhat;
    return false;
  };
  std::set<std::string> l_Names;
  for (const sSystemSection& l_rSection : a_rFile.sections()) {
    if (l_rSection.m_Kind != "interface") continue;  // other kinds belong to other readers
    const std::string& l_rName = l_rSection.m_Name;
    if (!isComponentName(l_rName)) {
      return l_Fail(l_rSection.m_Line, "an interface section needs a name without '/'");
    }
    if (!l_Names.insert(l_rName).second) {
      return l_Fail(l_rSection.m_Line, "interface " + l_rName + " given twice");
    }
    sInterfaceSpec l_Spec;
    l_Spec.m_Name = l_rName;
    l_Spec.m_Directory = l_rName;
    for (const sSystemEntry& l_rEntry : l_rSection.m_Entries) {
      std::string l_Reason;
      if (!applyInterfaceKey(l_Spec, l_rEntry.m_Key, l_rEntry.m_Value, l_Reason)) {
        return l_Fail(l_rEntry.m_Line, l_Reason);
      }
    }
    a_rInterfaces.push_back(l_Spec);
  }
  return true;
}

}  // namespace

bool parseSystemText(const std::string& a_rText, const std::string& a_rSourceName,
                     std::vector<sInterfaceSpec>& a_rInterfaces, std::string& a_rError) {
  a_rInterfaces.clear();
  cSystemFile l_File;
  return l_File.parse(a_rText, a_rSourceName, a_rError) &&
         readInterfaces(l_File, a_rSourceName, a_rInterfaces, a_rError);
}

bool parseSystemFile(const std::string& a_rPath, std::vector<sInterfaceSpec>& a_rInterfaces,
                     std::string& a_rError) {
  a_rInterfaces.clear();
  cSystemFile l_File;
  return l_File.load(a_rPath, a_rError) && readInterfaces(l_File, a_rPath, a_rInterfaces, a_rError);
}

}  // namespace nQvDriverSim_1_0
