// SPDX-License-Identifier: LGPL-2.1-or-later
#include "config/IniDocument.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace nQvPxiDriverTools_1_0 {

template <typename T>
bool sIniArray<T>::Append(T* a_pItem) {
  if (m_Count == m_Capacity) {
    const size_t l_NewCapacity = m_Capacity == 0 ? 8 : m_Capacity * 2;
    if (l_NewCapacity > static_cast<size_t>(-1) / sizeof(T*)) return false;
    void* l_pNew = std::realloc(m_ppItems, l_NewCapacity * sizeof(T*));
    if (l_pNew == nullptr) return false;
    m_ppItems = static_cast<T**>(l_pNew);
    m_Capacity = l_NewCapacity;
  }
  m_ppItems[m_Count++] = a_pItem;
  return true;
}

template <typename T>
void sIniArray<T>::RemoveAt(size_t a_Index) {
  if (a_Index >= m_Count) return;
  std::memmove(m_ppItems + a_Index, m_ppItems + a_Index + 1, (m_Count - a_Index - 1) * sizeof(T*));
  --m_Count;
}

template <typename T>
void sIniArray<T>::ReleaseStorage() {
  std::free(m_ppItems);
  m_ppItems = nullptr;
  m_Count = 0;
  m_Capacity = 0;
}

template struct sIniArray<sIniEntry>;
template struct sIniArray<sIniSection>;

namespace nIniDetail {

char UpperAscii(char a_Char) {
  return (a_Char >= 'a' && a_Char <= 'z') ? static_cast<char>(a_Char - 'a' + 'A') : a_Char;
}

bool IsSpace(char a_Char) {
  return a_Char == ' ' || a_Char == '\t' || a_Char == '\n' || a_Char == '\v' || a_Char == '\f' ||
         a_Char == '\r';
}

char* CopyText(const char* a_pText, size_t a_Length) {
  char* l_pCopy = static_cast<char*>(std::malloc(a_Length + 1));
  if (l_pCopy == nullptr) return nullptr;
  if (a_Length != 0) std::memcpy(l_pCopy, a_pText, a_Length);
  l_pCopy[a_Length] = '\0';
  return l_pCopy;
}

void Trim(const char*& a_rpBegin, const char*& a_rpEnd) {
  while (a_rpBegin < a_rpEnd && IsSpace(*a_rpBegin)) ++a_rpBegin;
  while (a_rpEnd > a_rpBegin && IsSpace(a_rpEnd[-1])) --a_rpEnd;
}

char* CopyTrimmed(const char* a_pText) {
  if (a_pText == nullptr) return CopyText("", 0);
  const char* l_pBegin = a_pText;
  const char* l_pEnd = a_pText + std::strlen(a_pText);
  Trim(l_pBegin, l_pEnd);
  return CopyText(l_pBegin, static_cast<size_t>(l_pEnd - l_pBegin));
}

bool NamesEqual(const sIniDocument& a_rDocument, const char* a_pLeft, const char* a_pRight) {
  if (a_rDocument.m_CaseSensitive) return std::strcmp(a_pLeft, a_pRight) == 0;
  const char* l_pLeft = a_pLeft;
  const char* l_pLeftEnd = a_pLeft + std::strlen(a_pLeft);
  const char* l_pRight = a_pRight;
  const char* l_pRightEnd = a_pRight + std::strlen(a_pRight);
  Trim(l_pLeft, l_pLeftEnd);
  Trim(l_pRight, l_pRightEnd);
  if (l_pLeftEnd - l_pLeft != l_pRightEnd - l_pRight) return false;
  for (; l_pLeft < l_pLeftEnd; ++l_pLeft, ++l_pRight) {
    if (UpperAscii(*l_pLeft) != UpperAscii(*l_pRight)) return false;
  }
  return true;
}

sIniSection* FindSection(sIniDocument& a_rDocument, const char* a_pName) {
  if (a_pName == nullptr) return nullptr;
  if (a_rDocument.m_pLastSection != nullptr &&
      NamesEqual(a_rDocument, a_rDocument.m_pLastSection->m_pName, a_pName)) {
    return a_rDocument.m_pLastSection;
  }
  const size_t l_Position =
      IndexedFind(a_rDocument.m_SectionIndex, a_rDocument.m_Sections, a_rDocument, a_pName);
  if (l_Position == a_rDocument.m_Sections.m_Count) return nullptr;
  a_rDocument.m_pLastSection = a_rDocument.m_Sections.m_ppItems[l_Position];
  return a_rDocument.m_pLastSection;
}

size_t FindEntry(const sIniDocument& a_rDocument, sIniSection& a_rSection, const char* a_pKey) {
  if (a_pKey == nullptr) return a_rSection.m_Entries.m_Count;
  return IndexedFind(a_rSection.m_Index, a_rSection.m_Entries, a_rDocument, a_pKey);
}

bool AddEntry(const sIniDocument& a_rDocument, sIniSection& a_rSection, sIniEntry* a_pEntry) {
  if (!a_rSection.m_Entries.Append(a_pEntry)) return false;
  IndexAppended(a_rSection.m_Index, a_rSection.m_Entries, a_rDocument);
  return true;
}

sIniSection* AddSection(sIniDocument& a_rDocument, const char* a_pName) {
  sIniSection* l_pSection = new (std::nothrow) sIniSection{nullptr, {}, {}};
  if (l_pSection == nullptr) return nullptr;
  l_pSection->m_pName = CopyTrimmed(a_pName);
  if (l_pSection->m_pName == nullptr || !a_rDocument.m_Sections.Append(l_pSection)) {
    FreeSection(l_pSection);
    return nullptr;
  }
  IndexAppended(a_rDocument.m_SectionIndex, a_rDocument.m_Sections, a_rDocument);
  a_rDocument.m_pLastSection = l_pSection;
  return l_pSection;
}

void FreeEntry(sIniEntry* a_pEntry) {
  if (a_pEntry == nullptr) return;
  std::free(a_pEntry->m_pKey);
  std::free(a_pEntry->m_pValue);
  delete a_pEntry;
}

void FreeSection(sIniSection* a_pSection) {
  if (a_pSection == nullptr) return;
  for (size_t l_i = 0; l_i < a_pSection->m_Entries.m_Count; ++l_i) {
    FreeEntry(a_pSection->m_Entries.m_ppItems[l_i]);
  }
  a_pSection->m_Entries.ReleaseStorage();
  IndexRelease(a_pSection->m_Index);
  std::free(a_pSection->m_pName);
  delete a_pSection;
}

void EmptyDocument(sIniDocument& a_rDocument) {
  for (size_t l_i = 0; l_i < a_rDocument.m_Sections.m_Count; ++l_i) {
    FreeSection(a_rDocument.m_Sections.m_ppItems[l_i]);
  }
  a_rDocument.m_Sections.ReleaseStorage();
  IndexRelease(a_rDocument.m_SectionIndex);
  a_rDocument.m_pLastSection = nullptr;
}

bool PathUsable(const char* a_pPath, int& a_rError) {
  if (a_pPath == nullptr || a_pPath[0] == '\0') {
    a_rError = kIniErrNoFile;
    return false;
  }
  if (std::strlen(a_pPath) > static_cast<size_t>(kIniMaxPathLength)) {
    a_rError = kIniErrPathTooLong;
    return false;
  }
  return true;
}

}  // namespace nIniDetail
}  // namespace nQvPxiDriverTools_1_0
