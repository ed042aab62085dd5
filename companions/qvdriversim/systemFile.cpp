#include "systemFile.h"

#include "textFields.h"

#include <fstream>
#include <set>
#include <sstream>

namespace nQvDriverSim_1_0 {

namespace {

// The seven bus properties the driver publishes as 4-byte values.
const char* const kBusPropertyKeys[] = {
    "pciVendorID",  "pciDeviceID",     "pciSubsystemVendorID", "pciSubsystemID",
    "pciBusNumber", "pciDeviceNumber", "pciFunctionNumber",
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
    if (!textFields::parseU32(a_rValue, l_Value)) {
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
  if (a_rKey == "serialNumber") {
    std::vector<uint8_t> l_Bytes(a_rValue.begin(), a_rValue.end());
    l_Bytes.push_back(0);
    a_rSpec.m_DeviceProperties["serialNumber"] = l_Bytes;
    return true;
  }
  const bool l_Bus = startsWith(a_rKey, "busProperty.", l_Rest);
  if (l_Bus || startsWith(a_rKey, "deviceProperty.", l_Rest)) {
    std::vector<uint8_t> l_Bytes;
    if (!isComponentName(l_Rest) || !textFields::parseHexBytes(a_rValue, l_Bytes)) {
      a_rReason = "bad property name or hex bytes for " + a_rKey;
      return false;
    }
    (l_Bus ? a_rSpec.m_BusProperties : a_rSpec.m_DeviceProperties)[l_Rest] = l_Bytes;
    return true;
  }
  if (a_rKey == "name" || a_rKey == "logDir") return true;  // set by the tree builder
  if (applyDeviceSetting(a_rSpec.m_Driver, a_rKey, a_rValue) == eSettingResult::kBadValue) {
    a_rReason = "bad value for " + a_rKey;
    return false;
  }
  return true;  // applied, or an unknown key: ignored
}

}  // namespace

bool parseSystemText(const std::string& a_rText, const std::string& a_rSourceName,
                     std::vector<sInterfaceSpec>& a_rInterfaces, std::string& a_rError) {
  a_rInterfaces.clear();
  std::istringstream l_In(a_rText);
  std::string l_Raw;
  int l_LineNumber = 0;
  bool l_InInterface = false;
  std::set<std::string> l_Names;
  auto l_Fail = [&](const std::string& a_rWhat) {
    a_rError = a_rSourceName + ":" + std::to_string(l_LineNumber) + ": " + a_rWhat;
    return false;
  };

  while (std::getline(l_In, l_Raw)) {
    ++l_LineNumber;
    const std::string l_Line = textFields::trim(l_Raw);
    if (l_Line.empty() || l_Line[0] == '#' || l_Line[0] == ';') continue;
    if (l_Line.front() == '[' && l_Line.back() == ']') {
      const std::string l_Inside = textFields::trim(l_Line.substr(1, l_Line.size() - 2));
      const size_t l_Space = l_Inside.find_first_of(" \t");
      const std::string l_Kind = l_Inside.substr(0, l_Space);
      l_InInterface = (l_Kind == "interface");
      if (!l_InInterface) continue;
      const std::string l_Name =
          l_Space == std::string::npos ? "" : textFields::trim(l_Inside.substr(l_Space));
      if (!isComponentName(l_Name)) return l_Fail("an interface section needs a name without '/'");
      if (!l_Names.insert(l_Name).second) return l_Fail("interface " + l_Name + " given twice");
      sInterfaceSpec l_Spec;
      l_Spec.m_Name = l_Name;
      l_Spec.m_Directory = l_Name;
      a_rInterfaces.push_back(l_Spec);
      continue;
    }
    if (!l_InInterface) continue;  // other kinds belong to other readers
    std::string l_Key;
    std::string l_Value;
    if (!textFields::splitKeyValue(l_Line, l_Key, l_Value)) return l_Fail("expected key = value");
    std::string l_Reason;
    if (!applyInterfaceKey(a_rInterfaces.back(), l_Key, l_Value, l_Reason)) return l_Fail(l_Reason);
  }
  return true;
}

bool parseSystemFile(const std::string& a_rPath, std::vector<sInterfaceSpec>& a_rInterfaces,
                     std::string& a_rError) {
  std::ifstream l_In(a_rPath, std::ios::binary);
  if (!l_In) {
    a_rError = a_rPath + ": cannot be read";
    return false;
  }
  std::ostringstream l_Text;
  l_Text << l_In.rdbuf();
  return parseSystemText(l_Text.str(), a_rPath, a_rInterfaces, a_rError);
}

}  // namespace nQvDriverSim_1_0
