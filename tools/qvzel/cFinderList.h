// SPDX-License-Identifier: LGPL-2.1-or-later
// cFinderList: one open list of the library, closed when the object goes.
#pragma once

#include <cstdint>

namespace nQvzelTool {

class cFinderList {
 public:
  cFinderList() = default;
  ~cFinderList();
  cFinderList(const cFinderList&) = delete;
  cFinderList& operator=(const cFinderList&) = delete;

  // Opens the list (runs discovery); returns the library's status code.
  int32_t open();
  uint32_t count() const { return m_Count; }
  // Item handle of entry a_Index; returns the library's status code.
  int32_t item(uint32_t a_Index, void*& a_rpItem) const;

 private:
  void* m_pList = nullptr;
  uint32_t m_Count = 0;
};

}  // namespace nQvzelTool
