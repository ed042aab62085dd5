// SPDX-License-Identifier: LGPL-2.1-or-later
// INI engine: storing, deleting and renaming.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "config/IniDocument.h"

namespace nQvPxiDriverTools_1_0 {

using namespace nIniDetail;

namespace {

bool IsBlank(const char* a_pText) {
  if (a_pText == nullptr) return true;
  while (IsSpace(*a_pText)) ++a_pText;
  return *a_pText == '\0';
}

// Tab, line feed, double quote and backslash get their C escapes, other
// control characters \xNN; everything else, bytes 80-FF included, is kept.
char* Escape(const char* a_pValue) {
  const size_t l_Length = std::strlen(a_pValue);
  if (l_Length > (static_cast<size_t>(-1) - 1) / 4) return nullptr;
  char* l_pOut = static_cast<char*>(std::malloc(l_Length * 4 + 1));
  if (l_pOut == nullptr) return nullptr;
  char* l_pAt = l_pOut;
  for (const char* l_p = a_pValue; *l_p != '\0'; ++l_p) {
    const unsigned char l_Byte = static_cast<unsigned char>(*l_p);
    if (l_Byte == '\t') {
      *l_pAt++ = '\\';
      *l_pAt++ = 't';
    } else if (l_Byte == '\n') {
      *l_pAt++ = '\\';
      *l_pAt++ = 'n';
    } else if (l_Byte == '"' || l_Byte == '\\') {
      *l_pAt++ = '\\';
      *l_pAt++ = static_cast<char>(l_Byte);
    } else if (l_Byte < 0x20 || l_Byte == 0x7F) {
      std::snprintf(l_pAt, 5, "\\x%02x", l_Byte);
      l_pAt += 4;
    } else {
      *l_pAt++ = static_cast<char>(l_Byte);
    }
  }
  *l_pAt = '\0';
  return l_pOut;
}

void RemoveSection(sIniDocument& a_rDocument, sIniSection* a_pSection) {
  for (size_t l_i = 0; l_i < a_rDocument.m_Sections.m_Count; ++l_i) {
    if (a_rDocument.m_Sections.m_ppItems[l_i] == a_pSection) {
      a_rDocument.m_Sections.RemoveAt(l_i);
      IndexOutdated(a_rDocument.m_SectionIndex);
      break;
    }
  }
  if (a_rDocument.m_pLastSection == a_pSection) a_rDocument.m_pLastSection = nullptr;
  FreeSection(a_pSection);
}

// Stores the already trimmed texts; takes ownership of a_pKey and a_pValue.
int StoreValue(sIniDocument& a_rDocument, const char* a_pSection, char* a_pKey, char* a_pValue,
               char a_Quote) {
  sIniSection* l_pSection = FindSection(a_rDocument, a_pSection);
  const bool l_Created = l_pSection == nullptr;
  if (l_Created) l_pSection = AddSection(a_rDocument, a_pSection);
  if (l_pSection != nullptr) {
    const size_t l_Index = FindEntry(a_rDocument, *l_pSection, a_pKey);
    if (l_Index < l_pSection->m_Entries.m_Count) {
      sIniEntry* l_pEntry = l_pSection->m_Entries.m_ppItems[l_Index];
      std::free(l_pEntry->m_pValue);
      std::free(a_pKey);
      l_pEntry->m_pValue = a_pValue;
      l_pEntry->m_Quote = a_Quote;
      return kIniFound;
    }
    sIniEntry* l_pEntry = new (std::nothrow) sIniEntry{a_pKey, a_pValue, a_Quote};
    if (l_pEntry != nullptr && AddEntry(a_rDocument, *l_pSection, l_pEntry)) return kIniFound;
    delete l_pEntry;
    if (l_Created) RemoveSection(a_rDocument, l_pSection);
  }
  std::free(a_pKey);
  std::free(a_pValue);
  a_rDocument.m_pLastSection = nullptr;
  return kIniErrNoMemory;
}

}  // namespace

int iniSetValue(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                const char* a_pValue, char a_Quote) {
  if (a_pDocument == nullptr) return kIniErrNoFile;
  // A blank name would be written as a line the loader drops.
  if (IsBlank(a_pSection) || IsBlank(a_pKey)) return kIniErrEmptyName;
  char* l_pSection = CopyTrimmed(a_pSection);
  char* l_pKey = CopyTrimmed(a_pKey);
  char* l_pValue = CopyTrimmed(a_pValue);
  if (l_pSection == nullptr || l_pKey == nullptr || l_pValue == nullptr) {
    std::free(l_pSection);
    std::free(l_pKey);
    std::free(l_pValue);
    a_pDocument->m_pLastSection = nullptr;
    return kIniErrNoMemory;
  }
  // Names are looked up trimmed, as they are stored, so that setting " a"
  // replaces the entry "a" instead of adding a second one.
  const int l_Result = StoreValue(*a_pDocument, l_pSection, l_pKey, l_pValue, a_Quote);
  std::free(l_pSection);
  return l_Result;
}

int iniSetString(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
                 const char* a_pValue) {
  if (a_pDocument == nullptr) return kIniErrNoFile;
  char* l_pEscaped = Escape(a_pValue != nullptr ? a_pValue : "");
  if (l_pEscaped == nullptr) return kIniErrNoMemory;
  const int l_Result = iniSetValue(a_pDocument, a_pSection, a_pKey, l_pEscaped, '"');
  std::free(l_pEscaped);
  return l_Result;
}

int iniSetI32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              int32_t a_Value) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "%d", static_cast<int>(a_Value));
  return iniSetValue(a_pDocument, a_pSection, a_pKey, l_Text, 0);
}

