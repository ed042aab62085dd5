// SPDX-License-Identifier: LGPL-2.1-or-later
#include "textFields.h"

#include <cstdio>

namespace nQvDriverSim_1_0 {
namespace textFields {

std::string toHex(const uint8_t* a_pBytes, size_t a_Count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string l_Text;
  l_Text.reserve(a_Count * 2);
  for (size_t l_Index = 0; l_Index < a_Count; ++l_Index) {
    l_Text += kDigits[a_pBytes[l_Index] >> 4];
    l_Text += kDigits[a_pBytes[l_Index] & 0xF];
  }
  return l_Text;
}

std::string hex32(uint32_t a_Value) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "0x%08X", a_Value);
  return l_Text;
}

bool findField(const std::string& a_rLine, const std::string& a_rKey, std::string& a_rValue) {
  const std::string l_Prefix = a_rKey + "=";
  size_t l_Start = 0;
  while (l_Start < a_rLine.size()) {
    size_t l_End = a_rLine.find(' ', l_Start);
    if (l_End == std::string::npos) l_End = a_rLine.size();
    if (a_rLine.compare(l_Start, l_Prefix.size(), l_Prefix) == 0 &&
        l_End - l_Start >= l_Prefix.size()) {
      a_rValue = a_rLine.substr(l_Start + l_Prefix.size(), l_End - l_Start - l_Prefix.size());
      return true;
    }
    l_Start = l_End + 1;
  }
  return false;
}

}  // namespace textFields
}  // namespace nQvDriverSim_1_0
