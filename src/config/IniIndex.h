// SPDX-License-Identifier: LGPL-2.1-or-later
// A hash index from names to positions in one of the INI document's ordered
// arrays (the sections of a document, the entries of a section), so that
// loading and look-ups do not scan the array for every name. The array stays
// the truth for order and first matches; the index only speeds finding. When
// it cannot be kept (memory short) it is dropped and look-ups scan instead.
// Internal to the engine.
#pragma once

#include <cstddef>

namespace nQvPxiDriverTools_1_0 {

struct sIniDocument;
template <typename T>
struct sIniArray;

struct sIniIndex {
  // One slot per distinct name: the position of its first item.
  struct sSlot {
    size_t m_Hash;
    size_t m_Position;  // kFreeSlot when the slot is unused
  };
  static constexpr size_t kFreeSlot = static_cast<size_t>(-1);

  sSlot* m_pSlots = nullptr;
  size_t m_SlotCount = 0;  // 0 or a power of two
  size_t m_Used = 0;
  bool m_Current = false;        // false: rebuilt from the array before the next look-up
  bool m_CaseSensitive = false;  // the comparison mode it was built for
};

namespace nIniDetail {

// Hash of a name that equal names (by the mode's comparison) share.
size_t NameHash(bool a_CaseSensitive, const char* a_pName);

// Position of the first item of a_rItems named a_pName by the document's
// comparison, or the item count.
template <typename T>
size_t IndexedFind(sIniIndex& a_rIndex, const sIniArray<T>& a_rItems,
                   const sIniDocument& a_rDocument, const char* a_pName);
// Tells the index that the array's last item was just appended.
template <typename T>
void IndexAppended(sIniIndex& a_rIndex, const sIniArray<T>& a_rItems,
                   const sIniDocument& a_rDocument);
// After a removal or a renaming: the index is rebuilt when next needed.
void IndexOutdated(sIniIndex& a_rIndex);
void IndexRelease(sIniIndex& a_rIndex);

}  // namespace nIniDetail
}  // namespace nQvPxiDriverTools_1_0
