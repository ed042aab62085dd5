// SPDX-License-Identifier: LGPL-2.1-or-later
// The relocation library: relocations come from the environment, so that
// tests and demonstrations can move any installation directory.
#include "qvrelocations.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int32_t kQueryFailed = -1;
constexpr const char* kVariablePrefix = "QVRELOC_";
constexpr const char* kFailVariable = "QVRELOC_FAIL";

bool isListedToFail(const std::string& a_rName) {
  const char* l_pList = std::getenv(kFailVariable);
  if (!l_pList) return false;
  const std::string l_List = std::string(",") + l_pList + ",";
  return l_List.find("," + a_rName + ",") != std::string::npos;
}

}  // namespace

extern "C" int32_t get_relocated_dir(const char* a_pName, char* a_pBuffer, int32_t a_Size) {
  if (!a_pName || !*a_pName || !a_pBuffer || a_Size <= 0) return kQueryFailed;
  const std::string l_Name(a_pName);
  if (isListedToFail(l_Name)) return kQueryFailed;
  std::string l_Variable(kVariablePrefix);
  for (char l_Char : l_Name) {
    if (!std::isalnum(static_cast<unsigned char>(l_Char))) return 0;  // no such variable name
    l_Variable += static_cast<char>(std::toupper(static_cast<unsigned char>(l_Char)));
  }
  const char* l_pPath = std::getenv(l_Variable.c_str());
  if (!l_pPath || !*l_pPath) return 0;
  const size_t l_Length = std::strlen(l_pPath);
  if (l_Length >= static_cast<size_t>(a_Size)) return kQueryFailed;
  std::memcpy(a_pBuffer, l_pPath, l_Length + 1);
  return static_cast<int32_t>(l_Length);
}
