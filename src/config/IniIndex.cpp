// SPDX-License-Identifier: LGPL-2.1-or-later
#include "config/IniIndex.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/IniDocument.h"

namespace nQvPxiDriverTools_1_0 {
namespace nIniDetail {

namespace {

constexpr size_t kFirstSlotCount = 8;

const char* ItemName(const sIniEntry& a_rEntry) { return a_rEntry.m_pKey; }
const char* ItemName(const sIniSection& a_rSection) { return a_rSection.m_pName; }

template <typename T>
size_t ScanFind(const sIniArray<T>& a_rItems, const sIniDocument& a_rDocument,
                const char* a_pName) {
  for (size_t l_i = 0; l_i < a_rItems.m_Count; ++l_i) {
    if (NamesEqual(a_rDocument, ItemName(*a_rItems.m_ppItems[l_i]), a_pName)) return l_i;
  }
  return a_rItems.m_Count;
}

// Slot holding a_pName, or the free slot where it belongs.
template <typename T>
sIniIndex::sSlot& Probe(const sIniIndex& a_rIndex, const sIniArray<T>& a_rItems,
                        const sIniDocument& a_rDocument, const char* a_pName, size_t a_Hash) {
  const size_t l_Mask = a_rIndex.m_SlotCount - 1;
  for (size_t l_At = a_Hash & l_Mask;; l_At = (l_At + 1) & l_Mask) {
    sIniIndex::sSlot& l_rSlot = a_rIndex.m_pSlots[l_At];
    if (l_rSlot.m_Position == sIniIndex::kFreeSlot) return l_rSlot;
    if (l_rSlot.m_Hash == a_Hash &&
        NamesEqual(a_rDocument, ItemName(*a_rItems.m_ppItems[l_rSlot.m_Position]), a_pName)) {
      return l_rSlot;
    }
  }
}

// Records the item at a_Position unless an earlier item has the same name:
// look-ups give the first match. The table has a free slot.
template <typename T>
void Insert(sIniIndex& a_rIndex, const sIniArray<T>& a_rItems, const sIniDocument& a_rDocument,
            size_t a_Position) {
  const char* l_pName = ItemName(*a_rItems.m_ppItems[a_Position]);
  const size_t l_Hash = NameHash(a_rDocument.m_CaseSensitive, l_pName);
  sIniIndex::sSlot& l_rSlot = Probe(a_rIndex, a_rItems, a_rDocument, l_pName, l_Hash);
  if (l_rSlot.m_Position != sIniIndex::kFreeSlot) return;
  l_rSlot.m_Hash = l_Hash;
  l_rSlot.m_Position = a_Position;
  ++a_rIndex.m_Used;
}

// Makes room for a_ItemCount names at a load of at most one half, emptying
// the table. False when memory is short (the index is released then).
bool Resize(sIniIndex& a_rIndex, size_t a_ItemCount) {
  size_t l_SlotCount = kFirstSlotCount;
  while (l_SlotCount / 2 < a_ItemCount) {
    if (l_SlotCount > SIZE_MAX / 2 / sizeof(sIniIndex::sSlot)) {
      IndexRelease(a_rIndex);
      return false;
    }
    l_SlotCount *= 2;
  }
  if (l_SlotCount != a_rIndex.m_SlotCount) {
    void* l_pSlots = std::malloc(l_SlotCount * sizeof(sIniIndex::sSlot));
    if (l_pSlots == nullptr) {
      IndexRelease(a_rIndex);
      return false;
    }
    std::free(a_rIndex.m_pSlots);
    a_rIndex.m_pSlots = static_cast<sIniIndex::sSlot*>(l_pSlots);
    a_rIndex.m_SlotCount = l_SlotCount;
  }
  for (size_t l_i = 0; l_i < l_SlotCount; ++l_i) {
    a_rIndex.m_pSlots[l_i] = sIniIndex::sSlot{0, sIniIndex::kFreeSlot};
  }
  a_rIndex.m_Used = 0;
  return true;
}

template <typename T>
bool Rebuild(sIniIndex& a_rIndex, const sIniArray<T>& a_rItems, const sIniDocument& a_rDocument) {
  a_rIndex.m_Current = false;
  // Twice the items, so that appending does not have to grow it at once.
  if (!Resize(a_rIndex, a_rItems.m_Count * 2)) return false;
  for (size_t l_i = 0; l_i < a_rItems.m_Count; ++l_i) Insert(a_rIndex, a_rItems, a_rDocument, l_i);
  a_rIndex.m_CaseSensitive = a_rDocument.m_CaseSensitive;
  a_rIndex.m_Current = true;
  return true;
}

bool Usable(const sIniIndex& a_rIndex, const sIniDocument& a_rDocument) {
  return a_rIndex.m_Current && a_rIndex.m_CaseSensitive == a_rDocument.m_CaseSensitive;
}

}  // namespace

size_t NameHash(bool a_CaseSensitive, const char* a_pName) {
  // FNV-1a over the bytes the comparison looks at.
  const char* l_pBegin = a_pName;
  const char* l_pEnd = a_pName + std::strlen(a_pName);
  if (!a_CaseSensitive) Trim(l_pBegin, l_pEnd);
  uint64_t l_Hash = 14695981039346656037ull;
  for (const char* l_p = l_pBegin; l_p < l_pEnd; ++l_p) {
    const char l_Char = a_CaseSensitive ? *l_p : UpperAscii(*l_p);
    l_Hash = (l_Hash ^ static_cast<unsigned char>(l_Char)) * 1099511628211ull;
  }
  return static_cast<size_t>(l_Hash);
}

template <typename T>
size_t IndexedFind(sIniIndex& a_rIndex, const sIniArray<T>& a_rItems,
                   const sIniDocument& a_rDocument, const char* a_pName) {
  if (!Usable(a_rIndex, a_rDocument) && !Rebuild(a_rIndex, a_rItems, a_rDocument)) {
    return ScanFind(a_rItems, a_rDocument, a_pName);
  }
  const size_t l_Hash = NameHash(a_rDocument.m_CaseSensitive, a_pName);
  const sIniIndex::sSlot& l_rSlot = Probe(a_rIndex, a_rItems, a_rDocument, a_pName, l_Hash);
  return l_rSlot.m_Position == sIniIndex::kFreeSlot ? a_rItems.m_Count : l_rSlot.m_Position;
}

template <typename T>
void IndexAppended(sIniIndex& a_rIndex, const sIniArray<T>& a_rItems,
                   const sIniDocument& a_rDocument) {
  // An outdated index takes the new item in when it is rebuilt.
  if (!Usable(a_rIndex, a_rDocument) || a_rItems.m_Count == 0) return;
  if ((a_rIndex.m_Used + 1) * 2 > a_rIndex.m_SlotCount) {
    Rebuild(a_rIndex, a_rItems, a_rDocument);
    return;
  }
  Insert(a_rIndex, a_rItems, a_rDocument, a_rItems.m_Count - 1);
}

void IndexOutdated(sIniIndex& a_rIndex) { a_rIndex.m_Current = false; }

void IndexRelease(sIniIndex& a_rIndex) {
  std::free(a_rIndex.m_pSlots);
  a_rIndex.m_pSlots = nullptr;
  a_rIndex.m_SlotCount = 0;
  a_rIndex.m_Used = 0;
  a_rIndex.m_Current = false;
}

template size_t IndexedFind(sIniIndex&, const sIniArray<sIniEntry>&, const sIniDocument&,
                            const char*);
template size_t IndexedFind(sIniIndex&, const sIniArray<sIniSection>&, const sIniDocument&,
                            const char*);
template void IndexAppended(sIniIndex&, const sIniArray<sIniEntry>&, const sIniDocument&);
template void IndexAppended(sIniIndex&, const sIniArray<sIniSection>&, const sIniDocument&);

}  // namespace nIniDetail
}  // namespace nQvPxiDriverTools_1_0