int iniSetU32(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey,
              uint32_t a_Value) {
  char l_Text[16];
  std::snprintf(l_Text, sizeof(l_Text), "%u", static_cast<unsigned int>(a_Value));
  return iniSetValue(a_pDocument, a_pSection, a_pKey, l_Text, 0);
}

int iniDeleteKey(sIniDocument* a_pDocument, const char* a_pSection, const char* a_pKey) {
  if (a_pDocument == nullptr) return kIniNotFound;
  sIniSection* l_pSection = FindSection(*a_pDocument, a_pSection);
  if (l_pSection == nullptr) return kIniNotFound;
  const size_t l_Index = FindEntry(*a_pDocument, *l_pSection, a_pKey);
  if (l_Index == l_pSection->m_Entries.m_Count) return kIniNotFound;
  FreeEntry(l_pSection->m_Entries.m_ppItems[l_Index]);
  l_pSection->m_Entries.RemoveAt(l_Index);
  IndexOutdated(l_pSection->m_Index);
  return kIniFound;
}

int iniDeleteSection(sIniDocument* a_pDocument, const char* a_pSection) {
  if (a_pDocument == nullptr) return kIniNotFound;
  sIniSection* l_pSection = FindSection(*a_pDocument, a_pSection);
  if (l_pSection == nullptr) return kIniNotFound;
  RemoveSection(*a_pDocument, l_pSection);
  return kIniFound;
}

int iniRenameSection(sIniDocument* a_pDocument, const char* a_pOldName, const char* a_pNewName) {
  if (a_pDocument == nullptr) return kIniNotFound;
  sIniSection* l_pSection = FindSection(*a_pDocument, a_pOldName);
  if (l_pSection == nullptr) return kIniNotFound;
  // A blank name would be written as a header the loader drops, with its entries.
  if (IsBlank(a_pNewName)) return kIniErrEmptyName;
  char* l_pName = CopyTrimmed(a_pNewName);
  if (l_pName == nullptr) return kIniErrNoMemory;
  std::free(l_pSection->m_pName);
  l_pSection->m_pName = l_pName;
  IndexOutdated(a_pDocument->m_SectionIndex);
  return kIniFound;
}

}  // namespace nQvPxiDriverTools_1_0
