// SPDX-License-Identifier: LGPL-2.1-or-later
// The INI engine's in-memory document and the helpers its parts share.
// Internal to the engine: other code goes through IniEngine.h.
#pragma once

#include <cstddef>
#include <ctime>

#include "config/IniEngine.h"
#include "config/IniIndex.h"

namespace nQvPxiDriverTools_1_0 {

// An ordered array of owned pointers on the plain heap.
template <typename T>
struct sIniArray {
  T** m_ppItems = nullptr;
  size_t m_Count = 0;
  size_t m_Capacity = 0;

  // False when memory is short (the array is unchanged then).
  bool Append(T* a_pItem);
  // Removes the pointer at a_Index without freeing what it points to.
  void RemoveAt(size_t a_Index);
  void ReleaseStorage();
};

struct sIniEntry {
  char* m_pKey;  // trimmed
  char* m_pValue;
  char m_Quote;  // 0 for a bare value, '"' for a quoted one
};

struct sIniSection {
  char* m_pName;  // trimmed
  sIniArray<sIniEntry> m_Entries;
  sIniIndex m_Index;  // entries by key
};

struct sIniDocument {
  sIniArray<sIniSection> m_Sections;
  sIniSection* m_pLastSection;  // lookups try it first
  sIniIndex m_SectionIndex;     // sections by name
  bool m_CaseSensitive;
  int m_Width;
  bool m_SafeWrite;
  char m_FileName[kIniMaxPathLength + 1];
  time_t m_FileTime;
};

namespace nIniDetail {

constexpr int kDefaultWidth = 80;

bool IsSpace(char a_Char);
char UpperAscii(char a_Char);
// Copies a_Length bytes into a new zero-terminated text; null when memory is short.
char* CopyText(const char* a_pText, size_t a_Length);
// Copies a_pText without surrounding white space.
char* CopyTrimmed(const char* a_pText);
// Narrows [a_rpBegin, a_rpEnd) to the text without surrounding white space.
void Trim(const char*& a_rpBegin, const char*& a_rpEnd);
// Compares names in the document's mode.
bool NamesEqual(const sIniDocument& a_rDocument, const char* a_pLeft, const char* a_pRight);

// First section of that name, trying the remembered section first; found
// sections are remembered.
sIniSection* FindSection(sIniDocument& a_rDocument, const char* a_pName);
// Index of the first entry with that key, or the entry count.
size_t FindEntry(const sIniDocument& a_rDocument, sIniSection& a_rSection, const char* a_pKey);
// Appends an entry to the section; false when memory is short (the entry
// stays the caller's then).
bool AddEntry(const sIniDocument& a_rDocument, sIniSection& a_rSection, sIniEntry* a_pEntry);
// Appends a new section (name trimmed) and remembers it; null when memory is short.
sIniSection* AddSection(sIniDocument& a_rDocument, const char* a_pName);
void FreeEntry(sIniEntry* a_pEntry);
void FreeSection(sIniSection* a_pSection);
// Removes every section and forgets the remembered one.
void EmptyDocument(sIniDocument& a_rDocument);
bool PathUsable(const char* a_pPath, int& a_rError);

}  // namespace nIniDetail
}  // namespace nQvPxiDriverTools_1_0
