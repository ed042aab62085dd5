// SPDX-License-Identifier: LGPL-2.1-or-later
#include "cSysfsParser.h"

namespace qvpcibrd {
namespace {

int hexValue(char a_Char) {
  if (a_Char >= '0' && a_Char <= '9') return a_Char - '0';
  if (a_Char >= 'a' && a_Char <= 'f') return a_Char - 'a' + 10;
  if (a_Char >= 'A' && a_Char <= 'F') return a_Char - 'A' + 10;
  return -1;
}

// a_MinDigits to a_MaxDigits hex digits at a_rPos, then the character
// a_End (or the end of the text when a_End is '\0').
bool takeHex(const std::string& a_rText, size_t& a_rPos, size_t a_MinDigits, size_t a_MaxDigits,
             char a_End, uint32_t& a_rValue) {
  a_rValue = 0;
  size_t l_Digits = 0;
  while (a_rPos < a_rText.size() && l_Digits < a_MaxDigits) {
    const int l_Value = hexValue(a_rText[a_rPos]);
    if (l_Value < 0) break;
    a_rValue = a_rValue << 4 | static_cast<uint32_t>(l_Value);
    ++a_rPos;
    ++l_Digits;
  }
  if (l_Digits < a_MinDigits) return false;
  if (a_End == '\0') return a_rPos == a_rText.size();
  if (a_rPos >= a_rText.size() || a_rText[a_rPos] != a_End) return false;
  ++a_rPos;
  return true;
}

// The key a_pKey at a_rPos.
bool takeKey(const std::string& a_rText, size_t& a_rPos, const char* a_pKey) {
  for (; *a_pKey; ++a_pKey, ++a_rPos) {
    if (a_rPos >= a_rText.size() || a_rText[a_rPos] != *a_pKey) return false;
  }
  return true;
}

}  // namespace

bool cSysfsParser::parseFunctionAddress(const std::string& a_rText, uint32_t& a_rDomain,
                                        uint8_t& a_rBus, uint8_t& a_rDevice, uint8_t& a_rFunction) {
  size_t l_Pos = 0;
  uint32_t l_Domain = 0, l_Bus = 0, l_Device = 0, l_Function = 0;
  if (!takeHex(a_rText, l_Pos, 1, 8, ':', l_Domain) || !takeHex(a_rText, l_Pos, 1, 2, ':', l_Bus) ||
      !takeHex(a_rText, l_Pos, 1, 2, '.', l_Device) ||
      !takeHex(a_rText, l_Pos, 1, 1, '\0', l_Function) || l_Device > 31 || l_Function > 7) {
    return false;
  }
  a_rDomain = l_Domain;
  a_rBus = static_cast<uint8_t>(l_Bus);
  a_rDevice = static_cast<uint8_t>(l_Device);
  a_rFunction = static_cast<uint8_t>(l_Function);
  return true;
}

bool cSysfsParser::isDomainZeroFunction(const std::string& a_rText) {
  uint32_t l_Domain = 0;
  uint8_t l_Bus = 0, l_Device = 0, l_Function = 0;
  return parseFunctionAddress(a_rText, l_Domain, l_Bus, l_Device, l_Function) && l_Domain == 0;
}

bool cSysfsParser::parseBusName(const std::string& a_rText, uint32_t& a_rDomain, uint8_t& a_rBus) {
  size_t l_Pos = 0;
  uint32_t l_Domain = 0, l_Bus = 0;
  if (!takeHex(a_rText, l_Pos, 1, 8, ':', l_Domain) ||
      !takeHex(a_rText, l_Pos, 1, 2, '\0', l_Bus)) {
    return false;
  }
  a_rDomain = l_Domain;
  a_rBus = static_cast<uint8_t>(l_Bus);
  return true;
}

bool cSysfsParser::parseModalias(const std::string& a_rText, sPciIdentity& a_rIdentity) {
  size_t l_Pos = 0;
  uint32_t l_Ids[4] = {}, l_Class[3] = {};
  if (!takeKey(a_rText, l_Pos, "pci:v") || !takeHex(a_rText, l_Pos, 8, 8, 'd', l_Ids[0]) ||
      !takeHex(a_rText, l_Pos, 8, 8, 's', l_Ids[1]) || !takeKey(a_rText, l_Pos, "v") ||
      !takeHex(a_rText, l_Pos, 8, 8, 's', l_Ids[2]) || !takeKey(a_rText, l_Pos, "d") ||
      !takeHex(a_rText, l_Pos, 8, 8, 'b', l_Ids[3]) || !takeKey(a_rText, l_Pos, "c") ||
      !takeHex(a_rText, l_Pos, 2, 2, 's', l_Class[0]) || !takeKey(a_rText, l_Pos, "c") ||
      !takeHex(a_rText, l_Pos, 2, 2, 'i', l_Class[1]) ||
      !takeHex(a_rText, l_Pos, 2, 2, '\0', l_Class[2])) {
    return false;
  }
  for (uint32_t l_Id : l_Ids) {
    if (l_Id > 0xFFFF) return false;
  }
  a_rIdentity.m_VendorId = static_cast<uint16_t>(l_Ids[0]);
  a_rIdentity.m_DeviceId = static_cast<uint16_t>(l_Ids[1]);
  a_rIdentity.m_SubsystemVendorId = static_cast<uint16_t>(l_Ids[2]);
  a_rIdentity.m_SubsystemId = static_cast<uint16_t>(l_Ids[3]);
  a_rIdentity.m_Class = l_Class[0] << 16 | l_Class[1] << 8 | l_Class[2];
  return true;
}

std::string cSysfsParser::pathPart(const std::string& a_rPath, size_t a_FromEnd) {
  size_t l_End = a_rPath.size();
  while (l_End > 0 && a_rPath[l_End - 1] == '/') --l_End;
  for (;;) {
    const size_t l_Slash = l_End == 0 ? std::string::npos : a_rPath.rfind('/', l_End - 1);
    const size_t l_Start = l_Slash == std::string::npos ? 0 : l_Slash + 1;
    if (a_FromEnd == 0) return a_rPath.substr(l_Start, l_End - l_Start);
    if (l_Slash == std::string::npos) return std::string();
    --a_FromEnd;
    l_End = l_Slash;
    while (l_End > 0 && a_rPath[l_End - 1] == '/') --l_End;
  }
}

bool cSysfsParser::isPlainRelativeLink(const std::string& a_rLink, size_t a_Up,
                                       std::string& a_rRest) {
  size_t l_Pos = 0;
  for (size_t l_Level = 0; l_Level < a_Up; ++l_Level, l_Pos += 3) {
    if (a_rLink.compare(l_Pos, 3, "../") != 0) return false;
  }
  // Every part of the rest is a plain name.
  size_t l_Start = l_Pos;
  while (l_Start <= a_rLink.size()) {
    size_t l_End = a_rLink.find('/', l_Start);
    if (l_End == std::string::npos) l_End = a_rLink.size();
    const size_t l_Length = l_End - l_Start;
    if (l_Length == 0 || (l_Length == 1 && a_rLink[l_Start] == '.') ||
        (l_Length == 2 && a_rLink.compare(l_Start, 2, "..") == 0)) {
      return false;
    }
    l_Start = l_End + 1;
  }
  a_rRest = a_rLink.substr(l_Pos);
  return true;
}

}  // namespace qvpcibrd
