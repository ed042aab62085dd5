// SPDX-License-Identifier: LGPL-2.1-or-later
#include "systemText.h"

#include <cctype>

namespace nQvSimSystem_1_0 {

namespace {

int hexDigit(char a_Char) {
  if (a_Char >= '0' && a_Char <= '9') return a_Char - '0';
  if (a_Char >= 'a' && a_Char <= 'f') return a_Char - 'a' + 10;
  if (a_Char >= 'A' && a_Char <= 'F') return a_Char - 'A' + 10;
  return -1;
}

// Far beyond any value a file holds, and far from overflowing.
constexpr uint64_t kMaxMagnitude = uint64_t{1} << 62;

}  // namespace

std::string trim(const std::string& a_rText) {
  size_t l_Begin = 0;
  size_t l_End = a_rText.size();
  while (l_Begin < l_End && std::isspace(static_cast<unsigned char>(a_rText[l_Begin]))) ++l_Begin;
  while (l_End > l_Begin && std::isspace(static_cast<unsigned char>(a_rText[l_End - 1]))) --l_End;
  return a_rText.substr(l_Begin, l_End - l_Begin);
}

bool splitKeyValue(const std::string& a_rLine, std::string& a_rKey, std::string& a_rValue) {
  const size_t l_Equals = a_rLine.find('=');
  if (l_Equals == std::string::npos) return false;
  a_rKey = trim(a_rLine.substr(0, l_Equals));
  a_rValue = trim(a_rLine.substr(l_Equals + 1));
  return !a_rKey.empty();
}

bool parseNumber(const std::string& a_rText, int64_t& a_rValue) {
  size_t l_Index = 0;
  const bool l_Negative = !a_rText.empty() && a_rText[0] == '-';
  if (l_Negative) ++l_Index;
  int l_Base = 10;
  if (a_rText.size() - l_Index > 2 && a_rText[l_Index] == '0' &&
      (a_rText[l_Index + 1] == 'x' || a_rText[l_Index + 1] == 'X')) {
    l_Base = 16;
    l_Index += 2;
  }
  if (l_Index >= a_rText.size()) return false;
  uint64_t l_Magnitude = 0;
  for (; l_Index < a_rText.size(); ++l_Index) {
    const int l_Digit = hexDigit(a_rText[l_Index]);
    if (l_Digit < 0 || l_Digit >= l_Base) return false;
    l_Magnitude = l_Magnitude * l_Base + static_cast<uint64_t>(l_Digit);
    if (l_Magnitude > kMaxMagnitude) return false;
  }
  a_rValue = l_Negative ? -static_cast<int64_t>(l_Magnitude) : static_cast<int64_t>(l_Magnitude);
  return true;
}

bool parseU32(const std::string& a_rText, uint32_t& a_rValue) {
  int64_t l_Value = 0;
  if (!parseNumber(a_rText, l_Value) || l_Value < 0 || l_Value > INT64_C(0xFFFFFFFF)) return false;
  a_rValue = static_cast<uint32_t>(l_Value);
  return true;
}

bool parseI32(const std::string& a_rText, int32_t& a_rValue) {
  int64_t l_Value = 0;
  if (!parseNumber(a_rText, l_Value) || l_Value < INT32_MIN || l_Value > INT32_MAX) return false;
  a_rValue = static_cast<int32_t>(l_Value);
  return true;
}

bool parseHexBytes(const std::string& a_rText, std::vector<uint8_t>& a_rBytes) {
  a_rBytes.clear();
  int l_High = -1;
  for (char l_Char : a_rText) {
    if (std::isspace(static_cast<unsigned char>(l_Char))) {
      if (l_High >= 0) return false;  // a pair must not be split
      continue;
    }
    const int l_Digit = hexDigit(l_Char);
    if (l_Digit < 0) return false;
    if (l_High < 0) {
      l_High = l_Digit;
    } else {
      a_rBytes.push_back(static_cast<uint8_t>(l_High * 16 + l_Digit));
      l_High = -1;
    }
  }
  return l_High < 0;
}

}  // namespace nQvSimSystem_1_0
