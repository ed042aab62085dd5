// SPDX-License-Identifier: LGPL-2.1-or-later
// INI engine: document life, options, lookups and typed reads.
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "config/IniDocument.h"

namespace nQvPxiDriverTools_1_0 {

using namespace nIniDetail;

namespace {

constexpr uint64_t kI32Max = static_cast<uint64_t>(INT32_MAX);
constexpr uint64_t kI32MaxNegative = kI32Max + 1;
constexpr uint64_t kU32Max = UINT32_MAX;

// Parses optional white space, at most one sign, decimal digits and optional
// white space. kIniNotFound for blank text, a_Invalid for anything else that
// is not a number within [-a_MaxNegative, a_MaxPositive].
int ParseNumber(const char* a_pText, uint64_t a_MaxPositive, uint64_t a_MaxNegative, int a_Invalid,
                bool& a_rNegative, uint64_t& a_rMagnitude) {
  const char* l_p = a_pText;
  while (IsSpace(*l_p)) ++l_p;
  if (*l_p == '\0') return kIniNotFound;
  a_rNegative = false;
  if (*l_p == '+' || *l_p == '-') {
    a_rNegative = *l_p == '-';
    ++l_p;
  }
  const uint64_t l_Limit = a_rNegative ? a_MaxNegative : a_MaxPositive;
  if (a_rNegative && l_Limit == 0) return a_Invalid;
  if (*l_p < '0' || *l_p > '9') return a_Invalid;
  uint64_t l_Magnitude = 0;
  for (; *l_p >= '0' && *l_p <= '9'; ++l_p) {
    const uint64_t l_Digit = static_cast<uint64_t>(*l_p - '0');
    // Checked before each step so the running value never passes the limit.
    if (l_Magnitude > (l_Limit - l_Digit) / 10) return a_Invalid;
    l_Magnitude = l_Magnitude * 10 + l_Digit;
  }
  while (IsSpace(*l_p)) ++l_p;
  if (*l_p != '\0') return a_Invalid;
  a_rMagnitude = l_Magnitude;
  return kIniFound;
}

sIniEntry* Lookup(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey) {
  if (a_pDocument == nullptr) return nullptr;
  sIniSection* l_pSection = FindSection(*a_pDocument, a_pSection);
  if (l_pSection == nullptr) return nullptr;
  const size_t l_Index = FindEntry(*a_pDocument, *l_pSection, a_pKey);
  if (l_Index == l_pSection->m_Entries.m_Count) return nullptr;
  return l_pSection->m_Entries.m_ppItems[l_Index];
}

}  // namespace

sIniDocument* iniCreate() {
  sIniDocument* l_pDocument = new (std::nothrow) sIniDocument{};
  if (l_pDocument == nullptr) return nullptr;
  l_pDocument->m_pLastSection = nullptr;
  l_pDocument->m_CaseSensitive = false;
  l_pDocument->m_Width = kDefaultWidth;
  l_pDocument->m_SafeWrite = true;
  l_pDocument->m_FileName[0] = '\0';
  l_pDocument->m_FileTime = 0;
  return l_pDocument;
}

void iniFree(sIniDocument* a_pDocument) {
  if (a_pDocument == nullptr) return;
  EmptyDocument(*a_pDocument);
  delete a_pDocument;
}

int iniSetLineFormat(sIniDocument* a_pDocument, int a_Width, bool a_SafeWrite) {
  if (a_pDocument == nullptr) return kIniErrNoFile;
  a_pDocument->m_Width = a_Width;
  a_pDocument->m_SafeWrite = a_SafeWrite;
  return kIniFound;
}

int iniSetCaseSensitive(sIniDocument* a_pDocument, int a_CaseSensitive) {
  if (a_pDocument == nullptr) return 0;
  const int l_Previous = a_pDocument->m_CaseSensitive ? 1 : 0;
  a_pDocument->m_CaseSensitive = a_CaseSensitive != 0;
  return l_Previous;
}

int iniHasChanged(sIniDocument* a_pDocument) {
  if (a_pDocument == nullptr || a_pDocument->m_FileName[0] == '\0') return kIniErrNoFileName;
  struct stat l_Info;
  if (::stat(a_pDocument->m_FileName, &l_Info) != 0) return kIniErrNoFile;
  return l_Info.st_mtime != a_pDocument->m_FileTime ? 1 : 0;
}

time_t iniFileTime(const sIniDocument* a_pDocument) {
  return a_pDocument == nullptr ? 0 : a_pDocument->m_FileTime;
}

int iniSectionCount(sIniDocument* a_pDocument) {
  if (a_pDocument == nullptr) return 0;
  return static_cast<int>(a_pDocument->m_Sections.m_Count);
}

int iniSectionName(sIniDocument* a_pDocument, int a_Position, const char** a_ppName) {
  if (a_ppName != nullptr) *a_ppName = nullptr;
  if (a_pDocument == nullptr || a_Position < 1 ||
      static_cast<size_t>(a_Position) > a_pDocument->m_Sections.m_Count) {
    return kIniNotFound;
  }
  sIniSection* l_pSection = a_pDocument->m_Sections.m_ppItems[a_Position - 1];
  a_pDocument->m_pLastSection = l_pSection;
  if (a_ppName != nullptr) *a_ppName = l_pSection->m_pName;
  return kIniFound;
}

int iniSectionExists(sIniDocument* a_pDocument, const char* a_pSection) {
  if (a_pDocument == nullptr) return kIniNotFound;
  return FindSection(*a_pDocument, a_pSection) != nullptr ? kIniFound : kIniNotFound;
}

int iniKeyExists(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey) {
  return Lookup(a_pDocument, a_pSection, a_pKey) != nullptr ? kIniFound : kIniNotFound;
}

int iniGetValue(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                const char** a_ppValue) {
  const sIniEntry* l_pEntry = Lookup(a_pDocument, a_pSection, a_pKey);
  if (a_ppValue != nullptr) *a_ppValue = l_pEntry != nullptr ? l_pEntry->m_pValue : nullptr;
  return l_pEntry != nullptr ? kIniFound : kIniNotFound;
}

int iniGetI32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              int32_t* a_pValue) {
  const sIniEntry* l_pEntry = Lookup(a_pDocument, a_pSection, a_pKey);
  if (l_pEntry == nullptr) return kIniNotFound;
  bool l_Negative = false;
  uint64_t l_Magnitude = 0;
  const int l_Result = ParseNumber(l_pEntry->m_pValue, kI32Max, kI32MaxNegative, kIniErrNotI32,
                                   l_Negative, l_Magnitude);
  if (l_Result == kIniFound && a_pValue != nullptr) {
    *a_pValue = l_Negative ? static_cast<int32_t>(-static_cast<int64_t>(l_Magnitude))
                           : static_cast<int32_t>(l_Magnitude);
  }
  return l_Result;
}

int iniGetU32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              uint32_t* a_pValue) {
  const sIniEntry* l_pEntry = Lookup(a_pDocument, a_pSection, a_pKey);
  if (l_pEntry == nullptr) return kIniNotFound;
  bool l_Negative = false;
  uint64_t l_Magnitude = 0;
  const int l_Result =
      ParseNumber(l_pEntry->m_pValue, kU32Max, 0, kIniErrNotU32, l_Negative, l_Magnitude);
  if (l_Result == kIniFound && a_pValue != nullptr) *a_pValue = static_cast<uint32_t>(l_Magnitude);
  return l_Result;
}

}  // namespace nQvPxiDriverTools_1_0
