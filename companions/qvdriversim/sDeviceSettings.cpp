// SPDX-License-Identifier: LGPL-2.1-or-later
#include "sDeviceSettings.h"

#include <sstream>

#include "systemText.h"
#include "textFields.h"

namespace nQvDriverSim_1_0 {

using nQvSimSystem_1_0::parseI32;
using nQvSimSystem_1_0::parseU32;
using nQvSimSystem_1_0::splitKeyValue;
using nQvSimSystem_1_0::trim;

namespace {

// "attribute.0xF000F0C0" -> 0xF000F0C0 when a_rKey starts with a_pPrefix.
bool keyWithId(const std::string& a_rKey, const char* a_pPrefix, uint32_t& a_rId) {
  const std::string l_Prefix = a_pPrefix;
  return a_rKey.compare(0, l_Prefix.size(), l_Prefix) == 0 &&
         parseU32(a_rKey.substr(l_Prefix.size()), a_rId);
}

eSettingResult fromBool(bool a_Ok) {
  return a_Ok ? eSettingResult::kApplied : eSettingResult::kBadValue;
}

bool parseErrno(const std::string& a_rValue, int& a_rErrno) {
  int32_t l_Value = 0;
  if (!parseI32(a_rValue, l_Value) || l_Value < 0) return false;
  a_rErrno = l_Value;
  return true;
}

}  // namespace

eSettingResult applyDeviceSetting(sDeviceSettings& a_rSettings, const std::string& a_rKey,
                                  const std::string& a_rValue) {
  uint32_t l_Id = 0;
  if (a_rKey == "name") {
    a_rSettings.m_Name = a_rValue;
    return eSettingResult::kApplied;
  }
  if (a_rKey == "logDir") {
    a_rSettings.m_LogDir = a_rValue;
    return eSettingResult::kApplied;
  }
  if (a_rKey == "stateDir") {
    a_rSettings.m_StateDir = a_rValue;
    return eSettingResult::kApplied;
  }
  if (a_rKey == "flashSize") return fromBool(parseU32(a_rValue, a_rSettings.m_FlashSize));
  if (a_rKey == "bootVersion") {
    if (a_rValue == "none") {
      a_rSettings.m_BootHeader = sDeviceSettings::eBootHeader::kNone;
      return eSettingResult::kApplied;
    }
    a_rSettings.m_BootHeader = sDeviceSettings::eBootHeader::kVersion;
    return fromBool(parseU32(a_rValue, a_rSettings.m_BootVersion));
  }
  if (a_rKey == "attributeStatus") {
    return fromBool(parseI32(a_rValue, a_rSettings.m_AttributeStatus));
  }
  if (a_rKey == "attributeByteCount") {
    a_rSettings.m_HasAttributeByteCount = true;
    return fromBool(parseU32(a_rValue, a_rSettings.m_AttributeByteCount));
  }
  if (a_rKey == "firmwareStatus") {
    return fromBool(parseI32(a_rValue, a_rSettings.m_FirmwareStatus));
  }
  if (a_rKey == "errno") return fromBool(parseErrno(a_rValue, a_rSettings.m_Errno));
  if (a_rKey == "attributeErrno")
    return fromBool(parseErrno(a_rValue, a_rSettings.m_AttributeErrno));
  if (a_rKey == "firmwareErrno") return fromBool(parseErrno(a_rValue, a_rSettings.m_FirmwareErrno));
  if (a_rKey.compare(0, 10, "attribute.") == 0) {
    if (!keyWithId(a_rKey, "attribute.", l_Id)) return eSettingResult::kBadValue;
    return fromBool(parseU32(a_rValue, a_rSettings.m_Attributes[l_Id]));
  }
  if (a_rKey.compare(0, 16, "attributeStatus.") == 0) {
    if (!keyWithId(a_rKey, "attributeStatus.", l_Id)) return eSettingResult::kBadValue;
    return fromBool(parseI32(a_rValue, a_rSettings.m_AttributeStatusById[l_Id]));
  }
  return eSettingResult::kUnknownKey;
}

std::string formatDeviceFile(const sDeviceSettings& a_rSettings) {
  std::ostringstream l_Out;
  l_Out << kDeviceFileMagic << "\n";
  l_Out << "name = " << a_rSettings.m_Name << "\n";
  l_Out << "logDir = " << a_rSettings.m_LogDir << "\n";
  for (const auto& l_Entry : a_rSettings.m_Attributes) {
    l_Out << "attribute." << textFields::hex32(l_Entry.first) << " = "
          << textFields::hex32(l_Entry.second) << "\n";
  }
  l_Out << "attributeStatus = " << a_rSettings.m_AttributeStatus << "\n";
  for (const auto& l_Entry : a_rSettings.m_AttributeStatusById) {
    l_Out << "attributeStatus." << textFields::hex32(l_Entry.first) << " = " << l_Entry.second
          << "\n";
  }
  if (a_rSettings.m_HasAttributeByteCount) {
    l_Out << "attributeByteCount = " << a_rSettings.m_AttributeByteCount << "\n";
  }
  l_Out << "firmwareStatus = " << a_rSettings.m_FirmwareStatus << "\n";
  l_Out << "errno = " << a_rSettings.m_Errno << "\n";
  l_Out << "attributeErrno = " << a_rSettings.m_AttributeErrno << "\n";
  l_Out << "firmwareErrno = " << a_rSettings.m_FirmwareErrno << "\n";
  if (a_rSettings.m_FlashSize != 0) {
    l_Out << "flashSize = " << textFields::hex32(a_rSettings.m_FlashSize) << "\n";
    l_Out << "stateDir = " << a_rSettings.m_StateDir << "\n";
  }
  return l_Out.str();
}

bool parseDeviceFile(const std::string& a_rText, sDeviceSettings& a_rSettings) {
  std::istringstream l_In(a_rText);
  std::string l_Line;
  if (!std::getline(l_In, l_Line) || trim(l_Line) != kDeviceFileMagic) return false;
  a_rSettings = sDeviceSettings();
  while (std::getline(l_In, l_Line)) {
    std::string l_Key;
    std::string l_Value;
    if (!splitKeyValue(l_Line, l_Key, l_Value)) continue;
    if (applyDeviceSetting(a_rSettings, l_Key, l_Value) == eSettingResult::kBadValue) return false;
  }
  return true;
}

}  // namespace nQvDriverSim_1_0
